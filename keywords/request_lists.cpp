#include "keywords/request_lists.h"

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/codepage.h"

namespace orv::keywords {

namespace {

// Which byte values a text holds. An entry with a byte the text lacks cannot occur in it,
// which settles most entries of a URL list without a search.
class ByteSet {
 public:
  explicit ByteSet(std::string_view text) {
    for (char c : text) Add(static_cast<unsigned char>(c));
  }
  bool HoldsAll(std::string_view entry) const {
    for (char c : entry) {
      if (!Holds(static_cast<unsigned char>(c))) return false;
    }
    return true;
  }

 private:
  void Add(unsigned char b) { bits_[b >> 6] |= std::uint64_t{1} << (b & 63); }
  bool Holds(unsigned char b) const { return ((bits_[b >> 6] >> (b & 63)) & 1) != 0; }
  std::uint64_t bits_[4] = {};
};

}  // namespace

bool MatchUrlList(std::string_view text, const std::vector<std::string>& list, bool exact,
                  std::string& matched) {
  const auto hit = [&](const std::string& entry) {
    matched = entry;
    return true;
  };
  if (exact) {
    for (const std::string& entry : list) {
      if (text == entry) return hit(entry);
    }
    return false;
  }
  const ByteSet bytes(text);
  for (const std::string& entry : list) {
    if (bytes.HoldsAll(entry) && text.find(entry) != std::string_view::npos) return hit(entry);
  }
  return false;
}

namespace {

// A dotted address a.b.c.d as a 32-bit number. Each piece counts by its leading decimal
// digits (a piece without any reads as 0); in a range end "*" is the digit 0. A text with
// fewer than three dots, nothing after the third dot, or a piece above 255 is no address:
// such a range end matches nothing, rather than wrapping into a neighbouring address.
std::optional<std::uint32_t> AddressNumber(std::string_view text, bool starIsZero) {
  const auto digit = [&](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    return starIsZero && c == '*' ? 0 : -1;
  };
  std::uint32_t number = 0;
  std::size_t at = 0;
  for (int piece = 0; piece < 4; ++piece) {
    if (piece > 0) {
      const std::size_t dot = text.find('.', at);
      if (dot == std::string_view::npos) return std::nullopt;
      at = dot + 1;
    }
    if (piece == 3 && at >= text.size()) return std::nullopt;
    std::uint32_t octet = 0;
    for (; at < text.size() && digit(text[at]) >= 0; ++at) {
      octet = octet * 10 + static_cast<std::uint32_t>(digit(text[at]));
      if (octet > 255) return std::nullopt;
    }
    number = (number << 8) | octet;
  }
  return number;
}

bool InRange(std::string_view entry, std::uint32_t address) {
  const std::size_t dash = entry.find('-');
  const auto first = AddressNumber(entry.substr(0, dash), true);
  const auto last = AddressNumber(entry.substr(dash + 1), true);
  return first && last && *first <= address && address <= *last;
}

}  // namespace

bool MatchIpList(std::string_view address, const std::vector<std::string>& list) {
  if (address.size() < 7) return false;
  constexpr std::size_t kShortestRange = 17;
  // The address as a number, read at the first range entry.
  std::optional<std::optional<std::uint32_t>> number;
  for (const std::string& entry : list) {
    if (entry.size() >= kShortestRange && entry.find('-') != std::string::npos) {
      if (!number) number = AddressNumber(address, false);
      if (*number && InRange(entry, **number)) return true;
    } else if (address == entry) {
      return true;
    }
  }
  return false;
}

std::string FileTypeOf(std::string_view path, bool withBars) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string type;
  for (char c : path.substr(dot + 1)) {
    if (c != ' ') type += c;
  }
  // Lower-case single-byte letters only: the trail byte of a double-byte character keeps
  // its value even when it falls in "A".."Z".
  for (std::size_t i = 0; i < type.size(); ++i) {
    if (codepage::IsLeadByte(static_cast<unsigned char>(type[i]))) {
      ++i;
    } else if (type[i] >= 'A' && type[i] <= 'Z') {
      type[i] = static_cast<char>(type[i] - 'A' + 'a');
    }
  }
  if (type.empty() || !withBars) return type;
  return "|" + type + "|";
}

}  // namespace orv::keywords
