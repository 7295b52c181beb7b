// What a compiled list holds. Shared by the operations; not part of the public interface.
#pragma once

#include <memory>
#include <utility>

#include "keywords/matching.h"
#include "keywords/rule_table.h"

namespace orv::keywords {

struct CompiledList::Impl {
  Impl(KeywordList list, PatternCollector& collector)
      : rules(std::move(list)), table(rules, true, collector) {}
  KeywordList rules;
  RuleTable table;
};

struct CompiledReplaceList::Impl {
  Impl(ReplaceList replace, PatternCollector& collector);
  ReplaceList list;
  KeywordList values;  // list.values fitted to their keys' lengths (when the counts agree)
  RuleTable table;
};

// Heap held by a list of byte strings.
std::size_t StringsBytes(const KeywordList& list);

}  // namespace orv::keywords
