// A keyword list compiled for scanning: every rule a row of pattern ids in a (possibly
// shared) pattern set, and every pattern knows the rules that cannot hold without it (their
// trigger), so a scan only decides rules whose trigger occurs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "keywords/keyword_list.h"
#include "keywords/pattern_set.h"
#include "keywords/rule_form.h"

namespace orv::keywords {

struct CompiledRule {
  RuleForm form = RuleForm::kPlain;
  std::uint32_t whole = 0;       // pattern id of the whole rule text
  std::uint32_t partsBegin = 0;  // range in RuleTable::parts (plain words: their one word)
  std::uint32_t partsEnd = 0;
};

class RuleTable {
 public:
  static constexpr std::uint32_t kEmptyPattern = 0;  // "" always has id 0

  RuleTable() = default;
  // Adds the list's patterns to `collector`. `wordsToo` also makes the whole text of every
  // AND and NOT rule a pattern, for FindFirstWord. The table is usable after Finish with
  // the set the collector built.
  RuleTable(const KeywordList& list, bool wordsToo, PatternCollector& collector);
  void Finish(std::shared_ptr<const PatternSet> set);

  std::size_t MemoryBytes() const;  // without the pattern set

  const PatternSet& Set() const { return *set_; }
  const Automaton& Scanner() const { return set_->automaton; }
  std::string_view Pattern(std::uint32_t id) const { return set_->patterns[id]; }
  std::size_t PatternCount() const { return set_->patterns.size(); }
  // Whether some rule of this table reads the pattern (a shared set also holds others').
  bool Uses(std::uint32_t pattern) const { return uses_[pattern] != 0; }
  // The length of the longest of those patterns (at least 1): how far around a change of
  // the text an occurrence that matters to this table can reach.
  std::size_t LongestUsed() const { return longestUsed_; }

  std::vector<CompiledRule> rules;
  std::vector<std::uint32_t> parts;

  // Rules by the pattern that triggers their evaluation; and rules by their whole text, for
  // FindFirstWord. Ascending rule indices.
  std::span<const std::uint32_t> RuleTriggers(std::uint32_t pattern) const {
    return Slice(ruleTriggerStart_, ruleTriggers_, pattern);
  }
  std::span<const std::uint32_t> WordTriggers(std::uint32_t pattern) const {
    return Slice(wordTriggerStart_, wordTriggers_, pattern);
  }
  // Whether some pattern this table reads holds the byte.
  bool UsedHolds(unsigned char byte) const {
    return ((usedBytes_[byte >> 6] >> (byte & 63)) & 1) != 0;
  }
  // Whether some pattern that triggers a rule holds the byte.
  bool TriggerHolds(unsigned char byte) const {
    return ((triggerBytes_[byte >> 6] >> (byte & 63)) & 1) != 0;
  }
  std::span<const std::uint32_t> Parts(const CompiledRule& rule) const {
    return {parts.data() + rule.partsBegin, parts.data() + rule.partsEnd};
  }

 private:
  static std::span<const std::uint32_t> Slice(const std::vector<std::uint32_t>& start,
                                              const std::vector<std::uint32_t>& items,
                                              std::uint32_t pattern) {
    return {items.data() + start[pattern], items.data() + start[pattern + 1]};
  }

  std::shared_ptr<const PatternSet> set_;
  std::vector<std::uint8_t> uses_;
  std::size_t longestUsed_ = 1;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pendingRuleTriggers_, pendingWordTriggers_;
  std::vector<std::uint32_t> ruleTriggerStart_, ruleTriggers_;
  std::vector<std::uint32_t> wordTriggerStart_, wordTriggers_;
  std::array<std::uint64_t, 4> triggerBytes_{};
  std::array<std::uint64_t, 4> usedBytes_{};
};

}  // namespace orv::keywords
