// The two keyword engines behind one shape, so a test can state a case once and run it on
// both: the literal reference and the compiled lists.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "keywords/matching.h"
#include "keywords/reference_matching.h"

namespace orv::keywords::testing {

// A ReplaceWords call with both texts as it left them.
struct ReplaceRun {
  Replacements result;
  std::string page;
  std::string search;
  bool operator==(const ReplaceRun&) const = default;
};

struct ReferenceEngine {
  static std::optional<Match> Rules(std::string_view text, const KeywordList& list, StopAt stop) {
    return reference::MatchRules(text, list, stop);
  }
  static std::optional<Match> First(std::string_view text, const KeywordList& list) {
    return reference::FindFirstWord(text, list);
  }
  static ReplaceRun Replace(std::string page, std::string search, const ReplaceList& list) {
    ReplaceRun run;
    run.result = reference::ReplaceWords(page, search, list.keys, list.values);
    run.page = std::move(page);
    run.search = std::move(search);
    return run;
  }
};

struct CompiledEngine {
  static std::optional<Match> Rules(std::string_view text, const KeywordList& list, StopAt stop) {
    return MatchRules(text, CompiledList(list), stop);
  }
  static std::optional<Match> First(std::string_view text, const KeywordList& list) {
    return FindFirstWord(text, CompiledList(list));
  }
  static ReplaceRun Replace(std::string page, std::string search, const ReplaceList& list) {
    ReplaceRun run;
    run.result = ReplaceWords(page, search, CompiledReplaceList(list));
    run.page = std::move(page);
    run.search = std::move(search);
    return run;
  }
};

}  // namespace orv::keywords::testing
