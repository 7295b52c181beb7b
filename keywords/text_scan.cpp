#include "keywords/text_scan.h"

#include <algorithm>

#include "platform/codepage.h"

namespace orv::keywords {

namespace {

ScanScratch& ThreadScratch(const RuleTable& table) {
  thread_local ScanScratch scratch;
  if (++scratch.generation == 0) {
    // Wrapped after 2^32 calls: forget every stamp once.
    std::fill(scratch.stamp.begin(), scratch.stamp.end(), 0);
    std::fill(scratch.stateStamp.begin(), scratch.stateStamp.end(), 0);
    scratch.generation = 1;
  }
  const std::size_t patterns = table.patterns.size();
  if (scratch.stamp.size() < patterns) {
    scratch.stamp.resize(patterns, 0);
    scratch.first.resize(patterns, 0);
    scratch.charAware.resize(patterns, 0);
  }
  const std::size_t states = table.automaton.StateCount();
  if (scratch.stateStamp.size() < states) scratch.stateStamp.resize(states, 0);
  scratch.seen.clear();
  scratch.candidates.assign(table.rules.size() / 64 + 1, 0);
  return scratch;
}

}  // namespace

TextScan::TextScan(const RuleTable& table, std::string_view text)
    : TextScan(table, ThreadScratch(table), text) {}

TextScan::TextScan(const RuleTable& table, ScanScratch& scratch, std::string_view text)
    : table_(table),
      generation_(scratch.generation),
      stamp_(scratch.stamp),
      first_(scratch.first),
      charAware_(scratch.charAware),
      stateStamp_(scratch.stateStamp),
      seen_(scratch.seen),
      candidates_(scratch.candidates),
      outputs_(scratch.outputs) {
  ScanWhole(text);
}

void TextScan::Record(std::uint32_t pattern, std::uint32_t at) {
  stamp_[pattern] = generation_;
  first_[pattern] = at;
  charAware_[pattern] = 0;
  seen_.push_back(pattern);
}

void TextScan::ScanWhole(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const Automaton& automaton = table_.automaton;
  // The next character start at or after the last short occurrence asked about. Short
  // occurrences are met in order of their start (ends grow, and at one end the suffix chain
  // goes from long to short), so the cursor only moves forward.
  std::size_t boundary = 0;
  automaton.CollectOutputs(bytes, text.size(), outputs_);
  for (const auto& [state, stop] : outputs_) {
    if (stateStamp_[state] == generation_) continue;
    bool settled = true;
    for (std::uint32_t s =
             automaton.OwnPattern(state) != Automaton::kNone ? state : automaton.OutputLink(state);
         s != Automaton::kNone; s = automaton.OutputLink(s)) {
      if (s != state && stateStamp_[s] == generation_) break;
      const std::uint32_t pattern = automaton.OwnPattern(s);
      const std::size_t length = table_.patterns[pattern].size();
      const auto at = static_cast<std::uint32_t>(stop - length);
      if (stamp_[pattern] != generation_) Record(pattern, at);
      if (length <= 2 && charAware_[pattern] == 0) {
        while (boundary < at) boundary += codepage::IsLeadByte(bytes[boundary]) ? 2 : 1;
        if (boundary == at) {
          charAware_[pattern] = 1;
        } else {
          settled = false;
        }
      }
    }
    if (settled) stateStamp_[state] = generation_;
  }
}

}  // namespace orv::keywords
