#include "keywords/text_scan.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/codepage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orv::keywords {

namespace {

// Texts up to this size are kept for reuse; a larger one is scanned afresh each time rather
// than pinned in the memory of every idle context.
constexpr std::size_t kReusableText = std::size_t{4} << 20;

// The same bytes by identity, not by content: a pin is about one place in memory.
bool SameSpan(std::string_view pinned, std::string_view text) {
  return pinned.data() == text.data() && pinned.size() == text.size();
}

// The first character start of code page 936 at or after `at`, walking from `boundary`, a
// character start at or before it. The walk is serial, a byte or two a step, and crosses most
// of a page when a short word occurs late; whole runs of sixteen bytes are passed at once
// where that is certain: bytes below 0x80 are characters of their own, and sixteen lead bytes
// in a row from a character start are eight characters of two bytes.
std::size_t NextBoundary(const unsigned char* bytes, std::size_t boundary, std::size_t at) {
  while (boundary < at) {
    if (at - boundary >= 16) {
#if defined(__SSE2__)
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + boundary));
      const auto high = static_cast<unsigned>(_mm_movemask_epi8(chunk));
      if (high == 0) {
        boundary += 16;
        continue;
      }
      if (high != 0xFFFF) {
        // The ASCII before the first high byte; the step below takes that byte's character.
        boundary += static_cast<unsigned>(std::countr_zero(high));
      } else {
        // Every byte 0x81 to 0xFE: (b - 0x81) wraps above 0x7D for the others.
        const __m128i offset = _mm_sub_epi8(chunk, _mm_set1_epi8(static_cast<char>(0x81)));
        const __m128i top = _mm_set1_epi8(0x7D);
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(offset, top), top)) == 0xFFFF) {
          boundary += 16;
          continue;
        }
      }
#else
      std::uint64_t word;
      std::memcpy(&word, bytes + boundary, 8);
      if ((word & 0x8080808080808080u) == 0) {
        boundary += 8;
        continue;
      }
#endif
    }
    boundary += codepage::IsLeadByte(bytes[boundary]) ? 2 : 1;
  }
  return boundary;
}

}  // namespace

ScanContext::ScanContext() : state_(std::make_unique<State>()) {}
ScanContext::~ScanContext() = default;

void ScanContext::PinText(std::string_view text) {
  state_->pinned = text;
  state_->pin = ++state_->lastPin;
}

void ScanContext::MovePin(std::string_view copy) {
  if (state_->pin == 0 || copy.size() != state_->pinned.size()) return;
  state_->pinned = copy;
}

void ScanContext::UnpinText() {
  // A pass made under the pin is not reused once it has ended: the text may change now.
  state_->pinned = {};
  state_->pin = 0;
}

std::uint32_t ScanContext::Passes() const {
  return state_->generation;
}

TextScan::TextScan(const RuleTable& table, std::string_view text, ScanContext& context)
    : table_(table), s_(context.state()) {
  s_.candidates.assign(table.rules.size() / 64 + 1, 0);
  if (s_.passSerial == table.Set().serial) {
    if (s_.passPin == 0) {
      if (s_.passText == text) return;
    } else if (s_.passPin == s_.pin && PinnedIs(text)) {
      return;
    }
  }
  ScanWhole(text);
}

bool TextScan::PinnedIs(std::string_view text) const {
  return s_.pin != 0 && SameSpan(s_.pinned, text);
}

void TextScan::BeforeChange(std::string_view text, std::size_t begin, std::size_t end) {
  if (!changed_) {
    // From now on the arrays no longer describe the text that was scanned. No later call may
    // reuse them, whether the pass was kept by a copy or under a pin.
    s_.passSerial = 0;
    changed_ = true;
  }
  // An occurrence that overlaps the change lies within reach of it, so a look at the starts
  // there finds every first occurrence the change can break; looking at every pattern the
  // table reads instead would cost their number for each change, and a page with many
  // replacements makes many changes.
  s_.touched.clear();
  if (!firstsKept_) KeepFirstStarts(text.size());
  const Automaton& automaton = table_.Scanner();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t from = WindowStart(begin);
  for (std::size_t word = from >> 6; word * 64 < end; ++word) {
    std::uint64_t starts = s_.firstStarts[word];
    if (word == from >> 6) starts &= ~std::uint64_t{0} << (from & 63);
    for (; starts != 0; starts &= starts - 1) {
      const std::size_t start = word * 64 + static_cast<std::size_t>(std::countr_zero(starts));
      if (start >= end) break;
      automaton.CollectStarts(bytes, text.size(), start, start + 1, s_.around);
      for (const Automaton::Output& output : s_.around) {
        const std::uint32_t pattern = automaton.OwnPattern(output.state);
        if (output.end > begin && table_.Uses(pattern) && s_.stamp[pattern] == s_.generation &&
            s_.first[pattern] == start) {
          s_.touched.push_back(pattern);
        }
      }
    }
  }
}

void TextScan::KeepFirstStarts(std::size_t size) {
  firstsKept_ = true;
  s_.firstStarts.assign(size / 64 + 1, 0);
  for (std::uint32_t pattern : s_.seen) {
    const std::uint32_t first = s_.first[pattern];
    if (table_.Uses(pattern) && first != kAbsent && !IsPending(first)) MayBeFirstAt(first);
  }
}

std::size_t TextScan::WindowStart(std::size_t begin) const {
  const std::size_t reach = table_.LongestUsed();
  return begin > reach ? begin - reach + 1 : 0;
}

void TextScan::CollectAround(std::string_view text, std::size_t begin, std::size_t end) {
  table_.Scanner().CollectStarts(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                                 WindowStart(begin), end, s_.around);
}

ScanContext::State::Lists& TextScan::ListsOf(std::uint32_t pattern) const {
  if (listSerial_ == 0) {
    // The first lists of this scan: the context's lists are free (one scan per context).
    if (++s_.listSerial == 0) {
      for (ScanContext::State::Lists& lists : s_.lists) lists.serial = 0;
      s_.listSerial = 1;
    }
    listSerial_ = s_.listSerial;
    s_.passed.clear();
    s_.made.clear();
    if (s_.lists.size() < table_.PatternCount()) s_.lists.resize(table_.PatternCount());
  }
  ScanContext::State::Lists& lists = s_.lists[pattern];
  if (lists.serial != listSerial_) lists = {listSerial_, kAbsent, kAbsent, kAbsent};
  return lists;
}

void TextScan::KeepPassed() const {
  passedKept_ = true;
  const Automaton& automaton = table_.Scanner();
  // A pattern's occurrences come in order of their start, first the single ones and then
  // those the pass's outputs stand for, so appending keeps each pattern's list in order.
  const auto keep = [&](std::uint32_t state, std::uint32_t end) {
    const std::uint32_t p = automaton.OwnPattern(state);
    if (!table_.Uses(p)) return;
    ScanContext::State::Lists& lists = ListsOf(p);
    const auto index = static_cast<std::uint32_t>(s_.passed.size());
    s_.passed.push_back({end - static_cast<std::uint32_t>(table_.Pattern(p).size()), kAbsent});
    if (lists.passHead == kAbsent) {
      lists.passHead = index;
    } else {
      s_.passed[lists.passTail].next = index;
    }
    lists.passTail = index;
  };
  const Automaton::Output* const chainFrom = s_.outputs.begin() + s_.outputs.ChainFrom();
  for (const Automaton::Output* output = s_.outputs.begin(); output != s_.outputs.end(); ++output) {
    if (output < chainFrom) {
      keep(output->state, output->end);
      continue;
    }
    for (std::uint32_t s = automaton.FirstOutput(output->state); s != Automaton::kNone;
         s = automaton.OutputLink(s)) {
      keep(s, output->end);
    }
  }
}

std::uint32_t TextScan::Resolve(std::uint32_t pattern) const {
  if (!passedKept_) KeepPassed();
  const std::string_view bytes = table_.Pattern(pattern);
  const auto stands = [&](std::uint32_t at) {
    return changedText_.compare(at, bytes.size(), bytes) == 0;
  };
  const std::uint32_t from = s_.first[pattern] & ~kPending;
  ScanContext::State::Lists& lists = ListsOf(pattern);
  // The pass's occurrences before `from` are gone for good: one that a later change brings
  // back is one that change made, and it is listed with those. So the list is cut there, and
  // a pattern that many replacements take one occurrence at a time is walked only once.
  std::uint32_t entry = lists.passHead;
  while (entry != kAbsent && s_.passed[entry].start < from) entry = s_.passed[entry].next;
  lists.passHead = entry;
  std::uint32_t next = kAbsent;
  for (; entry != kAbsent; entry = s_.passed[entry].next) {
    if (stands(s_.passed[entry].start)) {
      next = s_.passed[entry].start;
      break;
    }
  }
  for (std::uint32_t made = lists.madeHead; made != kAbsent; made = s_.made[made].next) {
    const std::uint32_t at = s_.made[made].start;
    if (at >= from && at < next && stands(at)) next = at;
  }
  s_.first[pattern] = next;
  if (next != kAbsent) MayBeFirstAt(next);
  return next;
}

void TextScan::Record(std::uint32_t pattern, std::uint32_t at) {
  s_.stamp[pattern] = s_.generation;
  s_.first[pattern] = at;
  s_.charAware[pattern] = 0;
  s_.seen.push_back(pattern);
}

void TextScan::ScanWhole(std::string_view text) {
  if (++s_.generation == 0) {
    // Wrapped after 2^32 passes: forget every stamp once.
    std::fill(s_.stamp.begin(), s_.stamp.end(), 0);
    std::fill(s_.stateStamp.begin(), s_.stateStamp.end(), 0);
    s_.generation = 1;
  }
  const std::size_t patterns = table_.PatternCount();
  if (s_.stamp.size() < patterns) {
    s_.stamp.resize(patterns, 0);
    s_.first.resize(patterns, 0);
    s_.charAware.resize(patterns, 0);
  }
  const Automaton& automaton = table_.Scanner();
  if (s_.stateStamp.size() < automaton.StateCount()) {
    s_.stateStamp.resize(automaton.StateCount(), 0);
  }
  s_.seen.clear();

  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  // The next character start at or after the last short occurrence asked about. Short
  // occurrences are collected in order of their start (within a pass's chain, the ends grow
  // and at one end the chain goes from long to short), so the cursor only moves forward.
  std::size_t boundary = 0;
  // Records one occurrence; false while a short one is not known on a boundary yet.
  const auto record = [&](std::uint32_t pattern, std::size_t stop) {
    const std::size_t length = table_.Pattern(pattern).size();
    const auto at = static_cast<std::uint32_t>(stop - length);
    if (s_.stamp[pattern] != s_.generation) Record(pattern, at);
    if (length > 2 || s_.charAware[pattern] != 0) return true;
    boundary = NextBoundary(bytes, boundary, at);
    if (boundary != at) return false;
    s_.charAware[pattern] = 1;
    return true;
  };
  automaton.CollectOutputs(bytes, text.size(), s_.outputs);
  const Automaton::Output* const chainFrom = s_.outputs.begin() + s_.outputs.ChainFrom();
  for (const Automaton::Output* output = s_.outputs.begin(); output != chainFrom; ++output) {
    record(automaton.OwnPattern(output->state), output->end);
  }
  // A pass's state is settled once every pattern of its chain is recorded and, if short,
  // known to occur on a character boundary: later outputs there can change nothing.
  for (const Automaton::Output* output = chainFrom; output != s_.outputs.end(); ++output) {
    const auto [state, stop] = *output;
    if (s_.stateStamp[state] == s_.generation) continue;
    bool settled = true;
    for (std::uint32_t s = automaton.FirstOutput(state); s != Automaton::kNone;
         s = automaton.OutputLink(s)) {
      if (s != state && s_.stateStamp[s] == s_.generation) break;
      if (!record(automaton.OwnPattern(s), stop)) settled = false;
    }
    if (settled) s_.stateStamp[state] = s_.generation;
  }

  if (PinnedIs(text)) {
    // The pin keeps the text as it is: nothing to copy, and no size limit either.
    s_.passSerial = table_.Set().serial;
    s_.passPin = s_.pin;
  } else if (text.size() <= kReusableText) {
    s_.passSerial = table_.Set().serial;
    s_.passPin = 0;
    s_.passText.assign(text);
  } else {
    s_.passSerial = 0;
    s_.passPin = 0;
    s_.passText = std::string();
  }
}

}  // namespace orv::keywords
