#include "keywords/request_lists.h"

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/codepage.h"

namespace orv::keywords {

bool MatchUrlList(std::string_view text, const std::vector<std::string>& list, bool exact,
                  std::string& matched) {
  for (const std::string& entry : list) {
    const bool hit = exact ? text == entry : text.find(entry) != std::string_view::npos;
    if (hit) {
      matched = entry;
      return true;
    }
  }
  return false;
}

namespace {

// A dotted address a.b.c.d as a 32-bit number. Each piece counts by its leading decimal
// digits (a piece without any reads as 0). A text with fewer than three dots, nothing after
// the third dot, or a piece above 255 is no address: such a range end matches nothing,
// rather than wrapping into a neighbouring address.
std::optional<std::uint32_t> AddressNumber(std::string_view text) {
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
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
      octet = octet * 10 + static_cast<std::uint32_t>(text[at] - '0');
      if (octet > 255) return std::nullopt;
    }
    number = (number << 8) | octet;
  }
  return number;
}

bool RangeMatches(std::string entry, std::string_view address) {
  for (char& c : entry) {
    if (c == '*') c = '0';
  }
  const std::size_t dash = entry.find('-');
  const auto first = AddressNumber(std::string_view(entry).substr(0, dash));
  const auto last = AddressNumber(std::string_view(entry).substr(dash + 1));
  const auto value = AddressNumber(address);
  return first && last && value && *first <= *value && *value <= *last;
}

}  // namespace

bool MatchIpList(std::string_view address, const std::vector<std::string>& list) {
  if (address.size() < 7) return false;
  constexpr std::size_t kShortestRange = 17;
  for (const std::string& entry : list) {
    const bool isRange = entry.size() >= kShortestRange && entry.find('-') != std::string::npos;
    if (isRange ? RangeMatches(entry, address) : address == entry) return true;
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
