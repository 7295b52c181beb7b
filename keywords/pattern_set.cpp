#include "keywords/pattern_set.h"

#include <atomic>

namespace orv::keywords {

namespace {

// Complete rows for the shallow states; with the default database's lists in one set the
// states a scan visits nearly always have one.
constexpr std::size_t kDenseBudgetBytes = std::size_t{12} << 20;

}  // namespace

std::size_t PatternSet::MemoryBytes() const {
  std::size_t bytes = sizeof(PatternSet) + patterns.capacity() * sizeof(std::string);
  for (const std::string& p : patterns) {
    if (p.capacity() > std::string().capacity()) bytes += p.capacity() + 1;
  }
  return bytes + automaton.MemoryBytes();
}

PatternCollector::PatternCollector() {
  Add({});
}

std::uint32_t PatternCollector::Add(std::string_view text) {
  const auto [it, added] =
      ids_.emplace(std::string(text), static_cast<std::uint32_t>(patterns_.size()));
  if (added) patterns_.emplace_back(text);
  return it->second;
}

std::shared_ptr<const PatternSet> PatternCollector::Build() {
  auto set = std::make_shared<PatternSet>();
  set->patterns = std::move(patterns_);
  const std::vector<std::string_view> views(set->patterns.begin(), set->patterns.end());
  set->automaton = Automaton(views, kDenseBudgetBytes);
  static std::atomic<std::uint64_t> serials{0};
  set->serial = ++serials;
  ids_.clear();
  patterns_.clear();
  return set;
}

}  // namespace orv::keywords
