// Splitting of the stored list texts ("|" in the settings file, "@@" in the keyword database).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv::store {

// Pieces of `text` between occurrences of `separator`, in order, keeping only pieces of at
// least two bytes (so empty pieces and one-letter words vanish). Spaces are not trimmed.
std::vector<std::string> SplitKeepingLongPieces(std::string_view text, std::string_view separator);

}  // namespace orv::store
