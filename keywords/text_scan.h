// One pass of a pattern set's automaton over a text: for every pattern its first byte-wise
// occurrence, and for patterns of at most 2 bytes whether some occurrence starts on a
// character boundary of code page 936 (the short-word check).
//
// The working arrays belong to the caller's ScanContext and are reused from call to call; a
// generation stamp tells this call's entries from stale ones, so a call touches only what it
// finds. The last pass is kept: lists that share a pattern set and are asked about the same
// text again (a page screen asks free, record and deny in a row) reuse it. A pinned text is
// known by its address and the pin's number; any other is kept as a copy and compared.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "keywords/matching.h"
#include "keywords/rule_table.h"
#include "keywords/scan_context.h"

namespace orv::keywords {

// Working arrays of the scans made with one context.
struct ScanContext::State {
  std::uint32_t generation = 0;
  std::vector<std::uint32_t> stamp;  // == generation: the pattern was seen in this pass
  std::vector<std::uint32_t> first;
  std::vector<std::uint8_t> charAware;
  std::vector<std::uint32_t> stateStamp;  // == generation: the state's pattern is settled
  std::vector<std::uint32_t> seen;
  std::vector<std::uint32_t> touched;      // patterns whose first occurrence a change overlaps
  std::vector<std::uint64_t> firstStarts;  // bit per offset where a first occurrence may start
  std::vector<std::uint64_t> candidates;
  Automaton::OutputBuffer outputs;
  Automaton::OutputBuffer around;  // occurrences around a change
  // The occurrences a TextScan that changes its text keeps by pattern (see TextScan::Resolve):
  // each pattern's entries linked from its Lists, those of the pass in order of their start.
  struct Occurrence {
    std::uint32_t start;
    std::uint32_t next;  // index of the pattern's next entry, or TextScan::kAbsent
  };
  struct Lists {
    std::uint32_t serial = 0;  // == listSerial of the TextScan they belong to, or stale
    std::uint32_t passHead;
    std::uint32_t passTail;
    std::uint32_t madeHead;
  };
  std::vector<Lists> lists;  // by pattern
  std::vector<Occurrence> passed;
  std::vector<Occurrence> made;
  std::uint32_t listSerial = 0;
  // The pass the arrays hold: its set's serial, 0 when none can be reused; then either the
  // pin it was made under (the text is the pinned one while that pin stands), or 0 and a
  // copy of its text.
  std::uint64_t passSerial = 0;
  std::uint64_t passPin = 0;
  std::string passText;
  // The text pinned now, and its pin's number (0 while none stands; each pin a new one).
  std::string_view pinned;
  std::uint64_t pin = 0;
  std::uint64_t lastPin = 0;
};

class TextScan {
 public:
  static constexpr std::uint32_t kAbsent = 0xFFFFFFFFu;
  // Longer texts are left to the literal algorithm (positions here are 32-bit).
  static constexpr std::size_t kMaxText = 0x7FFFFFF0u;

  // Scans `text` (or reuses the context's last pass over the same bytes with the same set).
  // `text` must be non-empty and at most kMaxText bytes. One TextScan per context at a time.
  TextScan(const RuleTable& table, std::string_view text, ScanContext& context);
  TextScan(const TextScan&) = delete;
  TextScan& operator=(const TextScan&) = delete;

  // First byte-wise occurrence of a pattern in the text as it now stands, or kAbsent. The
  // empty pattern occurs at 0.
  std::uint32_t First(std::uint32_t pattern) const {
    if (pattern == RuleTable::kEmptyPattern) return 0;
    if (s_.stamp[pattern] != s_.generation) return kAbsent;
    const std::uint32_t first = s_.first[pattern];
    return IsPending(first) ? Resolve(pattern) : first;
  }
  // The short-word check as it stood for the scanned text: patterns of more than 2 bytes
  // always pass; shorter ones pass when an occurrence starts on a character boundary.
  bool PassesShortWordCheck(std::uint32_t pattern) const {
    if (pattern == RuleTable::kEmptyPattern || table_.Pattern(pattern).size() > 2) return true;
    return s_.stamp[pattern] == s_.generation && s_.charAware[pattern] != 0;
  }
  bool Occurs(std::uint32_t pattern) const {
    return First(pattern) != kAbsent && PassesShortWordCheck(pattern);
  }

  // Patterns that occurred at some point during this pass (some may be absent by now).
  std::span<const std::uint32_t> Seen() const { return s_.seen; }

  // A rule bitset cleared for this call, one bit per rule of the table.
  std::vector<std::uint64_t>& Candidates() { return s_.candidates; }

  // A change of text[begin, end) in two calls around it. Before: notes the patterns of this
  // table whose first occurrence overlaps the bytes about to change, found by rescanning only
  // the bytes around them. After, with the changed text: brings those first occurrences and
  // every new one up to date; `onAppeared` is called for each pattern that was absent and
  // occurs now. Only the patterns this table reads are kept up to date (a shared pass has
  // many more).
  void BeforeChange(std::string_view text, std::size_t begin, std::size_t end);
  template <class OnAppeared>
  void Update(std::string_view text, std::size_t begin, std::size_t end, OnAppeared&& onAppeared);

 private:
  void ScanWhole(std::string_view text);
  // Whether the pin standing now is over exactly `text` (same data and size).
  bool PinnedIs(std::string_view text) const;
  void Record(std::uint32_t pattern, std::uint32_t at);
  // The offsets where the first occurrence of a pattern this table reads may start, kept from
  // the first change on: a change whose window holds none of them breaks no first occurrence,
  // and one that holds some need look only there. Offsets that are no longer first stay.
  void KeepFirstStarts(std::size_t size);
  void MayBeFirstAt(std::uint32_t at) const {
    if (firstsKept_) s_.firstStarts[at >> 6] |= std::uint64_t{1} << (at & 63);
  }
  // Where the occurrences that may overlap a change at `begin` can start: no further back than
  // this table's longest pattern.
  std::size_t WindowStart(std::size_t begin) const;
  // Fills s_.around with the occurrences that may overlap text[begin, end): those that start
  // from WindowStart(begin) on.
  void CollectAround(std::string_view text, std::size_t begin, std::size_t end);

  // A change may break a pattern's first occurrence. Its next one is looked for only when
  // asked about: most patterns are not asked about again (a replace list asks about the keys
  // after the one it is at). Until then the entry holds kPending and the offset from which
  // to look: no occurrence starts before it, but those that a later change made, which are
  // recorded.
  //
  // The next one is not searched for in the text: a page with many replacements asks about
  // hundreds of broken words, and a search runs on to the end of the text for each one that
  // does not come again. Every occurrence in the text is either one the pass found that no
  // change has touched since, or one that the last change overlapping it made, which Update
  // saw in its window; both are kept by pattern, and the first of them that still stands is
  // the next one.
  static constexpr std::uint32_t kPending = 0x80000000u;
  static bool IsPending(std::uint32_t first) { return first != kAbsent && (first & kPending) != 0; }
  std::uint32_t Resolve(std::uint32_t pattern) const;
  // This scan's lists of `pattern`, empty the first time they are asked for.
  ScanContext::State::Lists& ListsOf(std::uint32_t pattern) const;
  // Lists the pass's occurrences of the patterns this table reads by pattern (once).
  void KeepPassed() const;

  const RuleTable& table_;
  ScanContext::State& s_;
  bool changed_ = false;          // the text has changed since the pass
  bool firstsKept_ = false;       // s_.firstStarts is up to date
  std::string_view changedText_;  // the text as the last Update saw it
  // The pass's occurrences of this table's patterns, listed at the first Resolve, and those
  // that changes made (s_.passed and s_.made), under a serial of this scan's own.
  mutable std::uint32_t listSerial_ = 0;
  mutable bool passedKept_ = false;
};

template <class OnAppeared>
void TextScan::Update(std::string_view text, std::size_t begin, std::size_t end,
                      OnAppeared&& onAppeared) {
  // A first occurrence that overlapped the change may be gone: the next one can only lie
  // after it (nothing before the change moved).
  for (std::uint32_t pattern : s_.touched) {
    const std::uint32_t at = s_.first[pattern];
    if (at == kAbsent) continue;
    const std::string_view bytes = table_.Pattern(pattern);
    if (at >= end || at + bytes.size() <= begin) continue;
    if (text.compare(at, bytes.size(), bytes) == 0) continue;
    s_.first[pattern] = kPending | (at + 1);
  }
  changedText_ = text;
  // New occurrences can only overlap the change; they may come before the recorded first.
  // Those of patterns this table does not read are of no interest, and may be missed. So
  // bytes that none of those patterns holds (the "*" of a rule's overwrite, as a rule) make
  // none.
  bool mayMake = false;
  for (std::size_t at = begin; at < end && !mayMake; ++at) {
    mayMake = table_.UsedHolds(static_cast<unsigned char>(text[at]));
  }
  if (!mayMake) return;
  const Automaton& automaton = table_.Scanner();
  CollectAround(text, begin, end);
  for (const Automaton::Output& output : s_.around) {
    const std::uint32_t stop = output.end;
    if (stop <= begin) continue;  // ends before the change: it stands as it was
    const std::uint32_t pattern = automaton.OwnPattern(output.state);
    const auto at = static_cast<std::uint32_t>(stop - table_.Pattern(pattern).size());
    if (table_.Uses(pattern)) {
      ScanContext::State::Lists& lists = ListsOf(pattern);
      s_.made.push_back({at, lists.madeHead});
      lists.madeHead = static_cast<std::uint32_t>(s_.made.size() - 1);
      MayBeFirstAt(at);
    }
    if (s_.stamp[pattern] != s_.generation) {
      Record(pattern, at);
      onAppeared(pattern);
    } else if (s_.first[pattern] == kAbsent) {
      s_.first[pattern] = at;
      onAppeared(pattern);
    } else if (IsPending(s_.first[pattern])) {
      // It may have been absent since the change that broke its first occurrence.
      if (at < (s_.first[pattern] & ~kPending)) s_.first[pattern] = at;
      onAppeared(pattern);
    } else if (at < s_.first[pattern]) {
      s_.first[pattern] = at;
    }
  }
}

}  // namespace orv::keywords
