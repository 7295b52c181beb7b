#include "filter/charset_cache.h"

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orv::filter {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Where "charset=" next occurs from `from` on. A plain find stops at every "c" of the page to
// compare the rest, and a page is full of them; every response's first chunk is searched to
// its end. Where SSE2 is at hand, sixteen offsets are tested at once for a "c" with a "=" seven
// bytes on, which a page holds only around the word itself; elsewhere a skip table jumps by up
// to the word's length on bytes that cannot end it.
class CharsetNameSearch {
 public:
  std::size_t Next(std::string_view text, std::size_t from) const {
    if (from >= text.size()) return kNone;
#if defined(__SSE2__)
    const std::size_t last = kWord.size() - 1;
    const __m128i first = _mm_set1_epi8(kWord.front());
    const __m128i end = _mm_set1_epi8(kWord.back());
    std::size_t at = from;
    for (; text.size() - at >= 16 + last; at += 16) {
      const auto* bytes = reinterpret_cast<const __m128i*>(text.data() + at);
      const __m128i starts = _mm_cmpeq_epi8(_mm_loadu_si128(bytes), first);
      const __m128i ends = _mm_cmpeq_epi8(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at + last)), end);
      for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(starts, ends)));
           mask != 0; mask &= mask - 1) {
        const std::size_t hit = at + static_cast<std::size_t>(std::countr_zero(mask));
        if (text.compare(hit, kWord.size(), kWord) == 0) return hit;
      }
    }
    from = at;
#endif
    const auto hit =
        std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), searcher_);
    return hit == text.end() ? kNone : static_cast<std::size_t>(hit - text.begin());
  }

 private:
  static constexpr std::string_view kWord = "charset=";
  std::boyer_moore_horspool_searcher<std::string_view::const_iterator> searcher_{kWord.begin(),
                                                                                 kWord.end()};
};

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

  // Where each named charset first occurs. A page names "charset=" only a few times, so its
  // occurrences are visited once and the name after each is read, instead of scanning the
  // whole page once per name: every response's first chunk comes through here.
  constexpr std::string_view kCharset = "charset=";
  constexpr std::array<std::pair<std::string_view, CharsetCode>, 4> kNames{{
      {"utf-8", CharsetCode::Utf8},
      {"gb2312", CharsetCode::Gb2312},
      {"gbk", CharsetCode::Gbk},
      {"big5", CharsetCode::Big5},
  }};
  std::array<std::size_t, kNames.size()> first;
  first.fill(kNone);
  const CharsetNameSearch search;
  std::size_t at = search.Next(text, 0);
  if (at == kNone) return CharsetCode::Unnamed;
  std::size_t lastNamed = 0;
  for (; at != kNone; at = search.Next(text, at + kCharset.size())) {
    const std::string_view rest = text.substr(at + kCharset.size());
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      if (first[i] == kNone && StartsWith(rest, kNames[i].first)) {
        first[i] = at;
        lastNamed = std::max(lastNamed, at);
      }
    }
  }

  // A charset named before <html> (in the headers or a leading <meta>) wins over any named
  // later in the page. "<html" with attributes is deliberately not "<html>". Only an <html>
  // ahead of the last named charset can change the outcome: one further on, or none, leaves
  // the plain order of the names below.
  const std::size_t html = text.substr(0, lastNamed).find("<html>");
  if (html != kNone) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      if (Before(first[i], html)) return kNames[i].second;
    }
  }
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (first[i] != kNone) return kNames[i].second;
  }
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
