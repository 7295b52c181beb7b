#include "store/list_split.h"

#include "platform/codepage.h"

namespace orv::store {
namespace {

std::size_t CharacterLength(std::string_view text, std::size_t i) {
  return codepage::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// Calls `onMatch(position)` for every non-overlapping occurrence of `pattern` that starts a
// character, walking the text once.
template <typename OnMatch>
void ForEachOnCharacters(std::string_view text, std::string_view pattern, OnMatch onMatch) {
  if (pattern.empty()) return;
  // A pattern that begins below 0x40 (a line break, say) can never begin on a trail byte, so
  // it is searched byte by byte: a stray lead byte in damaged text must not hide it.
  const bool walkCharacters = static_cast<unsigned char>(pattern[0]) >= 0x40;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.size() - i >= pattern.size() && text.compare(i, pattern.size(), pattern) == 0) {
      onMatch(i);
      i += pattern.size();
    } else {
      i += walkCharacters ? CharacterLength(text, i) : 1;
    }
  }
}

}  // namespace

bool StartsCharacter(std::string_view text, std::size_t position) {
  std::size_t i = 0;
  while (i < position && i < text.size()) i += CharacterLength(text, i);
  return i == position;
}

std::vector<std::string> SplitKeepingLongPieces(std::string_view text, std::string_view separator,
                                                std::size_t minimumLength) {
  std::vector<std::string> pieces;
  if (separator.empty()) {
    if (text.size() >= minimumLength) pieces.emplace_back(text);
    return pieces;
  }
  std::size_t start = 0;
  const auto take = [&](std::size_t end) {
    const std::string_view piece = text.substr(start, end - start);
    if (piece.size() >= minimumLength) pieces.emplace_back(piece);
  };
  ForEachOnCharacters(text, separator, [&](std::size_t at) {
    take(at);
    start = at + separator.size();
  });
  take(text.size());
  return pieces;
}

std::string ReplaceAllOnCharacters(std::string_view text, std::string_view from,
                                   std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  ForEachOnCharacters(text, from, [&](std::size_t at) {
    out.append(text, start, at - start);
    out.append(to);
    start = at + from.size();
  });
  out.append(text, start, std::string_view::npos);
  return out;
}

std::size_t CountOnCharacters(std::string_view text, std::string_view pattern) {
  std::size_t count = 0;
  ForEachOnCharacters(text, pattern, [&](std::size_t) { ++count; });
  return count;
}

}  // namespace orv::store
