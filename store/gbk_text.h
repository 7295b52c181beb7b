// Conversions between the stored GBK bytes and the UTF-8 the administrator reads and types,
// for the editing pages and orvctl.
//
// Loading never loses a byte: bytes that are not valid GBK (a stray lead byte, an undefined
// pair, 0xFF) are shown as private-use characters U+F780 + byte, which the way back turns
// into the same byte again, so a load and a save leave them as they were. Saving never
// guesses: a character that GBK cannot hold is refused, with the line it stands on, instead
// of being stored as "?".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orv::store {

// First of the 128 private-use code points that stand for the raw bytes 0x80..0xFF.
inline constexpr char32_t kRawByteBase = 0xF780;

std::string GbkToUtf8Lossless(std::string_view gbk);

struct GbkEncoding {
  bool ok = false;
  std::string gbk;        // the converted text when ok
  std::size_t line = 0;   // 1-based line ("\n"-separated) of the first refused character
  std::string character;  // that character (UTF-8), or the malformed bytes' description
};

// UTF-8 -> GBK; refuses characters GBK cannot hold and malformed UTF-8.
GbkEncoding Utf8ToGbkStrict(std::string_view utf8);

}  // namespace orv::store
