#include "store/gbk_text.h"

#include <cstdio>

#include "platform/codepage.h"

namespace orv::store {
namespace {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// One UTF-8 sequence at text[i]: its length, or 0 when malformed (overlong forms, surrogates
// and values above U+10FFFF included).
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& cp) {
  const auto c = static_cast<unsigned char>(text[i]);
  std::size_t len;
  char32_t min;
  if (c < 0x80) {
    cp = c;
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
    len = 2, cp = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, cp = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - i < len) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto t = static_cast<unsigned char>(text[i + k]);
    if ((t & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (t & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

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
