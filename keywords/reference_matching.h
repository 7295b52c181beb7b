// The literal keyword algorithm, rule by rule and part by part with plain byte searches.
// It is the oracle the compiled engine is tested against; it is not used on the hot path.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "keywords/keyword_list.h"
#include "keywords/matching.h"

namespace orv::keywords::reference {

std::optional<Match> MatchRules(std::string_view text, const KeywordList& list, StopAt stop);

std::optional<Match> FindFirstWord(std::string_view text, const KeywordList& list);

Replacements ReplaceWords(std::string& page, std::string& search, const KeywordList& keys,
                          const KeywordList& values);

}  // namespace orv::keywords::reference
