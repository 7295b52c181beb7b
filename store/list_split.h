// Splitting and rewriting of the stored list texts ("|" in the settings file, "@@" in the
// keyword database, line breaks on the editing pages).
//
// Every search here walks GBK characters: a separator is only found where a character
// starts, never on the trail byte of a double-byte character (trail bytes run from 0x40,
// "@", and include "|"), so an entry ending in such a character is not cut apart. Patterns
// that begin below 0x40 (line breaks) cannot start on a trail byte and are found anywhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orv::store {

// Pieces of `text` between occurrences of `separator`, in order, keeping only pieces of at
// least `minimumLength` bytes (two by default, so empty pieces and one-letter words vanish).
// Spaces are not trimmed. An empty separator gives the whole text as one piece.
std::vector<std::string> SplitKeepingLongPieces(std::string_view text, std::string_view separator,
                                                std::size_t minimumLength = 2);

// Every non-overlapping occurrence of `from` that starts a character, left to right in one
// pass, replaced by `to`.
std::string ReplaceAllOnCharacters(std::string_view text, std::string_view from,
                                   std::string_view to);

// Occurrences of `pattern` that start a character (non-overlapping; 0 for an empty pattern).
std::size_t CountOnCharacters(std::string_view text, std::string_view pattern);

// True when byte `position` of `text` starts a character (or is the end of the text).
bool StartsCharacter(std::string_view text, std::size_t position);

}  // namespace orv::store
