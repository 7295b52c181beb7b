#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <utility>

#include "keywords/compiled_lists.h"
#include "keywords/reference_matching.h"
#include "keywords/reported_rules.h"
#include "keywords/text_scan.h"

namespace orv::keywords {

std::size_t StringsBytes(const KeywordList& list) {
  std::size_t bytes = list.capacity() * sizeof(std::string);
  for (const std::string& s : list) {
    if (s.capacity() > std::string().capacity()) bytes += s.capacity() + 1;
  }
  return bytes;
}

CompiledReplaceList::Impl::Impl(ReplaceList replace, PatternCollector& collector)
    : list(std::move(replace)), table(list.keys, false, collector) {
  if (list.keys.size() != list.values.size()) return;
  values.reserve(list.keys.size());
  for (std::size_t k = 0; k < list.keys.size(); ++k) {
    values.push_back(FitValue(list.values[k], list.keys[k].size()));
  }
}

namespace {

// The set's memory shared out evenly among the lists built over it.
std::size_t SetShare(const RuleTable& table) {
  return table.Set().MemoryBytes() / table.Set().sharers;
}

std::shared_ptr<const CompiledList::Impl> CompileAlone(KeywordList rules) {
  PatternCollector collector;
  auto impl = std::make_shared<CompiledList::Impl>(std::move(rules), collector);
  impl->table.Finish(collector.Build());
  return impl;
}

std::shared_ptr<const CompiledReplaceList::Impl> CompileAlone(ReplaceList list) {
  PatternCollector collector;
  auto impl = std::make_shared<CompiledReplaceList::Impl>(std::move(list), collector);
  impl->table.Finish(collector.Build());
  return impl;
}

}  // namespace

CompiledList::CompiledList() : impl_(CompileAlone(KeywordList{})) {}
CompiledList::CompiledList(KeywordList rules) : impl_(CompileAlone(std::move(rules))) {}
CompiledList::CompiledList(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}
const KeywordList& CompiledList::rules() const {
  return impl_->rules;
}
bool CompiledList::empty() const {
  return impl_->rules.empty();
}
std::size_t CompiledList::MemoryBytes() const {
  return sizeof(Impl) + StringsBytes(impl_->rules) + impl_->table.MemoryBytes() +
         SetShare(impl_->table);
}

CompiledReplaceList::CompiledReplaceList() : impl_(CompileAlone(ReplaceList{})) {}
CompiledReplaceList::CompiledReplaceList(ReplaceList list) : impl_(CompileAlone(std::move(list))) {}
CompiledReplaceList::CompiledReplaceList(std::shared_ptr<const Impl> impl)
    : impl_(std::move(impl)) {}
const ReplaceList& CompiledReplaceList::list() const {
  return impl_->list;
}
bool CompiledReplaceList::empty() const {
  return impl_->list.keys.empty();
}
std::size_t CompiledReplaceList::MemoryBytes() const {
  return sizeof(Impl) + StringsBytes(impl_->list.keys) + StringsBytes(impl_->list.values) +
         StringsBytes(impl_->values) + impl_->table.MemoryBytes() + SetShare(impl_->table);
}

CompiledGroup CompileGroup(KeywordList deny, ReplaceList replace, KeywordList record,
                           KeywordList free) {
  PatternCollector collector;
  auto denyImpl = std::make_shared<CompiledList::Impl>(std::move(deny), collector);
  auto replaceImpl = std::make_shared<CompiledReplaceList::Impl>(std::move(replace), collector);
  auto recordImpl = std::make_shared<CompiledList::Impl>(std::move(record), collector);
  auto freeImpl = std::make_shared<CompiledList::Impl>(std::move(free), collector);
  auto set = std::const_pointer_cast<PatternSet>(collector.Build());
  set->sharers = 4;
  denyImpl->table.Finish(set);
  replaceImpl->table.Finish(set);
  recordImpl->table.Finish(set);
  freeImpl->table.Finish(set);
  return CompiledGroup{CompiledList(std::move(denyImpl)),
                       CompiledReplaceList(std::move(replaceImpl)),
                       CompiledList(std::move(recordImpl)), CompiledList(std::move(freeImpl))};
}

namespace {

void MarkRule(std::vector<std::uint64_t>& bits, std::uint32_t rule) {
  bits[rule >> 6] |= std::uint64_t{1} << (rule & 63);
}

// Marks every rule whose trigger occurs (or that needs none).
void MarkCandidates(const RuleTable& table, TextScan& scan) {
  auto& bits = scan.Candidates();
  for (std::uint32_t pattern : scan.Seen()) {
    for (std::uint32_t rule : table.RuleTriggers(pattern)) MarkRule(bits, rule);
  }
  for (std::uint32_t rule : table.RuleTriggers(RuleTable::kEmptyPattern)) MarkRule(bits, rule);
}

struct Verdict {
  bool holds = false;
  std::uint32_t position = 0;
  std::string_view reported;
};

Verdict Decide(const RuleTable& table, const TextScan& scan, std::uint32_t index,
               std::string_view text) {
  const CompiledRule& rule = table.rules[index];
  const auto parts = table.Parts(rule);
  Verdict verdict;
  verdict.reported = text;
  if (rule.form == RuleForm::kNot) {
    // The first part counts byte-wise only; every other part must be absent.
    verdict.position = scan.First(parts[0]);
    if (verdict.position == TextScan::kAbsent) return verdict;
    for (std::size_t i = 1; i < parts.size(); ++i) {
      if (scan.First(parts[i]) != TextScan::kAbsent) return verdict;
    }
    verdict.reported = table.Pattern(parts[0]);
  } else {
    for (std::uint32_t part : parts) {
      if (!scan.Occurs(part)) return verdict;
    }
    verdict.position = scan.First(parts[0]);
  }
  verdict.holds = true;
  return verdict;
}

}  // namespace

std::optional<Match> MatchRules(std::string_view text, const CompiledList& list, StopAt stop,
                                ScanContext& context) {
  const CompiledList::Impl& impl = list.impl();
  if (text.size() > TextScan::kMaxText) return reference::MatchRules(text, impl.rules, stop);
  if (text.empty() || impl.rules.empty()) return std::nullopt;
  TextScan scan(impl.table, text, context);
  MarkCandidates(impl.table, scan);
  auto& bits = scan.Candidates();
  std::optional<Match> found;
  std::optional<ReportedRules> reports;
  for (std::size_t word = 0; word < bits.size(); ++word) {
    while (bits[word] != 0) {
      const auto index = static_cast<std::uint32_t>(
          word * 64 + static_cast<unsigned>(std::countr_zero(bits[word])));
      bits[word] &= bits[word] - 1;
      const Verdict verdict = Decide(impl.table, scan, index, impl.rules[index]);
      if (!verdict.holds) continue;
      if (!found) {
        found = Match{{}, index, verdict.position};
        reports.emplace(found->words);
      }
      reports->Add(verdict.reported);
      if (stop == StopAt::kFirst) return found;
    }
  }
  return found;
}

std::optional<Match> FindFirstWord(std::string_view text, const CompiledList& list,
                                   ScanContext& context) {
  const CompiledList::Impl& impl = list.impl();
  if (text.size() > TextScan::kMaxText) return reference::FindFirstWord(text, impl.rules);
  if (text.empty() || impl.rules.empty()) return std::nullopt;
  const RuleTable& table = impl.table;
  TextScan scan(table, text, context);
  // The entry that comes first in the list wins, wherever it occurs in the text.
  std::uint32_t best = TextScan::kAbsent;
  const auto consider = [&](std::uint32_t pattern) {
    const auto entries = table.WordTriggers(pattern);
    if (!entries.empty() && scan.PassesShortWordCheck(pattern)) best = std::min(best, entries[0]);
  };
  for (std::uint32_t pattern : scan.Seen()) consider(pattern);
  consider(RuleTable::kEmptyPattern);
  if (best == TextScan::kAbsent) return std::nullopt;
  return Match{impl.rules[best], best, scan.First(table.rules[best].whole)};
}

std::optional<Match> MatchRules(std::string_view text, const CompiledList& list, StopAt stop) {
  ScanContext context;
  return MatchRules(text, list, stop, context);
}

std::optional<Match> FindFirstWord(std::string_view text, const CompiledList& list) {
  ScanContext context;
  return FindFirstWord(text, list, context);
}

}  // namespace orv::keywords
