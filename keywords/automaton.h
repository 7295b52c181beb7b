// A multi-pattern byte automaton (Aho-Corasick) built once and then only read, so any number
// of threads may scan with it at once.
//
// States are numbered breadth-first. The shallow states, where a scan spends nearly all its
// time, get complete transition rows (one entry per byte class), so a step is one table
// load. Deeper states keep only their own edges and fall back along failure links to a row;
// that keeps long dictionaries within a memory budget. Bytes that occur in no pattern share
// one class.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "keywords/table_allocator.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orv::keywords {

class Automaton {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

  Automaton();
  // Pattern i keeps id i. Empty patterns are left out (they occur everywhere and the caller
  // knows it); duplicates must not be passed. `denseBudgetBytes` caps the complete rows.
  Automaton(const std::vector<std::string_view>& patterns, std::size_t denseBudgetBytes);

  // Whether automata built from now on may take the starts eight at a time where the
  // processor can (the default), or must keep to the portable round: tests hold both to the
  // same answers.
  static void AllowWideStarts(bool allowed);

  std::size_t MemoryBytes() const;
  std::size_t StateCount() const { return ownPattern_.size(); }
  std::size_t MaxPatternLength() const { return maxLength_; }

  // The pattern that ends exactly at `state` (kNone if none), and the next shorter state on
  // the suffix chain that has one. Walking own -> link -> link visits every pattern ending
  // at a position, longest first.
  std::uint32_t OwnPattern(std::uint32_t state) const { return ownPattern_[state]; }
  std::uint32_t OutputLink(std::uint32_t state) const { return outputLink_[state]; }
  // The first state of that walk: `state` itself when a pattern ends there, else its link.
  std::uint32_t FirstOutput(std::uint32_t state) const {
    return ownPattern_[state] != kNone ? state : outputLink_[state];
  }

  // A position after which some pattern ends, and the state the automaton is in there.
  struct Output {
    std::uint32_t state;
    std::uint32_t end;
  };
  // The outputs of one search, in two runs: first single occurrences (the state names one
  // pattern, OwnPattern), then from ChainFrom() on outputs of a pass, which stand for the
  // whole suffix chain of their state (FirstOutput, OutputLink). Its room is reused from
  // call to call.
  class OutputBuffer {
   public:
    const Output* begin() const { return data_.data(); }
    const Output* end() const { return data_.data() + data_.size(); }
    std::size_t size() const { return data_.size(); }
    std::size_t ChainFrom() const { return chainFrom_; }

   private:
    friend class Automaton;
    std::vector<Output> data_;
    std::size_t chainFrom_ = 0;
  };

  // Every occurrence of a pattern in text[0, size), each once (see OutputBuffer), at most
  // about two outputs per byte of text whatever the patterns. A pattern's occurrences come
  // in order, and so do the starts of all occurrences of patterns of at most two bytes.
  // `size` must be below 2^32.
  void CollectOutputs(const unsigned char* text, std::size_t size, OutputBuffer& out) const;

  // The occurrences that start in text[from, to), single ones (OwnPattern names each), in
  // order of their start. For a few bytes around a change: the start index is small enough to
  // stay in the nearer caches, where a pass of the automaton would load transition rows from
  // all over its tables.
  void CollectStarts(const unsigned char* text, std::size_t size, std::size_t from, std::size_t to,
                     OutputBuffer& out) const;

  // Runs from the start state over text[begin, end) and calls onOutput(state, end) after
  // every byte at which at least one pattern ends; `end` is the offset just past that byte.
  template <class OnOutput>
  void Scan(const unsigned char* text, std::size_t begin, std::size_t end,
            OnOutput&& onOutput) const {
    const std::uint8_t* classes = classOf_.data();
    const std::uint32_t* rows = dense_.data();
    std::uint32_t at = 0;  // the row of the current state (the start state's is first)
    std::size_t i = begin;
    while (i < end) {
      if (at == 0) {
        i = SkipAtStart(text, i, end);
        if (i == end) return;
      }
      std::uint32_t next = rows[at + classes[text[i++]]];
      if ((next & kSpecial) == 0) {
        at = next;
        continue;
      }
      // An output, or a state without a row: follow edges until a row takes over again.
      for (;;) {
        const std::uint32_t state = next & kStateMask;
        if (next & kHasOutput) onOutput(state, i);
        if (state < denseStates_) {
          at = state * classCount_;
          break;
        }
        if (i == end) return;
        next = SparseNext(state, classes[text[i++]]);
        if ((next & kSpecial) == 0) {
          at = next;
          break;
        }
      }
    }
  }

 private:
  // A transition is stored in one of two forms. Plain: the offset of the target's row in
  // dense_, when the target has a row and no pattern ends there; the common step is then a
  // single load with no multiply. Special: the target's id with kSpecial set, and
  // kHasOutput when some pattern ends there.
  static constexpr std::uint32_t kSpecial = 0x80000000u;
  static constexpr std::uint32_t kHasOutput = 0x40000000u;
  static constexpr std::uint32_t kStateMask = 0x3FFFFFFFu;

  // The transition out of a state without a row, in the stored form.
  std::uint32_t SparseNext(std::uint32_t state, std::uint32_t cls) const;

  void SetStartSkips();
  // The patterns indexed by the bytes they start with, in one or two tiers (see GramTier).
  void SetGramTiers(const std::vector<std::string_view>& patterns);

  struct GramTier;
  // The first `length` bytes at `text` as a number (fewer when `available` is less; such a
  // gram is never looked up).
  static std::uint64_t Gram(const unsigned char* text, std::size_t available, std::size_t length);
  // A mask of the low `bytes` bytes of a gram (0 to 8).
  static std::uint64_t LowBytes(std::size_t bytes) {
    return bytes >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * bytes)) - 1;
  }
  static std::uint64_t GramHash(std::uint64_t gram) { return gram * kGramHash; }
  static constexpr std::uint64_t kGramHash = 0x9E3779B97F4A7C15u;
  // The start bitmaps' hash: each half of the gram multiplied in 32 bits, so that eight
  // starts can be hashed at once with vector instructions (see WideStarts).
  static std::uint32_t BitHash(std::uint64_t gram) {
    return static_cast<std::uint32_t>(gram) * kBitHashLow ^
           static_cast<std::uint32_t>(gram >> 32) * kBitHashHigh;
  }
  static constexpr std::uint32_t kBitHashLow = 0x9E3779B1u;
  static constexpr std::uint32_t kBitHashHigh = 0x85EBCA77u;

  // The occurrences that start at `from` of the patterns of one tier, whose gram at `from`
  // and its hash are given, shortest first: the patterns of the gram's group whose rest
  // follows it. Returns the work done, in steps of the budget.
  std::size_t ConfirmAt(const GramTier& tier, const unsigned char* text, std::size_t from,
                        std::size_t end, std::uint64_t gram, std::uint64_t hash,
                        OutputBuffer& out) const;
  // The starts of a full block (64 of them, with 72 bytes to read from `block`) whose gram
  // each tier's bitmap lets through, computed eight at a time with AVX2; only called when
  // the processor has it (wide_).
  // Groups of eight starts without a candidate among them are left out.
  void WideStarts(const unsigned char* block, std::uint64_t candidates, std::uint64_t& passedLong,
                  std::uint64_t& passedShort) const;
  static constexpr int kWideFrom = 12;  // candidates in a block
  // std::popcount in a few instructions: built for any x86-64, it is a library call.
  static int CountBits(std::uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555u;
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<int>((x * 0x0101010101010101u) >> 56);
  }
  static bool WideStartsRun();
  // Bit k set for the bytes text[k] (k < count <= 64) that may lead out of the start state:
  // every one that does, and with SSE2 in a full block, others of the range as well.
  std::uint64_t StartCandidates(const unsigned char* text, std::size_t count) const;
  // A sparse state's own edge for a class, in the stored form, or kNone.
  std::uint32_t SparseChild(std::uint32_t state, std::uint32_t cls) const;

  // The first offset in [from, end) whose byte leads out of the start state, or end. Pages
  // are mostly markup that starts no pattern, and in UTF-8 text two bytes of every three
  // continue a character; in the start state such bytes are passed over without table steps.
  std::size_t SkipAtStart(const unsigned char* text, std::size_t from, std::size_t end) const {
    if (!anyStart_) return end;
    std::size_t i = from;
#if defined(__SSE2__)
    // Thirty-two bytes a step where the target has SSE2: one compare finds the bytes within
    // [startLow_, startHigh_], the range of the bytes that start some pattern, and only those
    // are looked up. For dictionaries of Chinese words the range holds the lead bytes of their
    // characters but neither ASCII nor UTF-8 trail bytes, so a step passes over markup and the
    // rest of a character alike. (x - low) wraps below low, so one unsigned compare with the
    // span tells the range.
    const __m128i low = _mm_set1_epi8(static_cast<char>(startLow_));
    const __m128i span = _mm_set1_epi8(static_cast<char>(startHigh_ - startLow_));
    const auto inRange = [&](const unsigned char* at) {
      const __m128i offset =
          _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), low);
      return static_cast<std::uint32_t>(
          _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(offset, span), span)));
    };
    for (; end - i >= 32; i += 32) {
      std::uint32_t mask = inRange(text + i) | inRange(text + i + 16) << 16;
      for (; mask != 0; mask &= mask - 1) {
        const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(mask));
        if (!staysAtStart_[text[at]]) return at;
      }
    }
#else
    // Elsewhere eight bytes a step over ASCII runs when no ASCII byte starts anything.
    if constexpr (std::endian::native == std::endian::little) {
      while (asciiStays_ && end - i >= 8) {
        std::uint64_t word;
        std::memcpy(&word, text + i, 8);
        const std::uint64_t high = word & 0x8080808080808080u;
        if (high == 0) {
          i += 8;
          continue;
        }
        i += static_cast<std::size_t>(std::countr_zero(high)) / 8;  // the first high byte
        if (!staysAtStart_[text[i]]) return i;
        ++i;
      }
    }
#endif
    for (; i < end; ++i) {
      if (!staysAtStart_[text[i]]) return i;
    }
    return end;
  }

  std::array<std::uint8_t, 256> classOf_{};
  // Patterns grouped by their first `length` bytes (their gram). A tier's start bitmap has
  // bit BitHash(gram) >> shift set for the gram of each of its patterns; its groups sit
  // in an open-addressed table by gram, each group shortest first. Where the bitmap lets a
  // gram through, its group is all that can start there: telling which of them do takes a
  // lookup and a compare of the bytes after the gram, a few hundred kilobytes in all for a
  // dictionary the transition rows hold in megabytes, where a walk down the trie would miss
  // the cache at nearly every level.
  //
  // A gram can be no longer than the shortest pattern of its tier. One word of a character
  // or two among thousands of longer ones would make every gram that short, and the bitmap
  // and the groups would tell little: "th" starts hundreds of English words, a common
  // character as many Chinese ones. So patterns of fewer than kLongGram bytes, when there
  // are longer ones too, get a tier of their own.
  static constexpr std::size_t kLongGram = 4;
  struct GramGroup {
    std::uint64_t gram = 0;
    std::uint32_t begin = 0;  // its first member; the group runs to the member marked last
    // Bit (b & 31) set for the byte b that follows the gram in some member; every bit when a
    // member is the gram alone, and none in an empty slot. Where a text holds a gram often but
    // none of the words that begin with it (the first letters of many English words, a common
    // character), the byte after it tells so without a look at the members.
    std::uint32_t nexts = 0;
  };
  struct GramMember {
    std::uint32_t state;        // where the pattern ends (OwnPattern names it)
    std::uint32_t length : 31;  // of the whole pattern
    std::uint32_t last : 1;     // the group's last member
    // Its first eight bytes after the gram (fewer when it has fewer), as Gram reads them: one
    // masked compare tells most members from the text, as a word's last character or two
    // are all there is after its gram. Bytes beyond those eight are at rest[tail[member]].
    std::uint64_t head;
  };
  struct GramTier {
    std::size_t length = 0;  // 1 to 8; 0 for a tier without patterns
    unsigned shift = 31;     // of BitHash, to the bitmap's size
    std::vector<std::uint64_t> bits;
    std::vector<GramGroup> groups;
    unsigned groupShift = 63;
    std::vector<GramMember> members;
    std::vector<std::uint32_t> tail;  // by member; read only for members longer than that
    std::vector<unsigned char> rest;

    bool MayStart(std::uint64_t gram) const {
      const std::uint32_t bit = BitHash(gram) >> shift;
      return ((bits[bit >> 6] >> (bit & 63)) & 1) != 0;
    }
    std::size_t MemoryBytes() const {
      return bits.capacity() * sizeof(std::uint64_t) + groups.capacity() * sizeof(GramGroup) +
             members.capacity() * sizeof(GramMember) + tail.capacity() * sizeof(std::uint32_t) +
             rest.capacity();
    }
  };
  // The long tier, and the short one (length 0 when all patterns are in the first).
  std::array<GramTier, 2> tiers_;
  std::array<bool, 256> staysAtStart_{};  // the byte leads from the start state back to it
  bool asciiStays_ = false;               // ... and so does every byte below 0x80
  bool anyStart_ = false;                 // some byte does not
  bool wide_ = false;                     // WideStarts can run here
  unsigned char startLow_ = 0;            // the least and greatest bytes that do not
  unsigned char startHigh_ = 0;
  std::uint32_t classCount_ = 1;
  std::uint32_t denseStates_ = 1;
  std::size_t maxLength_ = 0;
  // denseStates_ rows of classCount_ targets: the bulk of the memory and of a scan's loads.
  std::vector<std::uint32_t, TableAllocator<std::uint32_t>> dense_;
  // Sparse states (ids >= denseStates_), indexed by id - denseStates_.
  std::vector<std::uint32_t> edgeStart_;
  std::vector<std::uint8_t> edgeClass_;
  std::vector<std::uint32_t> edgeTarget_;
  std::vector<std::uint32_t> sparseFail_;
  // Every state.
  std::vector<std::uint32_t> ownPattern_;
  std::vector<std::uint32_t> outputLink_;
};

}  // namespace orv::keywords
