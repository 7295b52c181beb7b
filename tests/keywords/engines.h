// The two keyword engines behind one shape, so a test can state a case once and run it on
// both: the literal reference and the compiled lists.
#pragma once

#include <string>
#include <string_view>

#include "keywords/matching.h"
#include "keywords/reference_matching.h"

namespace orv::keywords::testing {

struct ReplaceOutcome {
  int count = 0;
  std::string page;
  std::string search;
  std::string matched;
  long position = -1;
  bool operator==(const ReplaceOutcome&) const = default;
};

struct ReferenceEngine {
  static bool Match(std::string_view text, const KeywordList& list, std::string& matched,
                    long& position, bool stopAtFirst) {
    return reference::MatchRules(text, list, matched, position, stopAtFirst);
  }
  static bool First(std::string_view text, const KeywordList& list, std::string& matched,
                    long& position) {
    return reference::FindFirstWord(text, list, matched, position);
  }
  static ReplaceOutcome Replace(std::string page, std::string search, const ReplaceList& list,
                                long position = -1) {
    ReplaceOutcome out;
    out.count =
        reference::ReplaceWords(page, search, list.keys, list.values, out.matched, position);
    out.page = std::move(page);
    out.search = std::move(search);
    out.position = position;
    return out;
  }
};

struct CompiledEngine {
  static bool Match(std::string_view text, const KeywordList& list, std::string& matched,
                    long& position, bool stopAtFirst) {
    return MatchRules(text, CompiledList(list), matched, position, stopAtFirst);
  }
  static bool First(std::string_view text, const KeywordList& list, std::string& matched,
                    long& position) {
    return FindFirstWord(text, CompiledList(list), matched, position);
  }
  static ReplaceOutcome Replace(std::string page, std::string search, const ReplaceList& list,
                                long position = -1) {
    ReplaceOutcome out;
    out.count = ReplaceWords(page, search, CompiledReplaceList(list), out.matched, position);
    out.page = std::move(page);
    out.search = std::move(search);
    out.position = position;
    return out;
  }
};

}  // namespace orv::keywords::testing
