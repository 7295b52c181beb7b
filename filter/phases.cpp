#include "filter/phases.h"

namespace orv::filter {

std::string SiteUrl(std::string_view serverName, std::string_view serverPort,
                    std::string_view path) {
  std::string url(serverName);
  // A port that could not be read adds nothing rather than a bare colon, which would make the
  // URL match no list entry written with a host.
  if (!serverPort.empty() && serverPort != "80") {
    url += ':';
    url += serverPort;
  }
  url += path;
  return url;
}

std::string SiteUrlWithQuery(std::string_view serverName, std::string_view serverPort,
                             std::string_view path, std::string_view query) {
  std::string url = SiteUrl(serverName, serverPort, path);
  if (!query.empty()) {
    url += '?';
    url += query;
  }
  return url;
}

std::string_view BlockCauseName(BlockCause cause) {
  switch (cause) {
    case BlockCause::kNone:
      return "none";
    case BlockCause::kUrl:
      return "url";
    case BlockCause::kIp:
      return "ip";
    case BlockCause::kKeyword:
      return "keyword";
    case BlockCause::kBody:
      return "body";
  }
  return "none";
}

std::string_view PassReasonName(PassReason reason) {
  switch (reason) {
    case PassReason::kNone:
      return "none";
    case PassReason::kSwitchedOff:
      return "switched_off";
    case PassReason::kSafeCode:
      return "safe_code";
    case PassReason::kWhiteList:
      return "white_list";
    case PassReason::kUnmonitoredType:
      return "unmonitored_type";
    case PassReason::kBinary:
      return "binary";
    case PassReason::kUndecodable:
      return "undecodable";
    case PassReason::kFreeWord:
      return "free_word";
    case PassReason::kScreened:
      return "screened";
    case PassReason::kNotScreened:
      return "not_screened";
  }
  return "none";
}

}  // namespace orv::filter
