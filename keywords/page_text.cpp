#include "keywords/page_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <tuple>
#include <utility>

namespace orv::keywords {

void EscapeHtml(std::string& text) {
  // None of the replacement texts holds a character that a later row of the table
  // replaces, so one pass gives the same result as a replace-all per row.
  std::size_t extra = 0;
  for (char c : text) {
    switch (c) {
      case '<':
      case '>':
        extra += 3;
        break;
      case '"':
        extra += 5;
        break;
      case ' ':
        extra += 5;
        break;
      case '\'':
        extra += 4;
        break;
      default:
        break;
    }
  }
  if (extra == 0) return;
  std::string out;
  out.reserve(text.size() + extra);
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case ' ':
        out += "&nbsp;";
        break;
      case '\'':
        out += "&amp;";
        break;
      default:
        out += c;
        break;
    }
  }
  text = std::move(out);
}

void BlockPagePrefix(std::string_view chunk, std::string& prefix) {
  if (chunk.empty()) return;
  prefix.clear();
  // Elements whose content a browser would not render as markup: a block page inserted
  // inside one of them would not show, so the prefix ends right at the opening text.
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kElements{{
      {"<title>", "</title>"},
      {"<iframe", "</iframe>"},
      {"<noframes", "</noframes>"},
      {"<noscript", "</noscript>"},
      {"<script", "</script>"},
      {"<style", "</style>"},
      {"<textarea", "</textarea>"},
      {"<object", "</object>"},
      {"<meta", "</meta>"},
  }};
  for (const auto& [open, close] : kElements) {
    const std::size_t at = chunk.find(open);
    if (at != std::string_view::npos && chunk.find(close) == std::string_view::npos) {
      prefix.assign(chunk.substr(0, at + open.size()));
      return;
    }
  }
  // A chunk that starts inside a tag: finish the tag first.
  const std::size_t gt = chunk.find('>');
  const std::size_t lt = chunk.find('<');
  if (gt != std::string_view::npos && lt != std::string_view::npos && gt < lt) {
    prefix.assign(chunk.substr(0, gt + 1));
  }
}

std::string MatchExcerpt(std::string_view text, long position) {
  if (position < 0 || static_cast<unsigned long>(position) >= text.size()) return {};
  constexpr long kSide = 30;
  long start = position - kSide;
  long end = position + kSide;
  if (start < 0) {
    end -= start;
    start = 0;
  }
  const std::size_t stop = std::min(static_cast<std::size_t>(end), text.size());
  std::string out;
  out.reserve(stop - static_cast<std::size_t>(start));
  for (std::size_t i = static_cast<std::size_t>(start); i < stop; ++i) {
    const char c = text[i];
    if (c != '\n' && c != '\r' && c != ' ') out += c;
  }
  return out;
}

namespace {
bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}
}  // namespace

bool LooksLikeUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  if (size <= 2) return false;
  int utf8Hits = 0;
  int gbkHits = 0;
  std::size_t i = 0;
  while (size - i >= 3) {
    const unsigned char c = bytes[i];
    if (c < 0xB0) {
      i += 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      if (IsContinuation(bytes[i + 1]) && IsContinuation(bytes[i + 2])) {
        if (++utf8Hits == 2) return true;
      }
      i += 2;
    } else if (c >= 0xF0) {
      if (size - i < 4) return false;
      if (IsContinuation(bytes[i + 1]) && IsContinuation(bytes[i + 2]) &&
          IsContinuation(bytes[i + 3])) {
        if (++utf8Hits == 2) return true;
      }
      i += 2;
    } else {  // 0xB0..0xDF: a GBK lead byte range
      if (c > 0xC2 || bytes[i + 1] > 0xC2) {
        if (++gbkHits == 4) return false;
      }
      i += 2;
    }
  }
  return false;
}

bool IsPureAscii(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b == 0 || b > 0x7F) return false;
  }
  return true;
}

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Writes `size` bytes from `from` to `to` (which may be the same memory) with "A".."Z"
// lowered, eight bytes per step.
void LowerAsciiInto(const char* from, char* to, std::size_t size) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHigh = 0x8080808080808080u;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes per step where the target has SSE2: a byte is a capital when c - 'A',
  // taken unsigned, is below 26; with the top bit flipped that becomes a signed compare.
  const __m128i capitalA = _mm_set1_epi8('A');
  const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i limit = _mm_set1_epi8(static_cast<char>(26 ^ 0x80));
  const __m128i caseBit = _mm_set1_epi8(0x20);
  for (; size - i >= 16; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
    const __m128i offset = _mm_xor_si128(_mm_sub_epi8(bytes, capitalA), flip);
    const __m128i capitals = _mm_cmplt_epi8(offset, limit);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i),
                     _mm_or_si128(bytes, _mm_and_si128(capitals, caseBit)));
  }
#endif
  for (; size - i >= 8; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, from + i, 8);
    // Per byte, on its low seven bits (no carry crosses into the next byte): the high bit
    // of `atLeastA` is set from 'A' up, that of `aboveZ` above 'Z'. Bytes with the high
    // bit set are never letters.
    const std::uint64_t low7 = word & ~kHigh;
    const std::uint64_t atLeastA = low7 + kOnes * (0x80 - 'A');
    const std::uint64_t aboveZ = low7 + kOnes * (0x7F - 'Z');
    const std::uint64_t upper = (atLeastA ^ aboveZ) & ~word & kHigh;
    word |= upper >> 2;  // 0x20 on exactly the capital letters
    std::memcpy(to + i, &word, 8);
  }
  for (; i < size; ++i) {
    const char c = from[i];
    to[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
}

#if defined(__SSE2__)
// "A".."Z" lowered in sixteen bytes: a byte is a capital when c - 'A', taken unsigned, is
// below 26; with the top bit flipped that becomes a signed compare.
__m128i LowerAscii16(__m128i bytes) {
  const __m128i offset = _mm_xor_si128(_mm_sub_epi8(bytes, _mm_set1_epi8('A')),
                                       _mm_set1_epi8(static_cast<char>(0x80)));
  const __m128i capitals = _mm_cmplt_epi8(offset, _mm_set1_epi8(static_cast<char>(26 ^ 0x80)));
  return _mm_or_si128(bytes, _mm_and_si128(capitals, _mm_set1_epi8(0x20)));
}
#endif

// The byte an escape at `read` (a "%") stands for, and how many bytes it takes: a missing or
// invalid low digit makes 0xFF, an invalid high digit reads as 15. Missing digits end the
// text.
std::pair<int, std::size_t> Escape(const char* read, const char* end) {
  if (end - read < 3) return {0xFF, static_cast<std::size_t>(end - read)};
  const int high = HexValue(read[1]);
  const int low = HexValue(read[2]);
  return {low < 0 ? 0xFF : ((high < 0 ? 15 : high) << 4) | low, 3};
}

// Both decodes, into the first bytes of `out` (grown to the text's length when shorter, never
// shrunk); returns the decoded length. Where the target has SSE2, sixteen bytes are read,
// lowered and written per step, and an escape or "+" among them is decoded in place before
// the next step; what is left, and the whole text elsewhere, goes in plain runs between
// escapes, found with memchr and copied whole (and, for the lower-cased form, lowered while
// they are still in cache) instead of byte by byte. Decoding never lengthens the text, and
// the write position never passes the read position.
template <bool kLower>
std::size_t DecodeInto(std::string_view text, std::string& out) {
  if (text.empty()) return 0;
  if (out.size() < text.size()) out.resize(text.size());
  const char* read = text.data();
  const char* const end = read + text.size();
  char* const first = out.data();
  char* write = first;
  const auto decoded = [](int value) {
    const auto c = static_cast<char>(value);
    return kLower && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
#if defined(__SSE2__)
  // Every step stores sixteen bytes at `write`, which never runs ahead of `read`, so it stays
  // inside the text's length.
  const __m128i percent = _mm_set1_epi8('%');
  const __m128i plus = _mm_set1_epi8('+');
  while (end - read >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(read));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(write), kLower ? LowerAscii16(bytes) : bytes);
    const auto marks = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, percent), _mm_cmpeq_epi8(bytes, plus))));
    if (marks == 0) {
      read += 16;
      write += 16;
      continue;
    }
    const auto plain = static_cast<std::size_t>(std::countr_zero(marks));
    read += plain;
    write += plain;
    int value = ' ';
    std::size_t taken = 1;
    if (*read == '%') std::tie(value, taken) = Escape(read, end);
    *write++ = decoded(value);
    read += taken;
  }
#endif
  const auto next = [&end](const char* from, char c) {
    const void* hit = std::memchr(from, c, static_cast<std::size_t>(end - from));
    return hit != nullptr ? static_cast<const char*>(hit) : end;
  };
  const char* percentAt = next(read, '%');
  const char* plusAt = next(read, '+');
  while (read != end) {
    // An escape may have swallowed the next "+" or "%" as one of its digits.
    if (percentAt < read) percentAt = next(read, '%');
    if (plusAt < read) plusAt = next(read, '+');
    const char* stop = std::min(percentAt, plusAt);
    const auto run = static_cast<std::size_t>(stop - read);
    if (kLower) {
      LowerAsciiInto(read, write, run);
    } else {
      std::memmove(write, read, run);
    }
    write += run;
    read = stop;
    if (read == end) break;
    if (read == plusAt) {
      *write++ = ' ';
      ++read;
    } else {
      const auto [value, taken] = Escape(read, end);
      *write++ = decoded(value);
      read += taken;
    }
  }
  return static_cast<std::size_t>(write - first);
}

template <bool kLower>
std::string Decode(std::string_view text) {
  std::string out;
  out.resize(DecodeInto<kLower>(text, out));
  return out;
}

}  // namespace

std::string UrlDecode(std::string_view text) {
  return Decode<false>(text);
}

std::string UrlDecodeLowered(std::string_view text) {
  return Decode<true>(text);
}

std::string_view UrlDecodeLoweredInto(std::string_view text, std::string& buffer) {
  const std::size_t length = DecodeInto<true>(text, buffer);  // may move the buffer
  return {buffer.data(), length};
}

void LowerAsciiBytes(std::string& text) {
  LowerAsciiInto(text.data(), text.data(), text.size());
}

std::string_view LowerAsciiCopyInto(std::string_view text, std::string& buffer) {
  if (buffer.size() < text.size()) buffer.resize(text.size());
  LowerAsciiInto(text.data(), buffer.data(), text.size());
  return {buffer.data(), text.size()};
}

std::string LowerAsciiCopy(std::string_view text) {
  std::string out;
  LowerAsciiCopyInto(text, out);  // sized to the text exactly, as `out` starts empty
  return out;
}

}  // namespace orv::keywords
