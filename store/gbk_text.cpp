#include "store/gbk_text.h"

#include <cstdio>

#include "platform/codepage.h"

namespace orv::store {
namespace {

using codepage::AppendUtf8;
using codepage::DecodeUtf8;

bool IsRawByteStandIn(char32_t cp) {
  return cp >= kRawByteBase + 0x80 && cp <= kRawByteBase + 0xFF;
}

}  // namespace

std::string GbkToUtf8Lossless(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size() + gbk.size() / 2);
  for (std::size_t i = 0; i < gbk.size();) {
    const auto c = static_cast<unsigned char>(gbk[i]);
    char32_t cp;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (c == 0x80) {
      AppendUtf8(out, 0x20AC);  // the euro sign, code page 936's one single high byte
      ++i;
    } else if (i + 1 < gbk.size() &&
               codepage::DecodePair(c, static_cast<unsigned char>(gbk[i + 1]), cp) &&
               // Only a pair that the way back turns into the same two bytes (a code point
               // with two pairs comes back as the first).
               codepage::EncodeCodePoint(cp) == (c << 8 | static_cast<unsigned char>(gbk[i + 1])) &&
               !IsRawByteStandIn(cp)) {
      AppendUtf8(out, cp);
      i += 2;
    } else {
      // Not a character of code page 936: keep the byte itself; whatever follows is read
      // afresh (an ASCII trail byte then shows as itself).
      AppendUtf8(out, kRawByteBase + c);
      ++i;
    }
  }
  return out;
}

GbkEncoding Utf8ToGbkStrict(std::string_view utf8) {
  GbkEncoding result;
  result.gbk.reserve(utf8.size());
  std::size_t line = 1;
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp;
    const std::size_t len = DecodeUtf8(utf8, i, cp);
    if (len == 0) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(utf8[i]));
      result.gbk.clear();
      result.line = line;
      result.character = hex;
      return result;
    }
    if (cp < 0x80) {
      if (cp == '\n') ++line;
      result.gbk.push_back(static_cast<char>(cp));
    } else if (IsRawByteStandIn(cp)) {
      result.gbk.push_back(static_cast<char>(cp - kRawByteBase));
    } else {
      const std::uint16_t gbk = codepage::EncodeCodePoint(cp);
      if (gbk == 0) {
        result.gbk.clear();
        result.line = line;
        result.character.assign(utf8.substr(i, len));
        return result;
      }
      if (gbk >= 0x100) result.gbk.push_back(static_cast<char>(gbk >> 8));
      result.gbk.push_back(static_cast<char>(gbk & 0xFF));
    }
    i += len;
  }
  result.ok = true;
  return result;
}

}  // namespace orv::store
