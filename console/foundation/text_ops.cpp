#include "console/foundation/text_ops.h"

#include <cstdlib>
#include <ctime>

#include "platform/codepage.h"

namespace orv::console {

namespace {

// The next occurrence of `delimiter` at or after `from` (a character start) that starts a GBK
// character: a delimiter whose first byte is the trail byte of a double-byte character ("@"
// and "|" both are trail bytes) is part of that character, not a separator. A delimiter
// beginning below 0x40 cannot be a trail byte and is found anywhere.
std::size_t FindDelimiter(std::string_view text, std::string_view delimiter, std::size_t from) {
  const bool walkCharacters = static_cast<unsigned char>(delimiter[0]) >= 0x40;
  for (std::size_t i = from; i < text.size();) {
    if (text.size() - i >= delimiter.size() && text.compare(i, delimiter.size(), delimiter) == 0) {
      return i;
    }
    const bool pair = walkCharacters && codepage::IsLeadByte(static_cast<unsigned char>(text[i])) &&
                      i + 1 < text.size();
    i += pair ? 2 : 1;
  }
  return std::string_view::npos;
}

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
    const std::size_t at = FindDelimiter(text, delimiter, from);
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
