// The online service account as the settings file keeps it (key KeyUser): the record
// "1<u>name</u><p>password</p>" scrambled with the console's fixed account key.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv::online {

// Key of the account record: KeyFromText of a fixed text. Changing the text makes every
// stored account record unreadable.
std::uint32_t AccountKey();

std::string MakeAccountRecord(std::string_view user, std::string_view password);
std::string ScrambleAccountRecord(std::string_view record);
std::string UnscrambleAccountRecord(std::string_view stored);

struct Account {
  std::string user;      // GBK
  std::string password;  // GBK, in clear
};
// The user name and password of a stored (scrambled) record; both empty when there is none.
Account ReadStoredAccount(std::string_view storedKeyUser);

// GBK "[已验证]" when the stored record holds a user name of more than 2 bytes and starts
// with "1", else GBK "[未验证]".
std::string VersionMarkFor(std::string_view storedKeyUser);

// GBK "[已验证]" and "[未验证]".
inline constexpr std::string_view kMarkVerified = "[\xD2\xD1\xD1\xE9\xD6\xA4]";
inline constexpr std::string_view kMarkUnverified = "[\xCE\xB4\xD1\xE9\xD6\xA4]";

}  // namespace orv::online
