// What a compiled list holds. Shared by the operations; not part of the public interface.
#pragma once

#include <utility>

#include "keywords/matching.h"
#include "keywords/rule_table.h"

namespace orv::keywords {

struct CompiledList::Impl {
  explicit Impl(KeywordList list) : rules(std::move(list)), table(rules, true) {}
  KeywordList rules;
  RuleTable table;  // views into `rules`: an Impl is never copied or moved
};

struct CompiledReplaceList::Impl {
  explicit Impl(ReplaceList replace);
  ReplaceList list;
  KeywordList values;  // list.values fitted to their keys' lengths (when the counts agree)
  RuleTable table;
};

// Heap held by a list of byte strings.
std::size_t StringsBytes(const KeywordList& list);

}  // namespace orv::keywords
