// The body phase: ScreenBody, run for every request with its body.
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "filter/event_line.h"
#include "filter/request_identity.h"
#include "filter/screen_common.h"
#include "filter/screen_scratch.h"
#include "filter/screen_worker.h"
#include "keywords/matching.h"
#include "keywords/page_text.h"
#include "platform/codepage.h"

namespace orv::filter {
namespace {

// The posted form as the keyword lists see it: what the server has received so far, up to
// its first NUL, percent-decoded ("+" is a space) and lower-cased.
std::string SearchTextOfBody(std::string_view received) {
  received = received.substr(0, received.find('\0'));
  std::string text = keywords::UrlDecode(received);
  codepage::LowerAsciiInPlace(text);
  return text;
}

// The methods whose body a server takes in as content (a form, an upload, an edit), exactly
// as spelled: the body is screened before the server sees it.
bool CarriesScreenedBody(std::string_view method) {
  return method == "POST" || method == "PUT" || method == "PATCH";
}

BodyResult Passed(PassReason reason) {
  BodyResult result;
  result.pass = reason;
  return result;
}

}  // namespace

BodyResult ScreenWorker::ScreenBody(const store::FilterSettings& settings,
                                    const RequestDescription& request) {
  if (!settings.enabled) return Passed(PassReason::kSwitchedOff);

  const std::string url = codepage::LowerAscii(request.url);
  const std::string_view path = RequestPath(url);
  const std::string_view address = request.clientAddress;
  const std::string stop = StopScriptFor(request.userAgent);
  const std::string token = ExtensionToken(path);
  // Read now, written out only when a page or an event needs it.
  const std::time_t now = clock_->Now();

  if (auto page = BlackListPage(settings, path, address, url, stop)) {
    BodyResult result;
    result.action = Action::kBlock;
    result.block = std::move(*page);
    return result;
  }
  if (WhiteListed(settings, path, address)) return Passed(PassReason::kWhiteList);
  if (UnmonitoredFileType(settings, token)) return Passed(PassReason::kUnmonitoredType);
  const std::string_view method = request.method;
  if (!CarriesScreenedBody(method) || request.declaredBodyLength == 0) {
    return Passed(PassReason::kNotScreened);
  }

  const std::string body = SearchTextOfBody(request.body);

  const ScratchPool<ScreenScratch>::Lease scratch(ScreenScratchPool());
  keywords::ScanContext& scan = scratch->scan;
  if (!settings.gbk.free.empty() && (keywords::FindFirstWord(body, settings.gbk.free, scan) ||
                                     keywords::FindFirstWord(body, settings.utf8.free, scan))) {
    return Passed(PassReason::kFreeWord);
  }

  // A form may be posted in UTF-8 or in GBK: the UTF-8 twin first, where only a match of
  // more than one byte counts, then the lists as stored.
  std::string keyword;
  std::optional<keywords::Match> hit =
      keywords::MatchRules(body, settings.utf8.deny, keywords::StopAt::kFirst, scan);
  if (hit && hit->words.size() > 1) {
    keyword = codepage::Utf8ToAnsi(hit->words);
  } else {
    hit = keywords::MatchRules(body, settings.gbk.deny, keywords::StopAt::kFirst, scan);
    if (hit) keyword = hit->words;
  }
  if (!hit) return Passed(PassReason::kScreened);
  const std::string time = EventTime(now);

  // A one-byte keyword still blocks, but is too unspecific to be worth a line.
  if (settings.logEnabled && keyword.size() > 1) {
    const std::string context =
        DecodedContext(keywords::MatchExcerpt(body, static_cast<long>(hit->position)));
    EventFields fields{EventKind::Deny, method, keyword, time, address, url, context};
    fields.referWithoutBlanks = false;
    log_.Add(false, BuildEventLine(settings.logLineTemplate, fields), keyword, url);
  }
  BodyResult result;
  result.action = Action::kBlock;
  result.block = {BlockCause::kBody, kBlockStatus,
                  FillKeywordPage(settings, keyword, time, address, url, stop)};
  return result;
}

}  // namespace orv::filter
