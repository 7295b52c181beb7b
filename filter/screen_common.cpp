#include "filter/screen_common.h"

#include <utility>

#include "filter/placeholders.h"
#include "filter/request_identity.h"
#include "keywords/page_text.h"
#include "keywords/request_lists.h"
#include "platform/codepage.h"
#include "store/time_format.h"

namespace orv::filter {
namespace {

std::string FillListPage(const std::string& page, std::string_view address,
                         std::string_view requestUrl, std::string_view stopScript) {
  const std::string ip = Escaped(address);
  const std::string url = Escaped(requestUrl);
  return FillPlaceholders(page, {{"%ip%", ip}, {"%url%", url}, {"%stop%", stopScript}});
}

}  // namespace

std::string Escaped(std::string_view text) {
  std::string out(text);
  keywords::EscapeHtml(out);
  return out;
}

bool CarriesSafeCode(const store::FilterSettings& settings, std::string_view lowerQuery) {
  return !settings.safeCode.empty() && lowerQuery.find(settings.safeCode) != std::string::npos;
}

std::optional<BlockPage> BlackListPage(const store::FilterSettings& settings, std::string_view path,
                                       std::string_view address, std::string_view requestUrl,
                                       std::string_view stopScript) {
  std::string matched;
  if (!settings.blackUrls.empty() && !path.empty() &&
      keywords::MatchUrlList(path, settings.blackUrls, false, matched)) {
    return BlockPage{BlockCause::kUrl, kBlockStatus,
                     FillListPage(settings.urlBlockPage, address, requestUrl, stopScript)};
  }
  if (!settings.blackIps.empty() && !address.empty() &&
      keywords::MatchIpList(address, settings.blackIps)) {
    return BlockPage{BlockCause::kIp, kBlockStatus,
                     FillListPage(settings.ipBlockPage, address, requestUrl, stopScript)};
  }
  return std::nullopt;
}

bool WhiteListedUrl(const store::FilterSettings& settings, std::string_view path) {
  std::string matched;
  return !settings.whiteUrls.empty() &&
         keywords::MatchUrlList(path, settings.whiteUrls, false, matched);
}

bool WhiteListedAddress(const store::FilterSettings& settings, std::string_view address) {
  return !settings.whiteIps.empty() && keywords::MatchIpList(address, settings.whiteIps);
}

bool WhiteListed(const store::FilterSettings& settings, std::string_view path,
                 std::string_view address) {
  return WhiteListedUrl(settings, path) || WhiteListedAddress(settings, address);
}

bool UnmonitoredFileType(const store::FilterSettings& settings, std::string_view token) {
  return !token.empty() && settings.fileTypes.find(token) == std::string::npos;
}

std::string FillKeywordPage(const store::FilterSettings& settings, std::string_view keyword,
                            std::string_view time, std::string_view address,
                            std::string_view requestUrl, std::string_view stopScript) {
  // Starred before escaping, so that an escaped character ("&lt;") is not cut by stars.
  const std::string shown = settings.showWords ? Escaped(StarKeyword(keyword)) : "-";
  const std::string ip = Escaped(address);
  const std::string url = Escaped(requestUrl);
  return FillPlaceholders(
      settings.keywordBlockPage,
      {{"%key%", shown}, {"%time%", time}, {"%ip%", ip}, {"%url%", url}, {"%stop%", stopScript}});
}

std::string EventTime(std::time_t now) {
  return store::FormatTime(now, store::TimePart::DateTime, store::TimeStyle::Numeric);
}

std::string_view ListedRequest::path() const {
  return RequestPath(url);
}

std::string StopScriptFor(std::string_view userAgent) {
  const std::string agent = codepage::LowerAscii(userAgent);
  return std::string(agent.find("msie") != std::string::npos ? kStopScriptMsie : kStopScriptOther);
}

namespace {

RequestResult Passed(PassReason reason) {
  RequestResult result;
  result.pass = reason;
  return result;
}

}  // namespace

std::optional<RequestResult> ScreenRequestLists(const store::FilterSettings& settings,
                                                const RequestDescription& description,
                                                RequestMemo* memo, ListedRequest& request) {
  if (!settings.enabled) return Passed(PassReason::kSwitchedOff);
  // The same request under the same settings record comes to the same outcome: the host
  // vouches that its description has not changed since the memo was written.
  if (settings.serial == 0) memo = nullptr;
  if (memo != nullptr && memo->settingsSerial == settings.serial) {
    if (memo->safeCode) return Passed(PassReason::kSafeCode);
    request = memo->request;
    return std::nullopt;
  }
  auto remember = [&](bool safeCode) {
    if (memo != nullptr) {
      memo->settingsSerial = settings.serial;
      memo->safeCode = safeCode;
      memo->request = request;
    }
  };
  request.url = codepage::LowerAscii(description.url);
  if (CarriesSafeCode(settings, codepage::LowerAscii(description.query))) {
    remember(true);
    return Passed(PassReason::kSafeCode);
  }

  request.address = std::string(description.clientAddress);
  request.stop = StopScriptFor(description.userAgent);
  if (auto page =
          BlackListPage(settings, request.path(), request.address, request.url, request.stop)) {
    RequestResult result;
    result.action = Action::kBlock;
    result.block = std::move(*page);
    return result;
  }
  remember(false);
  return std::nullopt;
}

}  // namespace orv::filter
