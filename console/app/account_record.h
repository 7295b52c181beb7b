// The online service account as the settings file keeps it (key KeyUser): the record
// "1<u>name</u><p>password</p>" scrambled with the console's account key.
#pragma once

#include <string>
#include <string_view>

namespace orv::console {

std::string MakeAccountRecord(std::string_view user, std::string_view password);
std::string ScrambleAccountRecord(std::string_view record);
std::string UnscrambleAccountRecord(std::string_view stored);

// GBK "[已验证]" when the stored record holds a user name of more than 2 bytes and starts
// with "1", else GBK "[未验证]".
std::string VersionMarkFor(std::string_view storedKeyUser);

// GBK "[已验证]" and "[未验证]".
inline constexpr std::string_view kMarkVerified = "[\xD2\xD1\xD1\xE9\xD6\xA4]";
inline constexpr std::string_view kMarkUnverified = "[\xCE\xB4\xD1\xE9\xD6\xA4]";

}  // namespace orv::console
