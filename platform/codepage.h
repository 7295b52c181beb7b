// The system's ANSI code page, Simplified Chinese GBK (Windows code page 936), and the
// byte-wise text rules the engine and the stored formats rely on.
//
// Every function here is safe on arbitrary bytes: invalid or truncated sequences give a
// defined result ("?" in the output), never an over-read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ascii.h"

namespace orv::codepage {

// A byte of 0x81..0xFE starts a double-byte character in code page 936.
constexpr bool IsLeadByte(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

// The byte the converters write for anything they cannot map.
inline constexpr char kDefaultChar = '?';

// GBK -> UTF-8. Bytes below 0x80 are copied; a lead byte with a valid trail byte becomes the
// character's UTF-8 encoding ("?" when code page 936 does not define the pair); a lead byte
// without a valid trail byte (or at the end) becomes "?" and the next byte is read afresh.
std::string AnsiToUtf8(std::string_view ansi);

// UTF-8 -> GBK. Characters that code page 936 cannot hold, and malformed UTF-8 (each byte of
// a broken sequence), become "?".
std::string Utf8ToAnsi(std::string_view utf8);

// Appends the UTF-8 encoding of one code point.
void AppendUtf8(std::string& out, char32_t cp);

// One UTF-8 sequence at text[i]: its length, or 0 when it is malformed (overlong forms,
// surrogates and values above U+10FFFF included); `cp` is its code point.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& cp);

// One double-byte character to its code point; false when code page 936 does not define it.
bool DecodePair(unsigned char lead, unsigned char trail, char32_t& codePoint);

// One code point to its code page 936 bytes (lead << 8 | trail, or a single byte below
// 0x100, for which 0x80 is the euro sign); 0 when code page 936 cannot hold it. Code points
// below 0x80 are themselves.
std::uint16_t EncodeCodePoint(char32_t codePoint);

// Byte-by-byte lowering, trail bytes included; the rule lives in platform/ascii.h and these
// names stay for the engine's callers.
inline void LowerAsciiInPlace(std::string& text) {
  ascii::LowerInPlace(text);
}
inline std::string LowerAscii(std::string_view text) {
  return ascii::Lower(text);
}

// Lower-cases the ASCII letters that stand as characters of their own: the trail byte of a
// double-byte character (which may fall in "A".."Z") is kept as it is. A lead byte at the very
// end, with no trail after it, counts as a single byte. `out` is overwritten.
void LowerSingleBytesInto(std::string_view text, std::string& out);
std::string LowerSingleBytes(std::string_view text);

// Character-aware search: the first occurrence of `word` in `text` at or after `from` that
// starts on a character boundary of code page 936 (never on the trail byte of a double-byte
// character). Character boundaries are counted from the start of `text`. An empty word is
// found at `from` when `from` <= size. Returns std::string_view::npos when there is none.
std::size_t FindCharAware(std::string_view text, std::string_view word, std::size_t from = 0);

}  // namespace orv::codepage
