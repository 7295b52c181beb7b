#include "keywords/rule_table.h"

#include <algorithm>

namespace orv::keywords {

namespace {

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

RuleTable::RuleTable(const KeywordList& list, bool wordsToo, PatternCollector& collector) {
  rules.reserve(list.size());
  // Rule lists repeat themselves (a word added twice, by hand or by a merge). A repeated rule
  // holds exactly when its first copy does and reports a text already in the matched list,
  // after the first copy's position: it needs no trigger of its own. Replace keys are
  // different, each copy overwrites another occurrence, and keep theirs.
  std::vector<std::uint8_t> wholeSeen;
  for (std::uint32_t r = 0; r < list.size(); ++r) {
    const std::string_view text = list[r];
    CompiledRule rule;
    rule.form = FormOf(text);
    rule.partsBegin = static_cast<std::uint32_t>(parts.size());
    if (rule.form == RuleForm::kPlain) {
      rule.whole = collector.Add(text);
      parts.push_back(rule.whole);
    } else {
      if (wordsToo) rule.whole = collector.Add(text);
      for (std::string_view part : SplitParts(text, SeparatorOf(rule.form))) {
        parts.push_back(collector.Add(part));
      }
    }
    rule.partsEnd = static_cast<std::uint32_t>(parts.size());

    // The trigger is a part that has to occur for the rule to hold: the first part of a NOT
    // rule, the longest (likely rarest) part of an AND rule. Rules that need no non-empty
    // part hang on the empty pattern, which occurs in every text.
    std::uint32_t trigger = parts[rule.partsBegin];
    if (rule.form == RuleForm::kAnd) {
      for (std::uint32_t i = rule.partsBegin; i < rule.partsEnd; ++i) {
        if (collector.Text(parts[i]).size() > collector.Text(trigger).size()) trigger = parts[i];
      }
    }
    bool repeated = false;
    if (wordsToo) {
      if (wholeSeen.size() <= rule.whole) wholeSeen.resize(rule.whole + std::size_t{1}, 0);
      repeated = wholeSeen[rule.whole] != 0;
      wholeSeen[rule.whole] = 1;
    }
    if (!repeated) pendingRuleTriggers_.emplace_back(trigger, r);
    if (wordsToo) pendingWordTriggers_.emplace_back(rule.whole, r);
    rules.push_back(rule);
  }
}

void RuleTable::Finish(std::shared_ptr<const PatternSet> set) {
  set_ = std::move(set);
  BuildIndex(set_->patterns.size(), pendingRuleTriggers_, ruleTriggerStart_, ruleTriggers_);
  BuildIndex(set_->patterns.size(), pendingWordTriggers_, wordTriggerStart_, wordTriggers_);
  uses_.assign(set_->patterns.size(), 0);
  for (const CompiledRule& rule : rules) {
    uses_[rule.whole] = 1;
    for (std::uint32_t part : Parts(rule)) uses_[part] = 1;
  }
  longestUsed_ = 1;
  usedBytes_ = {};
  for (std::uint32_t pattern = 0; pattern < set_->patterns.size(); ++pattern) {
    if (uses_[pattern] == 0) continue;
    longestUsed_ = std::max(longestUsed_, set_->patterns[pattern].size());
    for (const char c : set_->patterns[pattern]) {
      const auto byte = static_cast<unsigned char>(c);
      usedBytes_[byte >> 6] |= std::uint64_t{1} << (byte & 63);
    }
  }
  pendingRuleTriggers_ = {};
  pendingWordTriggers_ = {};
  triggerBytes_ = {};
  for (std::uint32_t pattern = 0; pattern < set_->patterns.size(); ++pattern) {
    if (RuleTriggers(pattern).empty()) continue;
    for (const char c : set_->patterns[pattern]) {
      const auto byte = static_cast<unsigned char>(c);
      triggerBytes_[byte >> 6] |= std::uint64_t{1} << (byte & 63);
    }
  }
}

std::size_t RuleTable::MemoryBytes() const {
  return rules.capacity() * sizeof(CompiledRule) + uses_.capacity() +
         (parts.capacity() + ruleTriggerStart_.capacity() + ruleTriggers_.capacity() +
          wordTriggerStart_.capacity() + wordTriggers_.capacity()) *
             sizeof(std::uint32_t);
}

}  // namespace orv::keywords
