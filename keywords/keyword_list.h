// Keyword lists as the database holds them and the engine scans them.
#pragma once

#include <string>
#include <vector>

namespace orv::keywords {

// One database section: rule texts (plain word, "+" AND rule, "-" NOT rule) in file order,
// duplicates kept, every entry at least 2 bytes, already lower-cased.
using KeywordList = std::vector<std::string>;

// The replace section: keys and their replacement values, parallel lists; every value has
// exactly the byte length of its key (keys may be AND/NOT rules or empty).
struct ReplaceList {
  KeywordList keys;
  KeywordList values;
};

}  // namespace orv::keywords
