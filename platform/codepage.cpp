#include "platform/codepage.h"

#include "platform/codepage_table.h"

namespace orv::codepage {
namespace detail {

namespace {
Cp936Table* BuildTable() {
  auto* table = new Cp936Table();
  SystemPairDecoder system;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const char16_t cp =
          system.Decode(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
      table->toUnicode[lead - 0x81][trail - 0x40] = cp;
      // The first pair that maps to a code point wins the reverse direction, as with the
      // system's best-fit-free conversion.
      if (cp >= 0x80 && table->fromUnicode[cp] == 0) {
        table->fromUnicode[cp] = static_cast<std::uint16_t>(lead << 8 | trail);
      }
    }
  }
  // Code page 936 keeps the euro sign on the single byte 0x80.
  table->fromUnicode[0x20AC] = 0x80;
  return table;
}
}  // namespace

const Cp936Table& Table() {
  // Built once and never freed: the table lives as long as the process (or the DLL).
  static const Cp936Table* const table = BuildTable();
  return *table;
}

}  // namespace detail

namespace {

constexpr bool IsTrailByte(unsigned char c) {
  return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

}  // namespace

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

std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& cp) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = at(i);
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
    const unsigned char t = at(i + k);
    if ((t & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (t & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

bool DecodePair(unsigned char lead, unsigned char trail, char32_t& codePoint) {
  if (!IsLeadByte(lead) || !IsTrailByte(trail)) return false;
  const char16_t cp = detail::Table().toUnicode[lead - 0x81][trail - 0x40];
  if (cp == 0) return false;
  codePoint = cp;
  return true;
}

std::uint16_t EncodeCodePoint(char32_t codePoint) {
  if (codePoint < 0x80) return static_cast<std::uint16_t>(codePoint);
  return codePoint < 0x10000 ? detail::Table().fromUnicode[codePoint] : 0;
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 2);
  for (std::size_t i = 0; i < ansi.size();) {
    const auto c = static_cast<unsigned char>(ansi[i]);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (c == 0x80) {
      AppendUtf8(out, 0x20AC);
      ++i;
    } else if (c == 0xFF) {
      out.push_back(kDefaultChar);
      ++i;
    } else if (i + 1 < ansi.size() && IsTrailByte(static_cast<unsigned char>(ansi[i + 1]))) {
      char32_t cp;
      if (DecodePair(c, static_cast<unsigned char>(ansi[i + 1]), cp)) {
        AppendUtf8(out, cp);
      } else {
        out.push_back(kDefaultChar);
      }
      i += 2;
    } else {
      out.push_back(kDefaultChar);
      ++i;
    }
  }
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  const auto& table = detail::Table();
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp;
    const std::size_t len = DecodeUtf8(utf8, i, cp);
    if (len == 0) {
      out.push_back(kDefaultChar);
      ++i;
      continue;
    }
    i += len;
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    const std::uint16_t gbk = cp < 0x10000 ? table.fromUnicode[cp] : 0;
    if (gbk == 0) {
      out.push_back(kDefaultChar);
    } else if (gbk < 0x100) {
      out.push_back(static_cast<char>(gbk));
    } else {
      out.push_back(static_cast<char>(gbk >> 8));
      out.push_back(static_cast<char>(gbk & 0xFF));
    }
  }
  return out;
}

void LowerSingleBytesInto(std::string_view text, std::string& out) {
  out.assign(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(out[i])) && i + 1 < out.size()) {
      ++i;
    } else {
      out[i] = ascii::LowerChar(out[i]);
    }
  }
}

std::string LowerSingleBytes(std::string_view text) {
  std::string out;
  LowerSingleBytesInto(text, out);
  return out;
}

std::size_t FindCharAware(std::string_view text, std::string_view word, std::size_t from) {
  if (from > text.size()) return std::string_view::npos;
  if (word.empty()) return from;
  // Walk character starts from the beginning; a lead byte (with anything after it) takes
  // two bytes, as the system's multibyte search does.
  std::size_t i = 0;
  while (i < from) i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  for (; i < text.size(); i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1) {
    if (text.size() - i < word.size()) break;
    if (text.compare(i, word.size(), word) == 0) return i;
  }
  return std::string_view::npos;
}

}  // namespace orv::codepage
