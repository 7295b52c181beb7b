#include "keywords/rule_table.h"

#include <string>
#include <unordered_map>

namespace orv::keywords {

namespace {

// Complete rows for the shallow states of one list; the default database's largest list
// keeps most of its visited states within it.
constexpr std::size_t kDenseBudgetBytes = std::size_t{8} << 20;

// Compressed sparse rows: items grouped by key, keys 0..keyCount-1, order kept.
void BuildIndex(std::size_t keyCount,
                const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs,
                std::vector<std::uint32_t>& start, std::vector<std::uint32_t>& items) {
  start.assign(keyCount + 1, 0);
  for (const auto& [key, item] : pairs) ++start[key + 1];
  for (std::size_t k = 0; k < keyCount; ++k) start[k + 1] += start[k];
  items.assign(pairs.size(), 0);
  std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
  for (const auto& [key, item] : pairs) items[fill[key]++] = item;
}

}  // namespace

RuleTable::RuleTable(const KeywordList& list, bool wordsToo) {
  std::unordered_map<std::string_view, std::uint32_t> ids;
  patterns.push_back(std::string_view{});
  ids.emplace(std::string_view{}, kEmptyPattern);
  auto idOf = [&](std::string_view text) {
    const auto [it, added] = ids.emplace(text, static_cast<std::uint32_t>(patterns.size()));
    if (added) patterns.push_back(text);
    return it->second;
  };

  std::vector<std::pair<std::uint32_t, std::uint32_t>> ruleTriggers, wordTriggers;
  rules.reserve(list.size());
  for (std::uint32_t r = 0; r < list.size(); ++r) {
    const std::string_view text = list[r];
    CompiledRule rule;
    rule.form = FormOf(text);
    rule.partsBegin = static_cast<std::uint32_t>(parts.size());
    if (rule.form == RuleForm::kPlain) {
      rule.whole = idOf(text);
      parts.push_back(rule.whole);
    } else {
      if (wordsToo) rule.whole = idOf(text);
      for (std::string_view part : SplitParts(text, SeparatorOf(rule.form))) {
        parts.push_back(idOf(part));
      }
    }
    rule.partsEnd = static_cast<std::uint32_t>(parts.size());

    // The trigger is a part that has to occur for the rule to hold: the first part of a NOT
    // rule, the longest (likely rarest) part of an AND rule. Rules that need no non-empty
    // part hang on the empty pattern, which occurs in every text.
    std::uint32_t trigger = parts[rule.partsBegin];
    if (rule.form == RuleForm::kAnd) {
      for (std::uint32_t i = rule.partsBegin; i < rule.partsEnd; ++i) {
        if (patterns[parts[i]].size() > patterns[trigger].size()) trigger = parts[i];
      }
    }
    ruleTriggers.emplace_back(trigger, r);
    if (wordsToo) wordTriggers.emplace_back(rule.whole, r);
    rules.push_back(rule);
  }
  BuildIndex(patterns.size(), ruleTriggers, ruleTriggerStart_, ruleTriggers_);
  BuildIndex(patterns.size(), wordTriggers, wordTriggerStart_, wordTriggers_);
  automaton = Automaton(patterns, kDenseBudgetBytes);
}

std::size_t RuleTable::MemoryBytes() const {
  return patterns.capacity() * sizeof(std::string_view) + rules.capacity() * sizeof(CompiledRule) +
         (parts.capacity() + ruleTriggerStart_.capacity() + ruleTriggers_.capacity() +
          wordTriggerStart_.capacity() + wordTriggers_.capacity()) *
             sizeof(std::uint32_t) +
         automaton.MemoryBytes();
}

}  // namespace orv::keywords
