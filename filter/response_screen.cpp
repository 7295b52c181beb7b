// The response side: ScreenResponse, run for every piece of a response about to be sent.
#include <ctime>
#include <string>
#include <string_view>
#include <utility>

#include "filter/event_line.h"
#include "filter/placeholders.h"
#include "filter/request_identity.h"
#include "filter/request_memo.h"
#include "filter/response_charset.h"
#include "filter/screen_common.h"
#include "filter/screen_scratch.h"
#include "filter/screen_worker.h"
#include "keywords/matching.h"
#include "keywords/page_text.h"
#include "platform/codepage.h"

namespace orv::filter {
namespace {

constexpr std::string_view kMetaUtf8 =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";
constexpr std::string_view kMetaGb2312 =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">";

// The response head put in front of a block page that replaces a page from its first chunk.
// Kept byte for byte as browsers and the hosts have always received it.
constexpr std::string_view kHeaderUtf8 =
    "HTTP/1.1 200 OK\nDate:Sun, -- --- 0000 00:00:00 GMT \nServer:Microsoft-IIS/0.0 \n"
    "Content-Length: %orv_content_lenth% \nContent-Type: text/html;charset=utf-8\n"
    "Cache-control: private\n\n";
constexpr std::string_view kHeaderGb2312 =
    "HTTP/1.1 200 OK\nDate:Sun, -- --- 0000 00:00:00 GMT \nServer:Microsoft-IIS/0.0 \n"
    "Content-Length: %orv_content_lenth% \nContent-Type: text/html;charset=gb2312\n"
    "Cache-control: private\n\n";

constexpr std::string_view kDeniedStatus = "401 Access Denied";

ChunkResult Passed(PassReason reason) {
  ChunkResult result;
  result.pass = reason;
  return result;
}

// The chunk as the keyword lists see it: percent-decoded (twice when it was encoded twice,
// "%25"), lower-cased. `decoded` tells whether a decode ran; when none did, the text is just
// the lower-cased chunk. The text lives in `scratch`.
std::string_view SearchTextOf(std::string_view chunk, ScreenScratch& scratch, bool& decoded,
                              bool& decodedTwice) {
  std::string& once = scratch.once;
  std::string& twice = scratch.twice;
  // A buffer a rare large chunk grew is let go again by the next ordinary one, so an idle
  // buffer holds no more than this for long.
  constexpr std::size_t kKeptBytes = std::size_t{1} << 20;
  for (std::string* buffer : {&once, &twice}) {
    if (buffer->capacity() > kKeptBytes && chunk.size() <= kKeptBytes) std::string().swap(*buffer);
  }
  decoded = chunk.find('%') != std::string_view::npos;
  decodedTwice = false;
  // Most pages have no escape at all: copied and lowered in one pass.
  if (!decoded) return keywords::LowerAsciiCopyInto(chunk, once);
  const std::string_view text = keywords::UrlDecodeLoweredInto(chunk, once);
  // Decoded once more when it was encoded twice ("%25") and an escape is still left. Hex
  // digits read the same in either case, so the lowered text decodes as the original would.
  if (chunk.find("%25") != std::string_view::npos && text.find('%') != std::string_view::npos) {
    decodedTwice = true;
    return keywords::UrlDecodeLoweredInto(text, twice);
  }
  return text;
}

// Matched lists of a UTF-8 page are shown and logged in GBK like every other text.
std::string AsAnsi(const std::string& matched, bool utf8Page) {
  return utf8Page ? codepage::Utf8ToAnsi(matched) : matched;
}

// What replaces the chunk when a deny keyword was found in it.
std::string DeniedChunk(std::string_view sent, std::string_view searchText, bool utf8Page,
                        const std::string& page) {
  if (StartsWithPageStatusLine(searchText)) {
    std::string body(utf8Page ? kMetaUtf8 : kMetaGb2312);
    body += page;
    if (utf8Page) body = codepage::AnsiToUtf8(body);
    const std::string length = std::to_string(body.size());
    std::string replaced =
        FillPlaceholders(utf8Page ? kHeaderUtf8 : kHeaderGb2312, {{"%orv_content_lenth%", length}});
    replaced += body;
    return replaced;
  }
  // A later chunk: whatever the page left open in front of the cut is closed by the page. The
  // elements are found case-insensitively, but the bytes are those of the chunk as sent, never
  // of its decoded text: an escaped "%3Cimg ...%3E" the page only shows must not turn into
  // markup here.
  std::string prefix;
  keywords::BlockPagePrefix(keywords::LowerAsciiCopy(sent), prefix);
  prefix.assign(sent.substr(0, prefix.size()));
  prefix += utf8Page ? codepage::AnsiToUtf8(page) : page;
  return prefix;
}

}  // namespace

ChunkResult ScreenWorker::ScreenResponse(const store::FilterSettings& settings,
                                         const RequestDescription& description,
                                         std::string_view chunk, RequestMemo* memo) {
  ListedRequest request;
  if (auto listed = ScreenRequestLists(settings, description, memo, request)) {
    ChunkResult result;
    result.action = listed->action;
    result.pass = listed->pass;
    result.block = std::move(listed->block);
    return result;
  }
  const std::string& url = request.url;
  const std::string_view path = request.path();
  const std::string& address = request.address;
  const std::string& stop = request.stop;
  const std::string token = ExtensionToken(path);
  if (WhiteListed(settings, path, address)) return Passed(PassReason::kWhiteList);
  if (UnmonitoredFileType(settings, token)) return Passed(PassReason::kUnmonitoredType);

  // A host that keeps a memo per request has each response decide its own charset and type;
  // the shared cache by path is only for a host that keeps none.
  // Images and other binary data. A response that declared itself text is screened whatever
  // bytes it holds: a NUL put into a page must not let the page through unread.
  const bool declaredText = memo != nullptr && TextResponse(*memo, chunk);
  if (!declaredText && chunk.find('\0') != std::string_view::npos) {
    return Passed(PassReason::kBinary);
  }

  bool decoded = false;
  bool decodedTwice = false;
  const ScratchPool<ScreenScratch>::Lease scratch(ScreenScratchPool());
  keywords::ScanContext& scan = scratch->scan;
  // Valid while this screen holds `scratch`.
  const std::string_view search = SearchTextOf(chunk, *scratch, decoded, decodedTwice);
  const CharsetCode code =
      memo != nullptr ? CharsetOfChunk(*memo, chunk, search) : charsets_.Lookup(path, search);
  const bool utf8 = code == CharsetCode::Utf8 ||
                    (code == CharsetCode::Unnamed && keywords::LooksLikeUtf8(search));
  const store::KeywordSet& lists = utf8 ? settings.utf8 : settings.gbk;

  // Read now, written out only for an event or a block page: most chunks need neither.
  const std::time_t now = clock_->Now();
  std::string timeText;
  auto time = [&]() -> const std::string& {
    if (timeText.empty()) timeText = EventTime(now);
    return timeText;
  };
  auto writeEvent = [&](EventKind kind, const std::string& keyword, std::string_view refer,
                        std::string_view loggedUrl) {
    const std::string key = Escaped(keyword);
    const std::string context = DecodedContext(refer);
    EventFields fields{kind, "GET", key, time(), address, loggedUrl, context};
    log_.Add(false, BuildEventLine(settings.logLineTemplate, fields), key, loggedUrl);
  };

  ChunkResult result;
  result.pass = PassReason::kScreened;
  // Replace keys are looked for in the chunk itself, lower-cased but never decoded.
  std::string lowered;
  keywords::Replacements replaced;
  std::string rewritten;
  {
    // `search` stays as it is in this block (its buffer is this screen's alone), so the lists'
    // scans of it share one pass without a copy of the page to compare with.
    const keywords::ScanContext::Pin unchanged(scan, search);
    if (!lists.free.empty() && keywords::FindFirstWord(search, lists.free, scan)) {
      return Passed(PassReason::kFreeWord);
    }

    if (settings.logEnabled && !search.empty()) {
      if (const auto match =
              keywords::MatchRules(search, lists.record, keywords::StopAt::kAll, scan)) {
        const std::string keyword = AsAnsi(match->words, utf8);
        if (keyword.size() > 1) {
          writeEvent(EventKind::Record, keyword,
                     keywords::MatchExcerpt(chunk, static_cast<long>(match->position)), url);
          result.recorded = true;
        }
      }
    }

    if (const auto match = keywords::MatchRules(search, lists.deny, keywords::StopAt::kAll, scan)) {
      const std::string keyword = AsAnsi(match->words, utf8);
      if (keyword.size() > 1) {
        const std::string escapedUrl = Escaped(url);
        if (settings.logEnabled) {
          writeEvent(EventKind::Deny, keyword,
                     keywords::MatchExcerpt(search, static_cast<long>(match->position)),
                     escapedUrl);
        }
        const std::string page = FillKeywordPage(settings, keyword, time(), address, url, stop);
        result.action = Action::kBlock;
        result.pass = PassReason::kNone;
        result.block = {BlockCause::kKeyword, kDeniedStatus,
                        DeniedChunk(chunk, search, utf8, page)};
        return result;
      }
    }

    // Most pages hold no replace key. That is told from the pass the lists above made, without
    // a second pass over a decoded chunk, and then the chunk is neither lowered again nor
    // copied to be rewritten.
    if (!decodedTwice && !keywords::ReplaceMayApply(chunk, search, lists.replace, scan)) {
      return result;
    }
    if (decoded) {
      lowered = keywords::LowerAsciiCopy(chunk);
    } else {
      // The same text as `search`: the pass the lists above made is the pass of the copy.
      lowered = std::string(search);
      scan.MovePin(lowered);
    }
    rewritten = std::string(chunk);
    replaced = keywords::ReplaceWords(rewritten, lowered, lists.replace, scan);
  }
  if (replaced.count == 0) return result;
  const std::string keyword = AsAnsi(replaced.words, utf8);
  if (settings.logEnabled && keyword.size() > 1) {
    const long at = replaced.position ? static_cast<long>(*replaced.position) : -1;
    writeEvent(EventKind::Replace, keyword, keywords::MatchExcerpt(chunk, at), url);
  }
  // Keys and values have equal byte lengths: the chunk keeps its length and no header of
  // the response needs to change.
  if (rewritten != chunk) {
    result.action = Action::kReplaceChunk;
    result.pass = PassReason::kNone;
    result.wordsReplaced = static_cast<std::size_t>(replaced.count);
    result.chunk = std::move(rewritten);
  }
  return result;
}

}  // namespace orv::filter
