#include "keywords/keyword_starts.h"

#include <algorithm>

#include "keywords/rule_form.h"

namespace orv::keywords {
namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A text percent-decoded as the screen decodes a page ("%" and two hex digits give a byte,
// "+" a blank, anything else stays), lower-cased, with the offset in the source of each of
// its bytes. An escape that the end of the source cuts short is left out, and `open` tells
// where it began.
struct Decoded {
  std::string bytes;
  std::vector<std::size_t> from;
  std::size_t open = std::string_view::npos;
};

Decoded DecodeWithOffsets(std::string_view text) {
  Decoded out;
  out.bytes.reserve(text.size());
  out.from.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char c = text[i];
    std::size_t taken = 1;
    if (c == '+') {
      c = ' ';
    } else if (c == '%') {
      const bool firstDigit = i + 1 < text.size() && HexValue(text[i + 1]) >= 0;
      if (firstDigit && i + 2 < text.size() && HexValue(text[i + 2]) >= 0) {
        c = static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
        taken = 3;
      } else if (i + 1 == text.size() || (firstDigit && i + 2 == text.size())) {
        out.open = i;
        break;
      }
    }
    out.bytes += Lower(c);
    out.from.push_back(i);
    i += taken;
  }
  return out;
}

}  // namespace

void KeywordStarts::AddRules(const KeywordList& rules) {
  for (const std::string& rule : rules) {
    const RuleForm form = FormOf(rule);
    if (form == RuleForm::kPlain) {
      if (rule.size() >= 2) parts_.push_back(rule);
      continue;
    }
    // One byte has no proper prefix but the empty one, which is no start to keep.
    for (std::string_view part : SplitParts(rule, SeparatorOf(form)))
      if (part.size() >= 2) parts_.emplace_back(part);
  }
}

void KeywordStarts::Seal() {
  for (std::string& part : parts_) std::transform(part.begin(), part.end(), part.begin(), Lower);
  std::sort(parts_.begin(), parts_.end());
  parts_.erase(std::unique(parts_.begin(), parts_.end()), parts_.end());
  longest_ = 0;
  for (const std::string& part : parts_) longest_ = std::max(longest_, part.size());
}

bool KeywordStarts::IsProperPrefix(std::string_view text) const {
  // The parts are sorted: the first one not less than `text` is the one that starts with it,
  // if any does; `text` itself may come first and is no proper prefix of itself.
  auto it = std::lower_bound(
      parts_.begin(), parts_.end(), text,
      [](const std::string& part, std::string_view key) { return std::string_view(part) < key; });
  if (it != parts_.end() && *it == text) ++it;
  return it != parts_.end() && std::string_view(*it).substr(0, text.size()) == text;
}

std::size_t KeywordStarts::LongestStartingSuffix(std::string_view text) const {
  if (longest_ < 2) return 0;
  for (std::size_t k = std::min(longest_ - 1, text.size()); k > 0; --k)
    if (IsProperPrefix(text.substr(text.size() - k))) return k;
  return 0;
}

std::size_t KeywordStarts::EscapedHold(std::string_view text) const {
  // One decoded byte takes at most nine bytes of source ("%25%45%37" decodes twice to one
  // byte), so this much of the end holds every spelling of a part's proper prefix.
  const std::size_t reach = std::min(text.size(), 9 * longest_ + 8);
  const std::size_t base = text.size() - reach;
  const std::string_view region = text.substr(base);
  if (region.find_first_of("%+") == std::string_view::npos) return 0;

  std::size_t hold = 0;
  auto keep = [&](std::size_t sourceOffset) { hold = std::max(hold, text.size() - sourceOffset); };
  // Decoded once, and once more, as the screen decodes a page that was escaped twice; the
  // end that either reading may begin a word in is kept.
  const Decoded once = DecodeWithOffsets(region);
  if (once.open != std::string_view::npos) keep(base + once.open);
  if (const std::size_t k = LongestStartingSuffix(once.bytes); k > 0)
    keep(base + once.from[once.bytes.size() - k]);
  if (once.bytes.find_first_of("%+") != std::string::npos) {
    const Decoded twice = DecodeWithOffsets(once.bytes);
    if (twice.open != std::string_view::npos) keep(base + once.from[twice.open]);
    if (const std::size_t k = LongestStartingSuffix(twice.bytes); k > 0)
      keep(base + once.from[twice.from[twice.bytes.size() - k]]);
  }
  return hold;
}

std::size_t KeywordStarts::HeldTail(std::string_view text) const {
  if (longest_ < 2 || text.empty()) return 0;
  std::string end(text.substr(text.size() - std::min(text.size(), longest_ - 1)));
  std::transform(end.begin(), end.end(), end.begin(), Lower);
  std::size_t hold = std::max(LongestStartingSuffix(end), EscapedHold(text));
  if (hold == 0) return 0;
  // Stepped through from the start as the character-aware search steps: a lead byte
  // (0x81..0xFE) takes the byte after it along. Kept from a second byte, the next screen
  // would read every character after it out of step.
  const std::size_t start = text.size() - hold;
  std::size_t at = 0;
  while (at < start) {
    const auto byte = static_cast<unsigned char>(text[at]);
    at += byte >= 0x81 && byte <= 0xfe ? 2 : 1;
  }
  if (at > start) ++hold;
  return hold;
}

}  // namespace orv::keywords
