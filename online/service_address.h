// Where the online keyword service is and what the client sends it.
//
// The settings key KeyServiceUrl (section OrvFilter) holds the service's base URL, such as
// "http://127.0.0.1:8765" or "https://keywords.example.com"; empty means kDefaultServiceUrl.
// Requests go to the base URL + "/free/api_feifa.asp?..." (see VerifyUrl and FetchUrl).
#pragma once

#include <string>
#include <string_view>

#include "orv_version.h"
#include "store/settings_file.h"

namespace orv::online {

inline constexpr std::string_view kServiceUrlKey = store::keys::kServiceUrl;
inline constexpr std::string_view kDefaultServiceUrl = "https://keywords.orvane.net";
inline constexpr std::string_view kServicePath = "/free/api_feifa.asp";
inline constexpr std::string_view kClientVersion = version::kText;

// KeyServiceUrl as stored (blanks trimmed), or the default when empty.
std::string ServiceBaseUrl(const store::SettingsFile& settings);

// The bytes of `text` with everything but RFC 3986's unreserved characters (letters, digits,
// "-", ".", "_", "~") written as "%XX"; GBK user names travel as their GBK bytes.
std::string PercentEncode(std::string_view text);
// The inverse, for the service: "%XX" with two hexadecimal digits becomes the byte, anything
// else (a "+", a lone "%") stays as it is.
std::string PercentDecode(std::string_view text);

// The two requests: base + "/free/api_feifa.asp?u=" + user (percent-encoded) + "&p=" +
// password digest + ("&m=check" for verification) + "&f=ui&v=2.1". A trailing "/" of the base
// is not doubled. The transport appends the cache-buster.
std::string VerifyUrl(std::string_view baseUrl, std::string_view user,
                      std::string_view passwordDigest);
std::string FetchUrl(std::string_view baseUrl, std::string_view user,
                     std::string_view passwordDigest);

}  // namespace orv::online
