#include "keywords/page_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
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
}  // namespace

std::string UrlDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c != '%') {
      out += c;
    } else if (text.size() - i < 3) {
      // Missing digits read as invalid, which makes the byte 0xFF; nothing follows.
      out += static_cast<char>(0xFF);
      break;
    } else {
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      const int value = low < 0 ? 0xFF : ((high < 0 ? 15 : high) << 4) | low;
      out += static_cast<char>(value);
      i += 2;
    }
  }
  return out;
}

}  // namespace orv::keywords
