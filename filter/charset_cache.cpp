#include "filter/charset_cache.h"

namespace orv::filter {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool Before(std::size_t position, std::size_t limit) {
  return position != kNone && position < limit;
}

}  // namespace

bool StartsWithPageStatusLine(std::string_view searchText) {
  if (!StartsWith(searchText, "http/1.1") && !StartsWith(searchText, "http/1.0")) return false;
  return !StartsWith(searchText, "http/1.1 4") && !StartsWith(searchText, "http/1.1 5") &&
         !StartsWith(searchText, "http/1.0 4") && !StartsWith(searchText, "http/1.0 5");
}

CharsetCode ExamineCharset(std::string_view text) {
  if (!StartsWithPageStatusLine(text)) return CharsetCode::NotExaminable;
  if (text.find("charset=") == kNone) return CharsetCode::Unnamed;

  const std::size_t utf8 = text.find("charset=utf-8");
  const std::size_t gb2312 = text.find("charset=gb2312");
  const std::size_t gbk = text.find("charset=gbk");
  const std::size_t big5 = text.find("charset=big5");

  // A charset named before <html> (in the headers or a leading <meta>) wins over any named
  // later in the page. "<html" with attributes is deliberately not "<html>".
  const std::size_t html = text.find("<html>");
  if (html != kNone) {
    if (Before(utf8, html)) return CharsetCode::Utf8;
    if (Before(gb2312, html)) return CharsetCode::Gb2312;
    if (Before(gbk, html)) return CharsetCode::Gbk;
    if (Before(big5, html)) return CharsetCode::Big5;
  }
  if (utf8 != kNone) return CharsetCode::Utf8;
  if (gb2312 != kNone) return CharsetCode::Gb2312;
  if (gbk != kNone) return CharsetCode::Gbk;
  if (big5 != kNone) return CharsetCode::Big5;
  return CharsetCode::Unnamed;
}

CharsetCode CharsetCache::Lookup(std::string_view path, std::string_view searchText) {
  if (path.empty() || searchText.empty()) return CharsetCode::NotExaminable;
  {
    std::lock_guard lock(mutex_);
    if (auto found = codes_.find(path); found != codes_.end()) return found->second;
  }
  // Examined outside the lock: it scans the whole chunk.
  const CharsetCode code = ExamineCharset(searchText);
  if (code == CharsetCode::NotExaminable) return code;
  std::lock_guard lock(mutex_);
  // Another thread may have cached this path meanwhile; the first stored code stays.
  if (auto found = codes_.find(path); found != codes_.end()) return found->second;
  if (codes_.size() < kCapacity) codes_.emplace(std::string(path), code);
  return code;
}

std::size_t CharsetCache::Size() const {
  std::lock_guard lock(mutex_);
  return codes_.size();
}

}  // namespace orv::filter
