#include "console/foundation/text_ops.h"

#include <cstdlib>
#include <ctime>

namespace orv::console {

namespace {
template <typename AddPiece>
std::size_t SplitInto(std::string_view text, std::string_view delimiter, std::size_t minimumLength,
                      AddPiece add) {
  const std::size_t minimum = minimumLength == 0 ? 2 : minimumLength;
  std::size_t added = 0;
  auto offer = [&](std::string_view piece) {
    if (piece.size() >= minimum) {
      add(piece);
      ++added;
    }
  };
  if (delimiter.empty()) {
    offer(text);
    return added;
  }
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(delimiter, from);
    if (at == std::string_view::npos) {
      offer(text.substr(from));
      return added;
    }
    offer(text.substr(from, at - from));
    from = at + delimiter.size();
  }
}
}  // namespace

std::size_t SplitText(std::string_view text, std::string_view delimiter,
                      std::vector<std::string>& pieces, bool clear, std::size_t minimumLength) {
  if (clear) {
    pieces.clear();
  }
  return SplitInto(text, delimiter, minimumLength,
                   [&](std::string_view piece) { pieces.emplace_back(piece); });
}

std::size_t SplitText(std::string_view text, std::string_view delimiter,
                      std::list<std::string>& pieces, bool clear, std::size_t minimumLength) {
  if (clear) {
    pieces.clear();
  }
  return SplitInto(text, delimiter, minimumLength,
                   [&](std::string_view piece) { pieces.emplace_back(piece); });
}

std::string TextBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker) {
  if (text.empty() || startMarker.empty() || endMarker.empty()) {
    return {};
  }
  const std::size_t start = text.find(startMarker);
  const std::size_t end = text.find(endMarker);
  if (start == std::string_view::npos || end == std::string_view::npos) {
    return {};
  }
  const std::size_t contentStart = start + startMarker.size();
  if (end < contentStart) {
    return {};
  }
  return std::string(text.substr(contentStart, end - contentStart));
}

bool ReplaceBetween(std::string& text, std::string_view content, std::string_view startMarker,
                    std::string_view endMarker) {
  if (startMarker.empty() || endMarker.empty()) {
    return false;
  }
  const std::size_t start = text.find(startMarker);
  const std::size_t end = text.find(endMarker);
  std::string result;
  if (start == std::string::npos && end == std::string::npos) {
    result = text;
    result.append(startMarker).append(content).append(endMarker);
  } else if (start != std::string::npos && end != std::string::npos &&
             end >= start + startMarker.size()) {
    result = text.substr(0, start + startMarker.size());
    result.append(content).append(text.substr(end));
  } else if (end != std::string::npos) {
    // Only an end marker, or one standing before the start marker: the new section goes in
    // front of it, where TextBetween finds it first.
    result = text.substr(0, end);
    result.append(startMarker).append(content).append(text.substr(end));
  } else {
    // Only a start marker: the tail after it has lost its end and cannot be told apart
    // from the old content, so it goes.
    result = text.substr(0, start + startMarker.size());
    result.append(content).append(endMarker);
  }
  text = std::move(result);
  return true;
}

std::size_t FindText(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) {
    return 0;
  }
  const std::size_t at = text.find(pattern);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::size_t CountOccurrences(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) {
    return 0;
  }
  std::size_t count = 0;
  std::size_t at = text.find(pattern);
  while (at != std::string_view::npos) {
    ++count;
    at = text.find(pattern, at + 1);
  }
  return count;
}

std::string RandomText(std::size_t length) {
  static constexpr std::string_view kAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  std::string text;
  text.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    text.push_back(kAlphabet[static_cast<std::size_t>(std::rand()) % kAlphabet.size()]);
  }
  return text;
}

}  // namespace orv::console
