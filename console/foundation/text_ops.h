// Byte-string operations the console pages share: splitting, marker-delimited sections,
// searching, counting and random texts. Lengths and positions count bytes (GBK texts).
#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <vector>

namespace orv::console {

// Splits `text` at every `delimiter` that starts a GBK character (never at one whose first
// byte is the trail byte of a double-byte character) and appends the pieces of at least
// `minimumLength` bytes (0 means 2) to `pieces`, emptied first when `clear` is set. Returns how
// many pieces were added. An empty delimiter adds the whole text as one piece (when long enough).
std::size_t SplitText(std::string_view text, std::string_view delimiter,
                      std::vector<std::string>& pieces, bool clear, std::size_t minimumLength);
// The same for a linked list of byte strings.
std::size_t SplitText(std::string_view text, std::string_view delimiter,
                      std::list<std::string>& pieces, bool clear, std::size_t minimumLength);

// The text after the first `startMarker` and before the first `endMarker` (both searched
// from the beginning); empty when any of the three is empty, a marker is missing or the end
// marker does not come after the start marker.
std::string TextBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker);

// Puts `content` between the markers of `text`:
//  - neither marker present: start marker, content and end marker are appended;
//  - both present: the bytes between the start marker and the end marker are replaced;
//  - only the end marker, or the end marker before the start marker: start marker and
//    content go right before the (first) end marker;
//  - only the start marker (a damaged text whose tail cannot be trusted): everything after
//    the start marker is dropped and content plus end marker take its place, so the result
//    reads back with TextBetween exactly as `content`.
// False, with `text` unchanged, when either marker is empty.
bool ReplaceBetween(std::string& text, std::string_view content, std::string_view startMarker,
                    std::string_view endMarker);

// 1 + the byte position of the first occurrence of `pattern`; 0 when absent or empty.
std::size_t FindText(std::string_view text, std::string_view pattern);

// Occurrences of `pattern`, overlapping ones included ("aa" occurs 3 times in "aaaa");
// 0 for an empty pattern.
std::size_t CountOccurrences(std::string_view text, std::string_view pattern);

// `length` characters of "a".."z0".."9", drawn with the C library generator seeded with the
// current time in seconds at every call (two calls within one second give the same text).
std::string RandomText(std::size_t length);

}  // namespace orv::console
