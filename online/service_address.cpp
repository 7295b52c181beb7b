#include "online/service_address.h"

#include "platform/ascii.h"
#include "store/settings_file.h"

namespace orv::online {
namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

std::string RequestUrl(std::string_view baseUrl, std::string_view user,
                       std::string_view passwordDigest, bool check) {
  while (!baseUrl.empty() && baseUrl.back() == '/') baseUrl.remove_suffix(1);
  std::string url(baseUrl);
  url.append(kServicePath).append("?u=").append(PercentEncode(user));
  url.append("&p=").append(passwordDigest);
  if (check) url.append("&m=check");
  url.append("&f=ui&v=").append(kClientVersion);
  return url;
}

}  // namespace

std::string ServiceBaseUrl(const store::SettingsFile& settings) {
  const std::string raw = settings.ReadKey(kServiceUrlKey);
  const std::string value(ascii::TrimSpace(raw));
  return value.empty() ? std::string(kDefaultServiceUrl) : value;
}

std::string PercentEncode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsUnreserved(c)) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(ascii::HexDigitUpper(c >> 4));
      out.push_back(ascii::HexDigitUpper(c));
    }
  }
  return out;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && ascii::HexValue(text[i + 1]) >= 0 &&
        ascii::HexValue(text[i + 2]) >= 0) {
      out.push_back(
          static_cast<char>(ascii::HexValue(text[i + 1]) * 16 + ascii::HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string VerifyUrl(std::string_view baseUrl, std::string_view user,
                      std::string_view passwordDigest) {
  return RequestUrl(baseUrl, user, passwordDigest, true);
}

std::string FetchUrl(std::string_view baseUrl, std::string_view user,
                     std::string_view passwordDigest) {
  return RequestUrl(baseUrl, user, passwordDigest, false);
}

}  // namespace orv::online
