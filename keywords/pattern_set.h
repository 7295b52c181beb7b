// The distinct words and rule parts of one or more keyword lists, and the automaton that
// finds them. Lists used on the same texts share one set, so one pass over a text serves all
// of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "keywords/automaton.h"

namespace orv::keywords {

struct PatternSet {
  std::vector<std::string> patterns;  // id 0 is the empty pattern
  Automaton automaton;
  std::uint64_t serial = 0;  // unique per process: tells a thread's kept pass whose it is
  std::size_t sharers = 1;   // compiled lists using this set; each reports its share of memory

  std::size_t MemoryBytes() const;
};

// Gives every distinct text one id while lists are being compiled, then builds the set.
class PatternCollector {
 public:
  PatternCollector();
  std::uint32_t Add(std::string_view text);
  std::size_t Count() const { return patterns_.size(); }
  std::string_view Text(std::uint32_t id) const { return patterns_[id]; }
  std::shared_ptr<const PatternSet> Build();

 private:
  std::unordered_map<std::string, std::uint32_t> ids_;
  std::vector<std::string> patterns_;
};

}  // namespace orv::keywords
