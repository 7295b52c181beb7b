#include "online/feeds.h"

#include "online/reply.h"
#include "online/service_address.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "store/list_split.h"

namespace orv::online {
namespace {

std::string FeedUrl(std::string_view baseUrl, std::string_view path) {
  while (!baseUrl.empty() && baseUrl.back() == '/') baseUrl.remove_suffix(1);
  std::string url(baseUrl);
  url.append(path).append("?soft=").append(kProductCode).append("&v=").append(kClientVersion);
  return url;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace

std::string UpdateFeedUrl(std::string_view baseUrl) {
  return FeedUrl(baseUrl, kUpdateFeedPath);
}

std::string AdsFeedUrl(std::string_view baseUrl) {
  return FeedUrl(baseUrl, kAdsFeedPath);
}

bool IsWebAddress(std::string_view text) {
  const std::string lowered = ascii::Lower(text.substr(0, 8));
  return lowered.starts_with("http://") || lowered.starts_with("https://");
}

UpdateNotice ParseUpdateFeed(std::string_view reply) {
  return {TextBetween(reply, "<ORVVersion>", "</ORVVersion>"),
          TextBetween(reply, "<ORVUpdateUrl>", "</ORVUpdateUrl>"),
          TextBetween(reply, "<ORVUpdateAbout>", "</ORVUpdateAbout>")};
}

bool IsNewerVersion(std::string_view version, std::string_view current) {
  return !version.empty() && Contains(version, ".") && version > current;
}

std::string UpdateQuestion(const UpdateNotice& notice) {
  return codepage::Utf8ToAnsi("发现新版本:") + notice.version +
         codepage::Utf8ToAnsi("\n\n 升级描述:\n ") + notice.about +
         codepage::Utf8ToAnsi("\n\n是否查看新的版本？");
}

std::string UpdatePageToOpen(const UpdateNotice& notice, std::string_view defaultPage) {
  return IsWebAddress(notice.page) ? notice.page : std::string(defaultPage);
}

std::vector<AdEntry> ParseAdsFeed(std::string_view reply, std::string_view productCode) {
  std::vector<AdEntry> entries;
  const std::string lowered = codepage::LowerSingleBytes(reply);
  const std::string list = TextBetween(lowered, "<orvads>", "</orvads>");
  const std::string code(productCode);
  for (const std::string& piece : store::SplitKeepingLongPieces(list, "##", 8)) {
    if (!Contains(piece, "<soft>") || !Contains(piece, "<url>") || !Contains(piece, "<title>") ||
        !Contains(piece, "<color>")) {
      continue;
    }
    const std::string soft = TextBetween(piece, "<soft>", "</soft>");
    const bool meant = Contains(soft, "*") || (!code.empty() && Contains(soft, code));
    if (!meant || (!code.empty() && Contains(soft, "!" + code))) continue;
    entries.push_back({TextBetween(piece, "<url>", "</url>"),
                       TextBetween(piece, "<title>", "</title>"),
                       TextBetween(piece, "<color>", "</color>")});
  }
  return entries;
}

Rgb AdColour(std::string_view code) {
  if (code == "1") return {255, 0, 0};
  if (code == "3") return {0, 255, 0};
  if (code == "2") return {0, 0, 255};
  if (code == "4") return {130, 100, 20};
  if (code == "5") return {255, 255, 255};
  return {0, 0, 0};
}

void AdRotation::Reset(std::vector<AdEntry> entries) {
  entries_ = std::move(entries);
  position_ = 0;
}

AdEntry AdRotation::Next(const AdEntry& fallback) {
  if (entries_.empty()) return fallback;
  if (position_ >= entries_.size()) position_ = 0;
  return entries_[position_++];
}

std::string AdLinkToOpen(std::string_view link, std::string_view defaultLink) {
  return IsWebAddress(link) ? std::string(link) : std::string(defaultLink);
}

}  // namespace orv::online
