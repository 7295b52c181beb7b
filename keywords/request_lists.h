// Matching one request text against one URL or client-address list, and the file type of a
// request path. Which list is consulted when, and what a hit does, is the screening's affair.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv::keywords {

// True at the first entry, in list order, that occurs in `text` as a byte substring (with
// `exact`: that equals `text`). The entry is copied to `matched`; on false `matched` is left
// as it was.
bool MatchUrlList(std::string_view text, const std::vector<std::string>& list, bool exact,
                  std::string& matched);

// True when an entry matches the client address. An entry that holds "-" and is at least 17
// bytes long is a range "first-last" ("*" reads as 0) compared as 32-bit addresses; every
// other entry must equal the address text. Addresses shorter than 7 bytes match nothing.
bool MatchIpList(std::string_view address, const std::vector<std::string>& list);

// The extension after the last "." of `path`, spaces removed, single-byte letters
// lower-cased; with `withBars` in the "|ext|" form the file type list uses. Empty when the
// path has no "." or nothing after it.
std::string FileTypeOf(std::string_view path, bool withBars);

}  // namespace orv::keywords
