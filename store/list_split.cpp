#include "store/list_split.h"

namespace orv::store {

std::vector<std::string> SplitKeepingLongPieces(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (separator.empty()) {
    if (text.size() >= 2) pieces.emplace_back(text);
    return pieces;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    const std::string_view piece =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (piece.size() >= 2) pieces.emplace_back(piece);
    if (end == std::string_view::npos) break;
    start = end + separator.size();
  }
  return pieces;
}

}  // namespace orv::store
