// The literal keyword algorithm, rule by rule and part by part with plain byte searches.
// It is the oracle the compiled engine is tested against; it is not used on the hot path.
#pragma once

#include <string>
#include <string_view>

#include "keywords/keyword_list.h"

namespace orv::keywords::reference {

bool MatchRules(std::string_view text, const KeywordList& list, std::string& matched,
                long& position, bool stopAtFirst);

bool FindFirstWord(std::string_view text, const KeywordList& list, std::string& matched,
                   long& position);

int ReplaceWords(std::string& page, std::string& search, const KeywordList& keys,
                 const KeywordList& values, std::string& matched, long& position);

}  // namespace orv::keywords::reference
