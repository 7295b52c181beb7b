#include "keywords/automaton.h"

#include <algorithm>
#include <utility>

namespace orv::keywords {

namespace {

// The trie as it is built, before states are renumbered breadth-first.
struct TrieNode {
  std::vector<std::pair<std::uint8_t, std::uint32_t>> children;  // by byte class
  std::uint32_t pattern = Automaton::kNone;
};

std::uint32_t ChildOf(const TrieNode& node, std::uint8_t cls) {
  for (const auto& [c, child] : node.children) {
    if (c == cls) return child;
  }
  return Automaton::kNone;
}

}  // namespace

Automaton::Automaton() : dense_(1, 0), ownPattern_(1, kNone), outputLink_(1, kNone) {
  SetStartSkips();
}

Automaton::Automaton(const std::vector<std::string_view>& patterns, std::size_t denseBudgetBytes) {
  // Byte classes: every byte that occurs in a pattern is its own class, all others share 0.
  std::array<bool, 256> used{};
  for (std::string_view p : patterns) {
    for (char c : p) used[static_cast<unsigned char>(c)] = true;
    maxLength_ = std::max(maxLength_, p.size());
  }
  // With every byte in use there is no shared class, and the classes are the bytes.
  const bool allUsed = std::find(used.begin(), used.end(), false) == used.end();
  classCount_ = allUsed ? 0 : 1;
  for (int b = 0; b < 256; ++b) {
    classOf_[b] = used[b] ? static_cast<std::uint8_t>(classCount_++) : 0;
  }

  std::vector<TrieNode> trie(1);
  for (std::uint32_t id = 0; id < patterns.size(); ++id) {
    if (patterns[id].empty()) continue;
    std::uint32_t node = 0;
    for (char c : patterns[id]) {
      const std::uint8_t cls = classOf_[static_cast<unsigned char>(c)];
      std::uint32_t child = ChildOf(trie[node], cls);
      if (child == kNone) {
        child = static_cast<std::uint32_t>(trie.size());
        trie[node].children.emplace_back(cls, child);
        trie.emplace_back();
      }
      node = child;
    }
    trie[node].pattern = id;
  }

  // Breadth-first numbering: a state's failure target is always shallower, so it is numbered
  // (and its row computed) before the state itself.
  const std::uint32_t count = static_cast<std::uint32_t>(trie.size());
  std::vector<std::uint32_t> order;  // new id -> trie node
  order.reserve(count);
  std::vector<std::uint32_t> newId(count, kNone);
  order.push_back(0);
  newId[0] = 0;
  for (std::size_t head = 0; head < order.size(); ++head) {
    auto& children = trie[order[head]].children;
    std::sort(children.begin(), children.end());
    for (const auto& [cls, child] : children) {
      newId[child] = static_cast<std::uint32_t>(order.size());
      order.push_back(child);
    }
  }

  const std::size_t rowBytes = std::size_t{classCount_} * sizeof(std::uint32_t);
  // Row offsets and state ids must stay clear of the marks of the stored form.
  const std::size_t rowCap = (std::size_t{kSpecial} - 1) / classCount_;
  denseStates_ = static_cast<std::uint32_t>(
      std::clamp<std::size_t>(std::min(denseBudgetBytes / rowBytes, rowCap), 1, count));

  std::vector<std::uint32_t> fail(count, 0);
  ownPattern_.assign(count, kNone);
  outputLink_.assign(count, kNone);
  dense_.assign(std::size_t{denseStates_} * classCount_, 0);
  edgeStart_.assign(count - denseStates_ + 1, 0);

  // goto(s, c) where it exists, else delta(fail(s), c): the complete transition function.
  // While rows are being filled they hold plain target ids; the stored form comes after.
  auto delta = [&](std::uint32_t state, std::uint8_t cls) {
    for (;;) {
      if (state < denseStates_) return dense_[std::size_t{state} * classCount_ + cls];
      const std::uint32_t child = ChildOf(trie[order[state]], cls);
      if (child != kNone) return newId[child];
      state = fail[state];
    }
  };
  auto hasOutput = [&](std::uint32_t state) {
    return ownPattern_[state] != kNone || outputLink_[state] != kNone;
  };

  for (std::uint32_t s = 0; s < count; ++s) {
    const TrieNode& node = trie[order[s]];
    ownPattern_[s] = node.pattern;
    if (s != 0) {
      const std::uint32_t f = fail[s];
      outputLink_[s] = ownPattern_[f] != kNone ? f : outputLink_[f];
    }
    // Failure targets of the children: the longest proper suffix that is a trie state.
    for (const auto& [cls, child] : node.children) {
      fail[newId[child]] = s == 0 ? 0 : delta(fail[s], cls);
    }
    if (s < denseStates_) {
      std::uint32_t* row = &dense_[std::size_t{s} * classCount_];
      for (std::uint32_t c = 0; c < classCount_; ++c) {
        const std::uint32_t child = ChildOf(node, static_cast<std::uint8_t>(c));
        row[c] = child != kNone ? newId[child]
                                : (s == 0 ? 0 : delta(fail[s], static_cast<std::uint8_t>(c)));
      }
    }
  }
  // The stored form needs every state's links, so it is made in a second pass.
  auto stored = [&](std::uint32_t target) {
    if (target < denseStates_ && !hasOutput(target)) return target * classCount_;
    return target | kSpecial | (hasOutput(target) ? kHasOutput : 0);
  };
  for (std::uint32_t& target : dense_) target = stored(target);
  for (std::uint32_t s = denseStates_; s < count; ++s) {
    const TrieNode& node = trie[order[s]];
    for (const auto& [cls, child] : node.children) {
      edgeClass_.push_back(cls);
      edgeTarget_.push_back(stored(newId[child]));
    }
    edgeStart_[s - denseStates_ + 1] = static_cast<std::uint32_t>(edgeClass_.size());
    sparseFail_.push_back(fail[s]);
  }
  SetStartSkips();
  SetGramTiers(patterns);
  wide_ = WideStartsRun();
  edgeClass_.shrink_to_fit();
  edgeTarget_.shrink_to_fit();
  sparseFail_.shrink_to_fit();
}

void Automaton::SetStartSkips() {
  // The start state has no pattern, so a stored 0 is the plain way back to it.
  asciiStays_ = true;
  anyStart_ = false;
  for (int b = 0; b < 256; ++b) {
    staysAtStart_[b] = dense_[classOf_[b]] == 0;
    if (staysAtStart_[b]) continue;
    if (b < 0x80) asciiStays_ = false;
    if (!anyStart_) startLow_ = static_cast<unsigned char>(b);
    startHigh_ = static_cast<unsigned char>(b);
    anyStart_ = true;
  }
}

void Automaton::SetGramTiers(const std::vector<std::string_view>& patterns) {
  tiers_ = {};
  std::vector<std::uint32_t> stateOf(patterns.size(), kNone);
  for (std::uint32_t state = 0; state < ownPattern_.size(); ++state) {
    if (ownPattern_[state] != kNone) stateOf[ownPattern_[state]] = state;
  }
  bool anyShort = false, anyLong = false;
  for (std::string_view p : patterns) {
    if (p.empty()) continue;
    (p.size() < kLongGram ? anyShort : anyLong) = true;
  }
  const bool split = anyShort && anyLong;
  for (std::size_t t = 0; t < tiers_.size(); ++t) {
    // Tier 0 holds the long patterns (all of them without a split), tier 1 the short ones.
    const auto inTier = [&](std::string_view p) {
      return !p.empty() && (split ? (p.size() < kLongGram) == (t == 1) : t == 0);
    };
    GramTier& tier = tiers_[t];
    struct Keyed {
      std::uint64_t gram;
      std::uint32_t length;
      std::uint32_t pattern;
    };
    std::vector<Keyed> keyed;
    for (std::string_view p : patterns) {
      if (inTier(p)) tier.length = tier.length == 0 ? p.size() : std::min(tier.length, p.size());
    }
    tier.length = std::min<std::size_t>(tier.length, 8);
    if (tier.length == 0) continue;
    for (std::uint32_t id = 0; id < patterns.size(); ++id) {
      const std::string_view p = patterns[id];
      if (!inTier(p)) continue;
      keyed.push_back(
          {Gram(reinterpret_cast<const unsigned char*>(p.data()), p.size(), tier.length),
           static_cast<std::uint32_t>(p.size()), id});
    }
    // Sixteen bits per pattern, and at least one per 2-byte gram: a byte string that starts
    // no pattern finds its bit set in about one case in sixteen, or never where a short tier
    // has 2-byte grams. The bitmap stays within the nearest caches for dictionaries of tens
    // of thousands of words, and a false hit costs a lookup further out.
    const std::size_t bits =
        std::bit_ceil(std::clamp<std::size_t>(keyed.size() * 16, 65536, std::size_t{1} << 23));
    tier.shift = 32 - static_cast<unsigned>(std::countr_zero(bits));
    tier.bits.assign(bits / 64, 0);
    for (const Keyed& k : keyed) {
      const std::uint32_t bit = BitHash(k.gram) >> tier.shift;
      tier.bits[bit >> 6] |= std::uint64_t{1} << (bit & 63);
    }

    std::sort(keyed.begin(), keyed.end(), [](const Keyed& x, const Keyed& y) {
      return x.gram != y.gram ? x.gram < y.gram : x.length < y.length;
    });
    std::size_t groups = 0;
    for (std::size_t k = 0; k < keyed.size(); ++k)
      groups += k == 0 || keyed[k].gram != keyed[k - 1].gram;
    // At most two thirds full, so that a miss ends after a probe or three; a slot holds 16
    // bytes, so that large dictionaries keep their groups in the nearer caches.
    const std::size_t slots = std::bit_ceil(std::max<std::size_t>(groups + groups / 2, 2));
    tier.groupShift = 64 - static_cast<unsigned>(std::countr_zero(slots));
    tier.groups.assign(slots, GramGroup{});
    tier.members.reserve(keyed.size());
    for (std::size_t k = 0; k < keyed.size();) {
      const std::uint64_t gram = keyed[k].gram;
      const auto begin = static_cast<std::uint32_t>(tier.members.size());
      std::uint32_t nexts = 0;
      for (; k < keyed.size() && keyed[k].gram == gram; ++k) {
        const std::string_view rest = patterns[keyed[k].pattern].substr(tier.length);
        nexts |= rest.empty() ? ~std::uint32_t{0}
                              : std::uint32_t{1} << (static_cast<unsigned char>(rest[0]) & 31);
        GramMember member{};
        member.state = stateOf[keyed[k].pattern];
        member.length = keyed[k].length;
        member.last = k + 1 == keyed.size() || keyed[k + 1].gram != gram;
        member.head = Gram(reinterpret_cast<const unsigned char*>(rest.data()), rest.size(), 8);
        tier.tail.push_back(static_cast<std::uint32_t>(tier.rest.size()));
        if (rest.size() > 8) tier.rest.insert(tier.rest.end(), rest.begin() + 8, rest.end());
        tier.members.push_back(member);
      }
      std::size_t slot = static_cast<std::size_t>(GramHash(gram) >> tier.groupShift);
      while (tier.groups[slot].nexts != 0) slot = (slot + 1) & (slots - 1);
      tier.groups[slot] = GramGroup{gram, begin, nexts};
    }
    tier.members.shrink_to_fit();
    tier.tail.shrink_to_fit();
    tier.rest.shrink_to_fit();
  }
}

std::uint64_t Automaton::Gram(const unsigned char* text, std::size_t available,
                              std::size_t length) {
  std::uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    if (available >= 8) {
      std::memcpy(&word, text, 8);
      return word & LowBytes(length);
    }
  }
  const std::size_t bytes = std::min(length, available);
  for (std::size_t j = 0; j < bytes; ++j) word |= std::uint64_t{text[j]} << (8 * j);
  return word;
}

std::uint32_t Automaton::SparseChild(std::uint32_t state, std::uint32_t cls) const {
  const std::uint32_t index = state - denseStates_;
  for (std::uint32_t e = edgeStart_[index]; e < edgeStart_[index + 1]; ++e) {
    if (edgeClass_[e] == cls) return edgeTarget_[e];
  }
  return kNone;
}

std::size_t Automaton::ConfirmAt(const GramTier& tier, const unsigned char* text, std::size_t from,
                                 std::size_t end, std::uint64_t gram, std::uint64_t hash,
                                 OutputBuffer& out) const {
  const std::size_t mask = tier.groups.size() - 1;
  std::size_t slot = static_cast<std::size_t>(hash >> tier.groupShift);
  for (;; slot = (slot + 1) & mask) {
    const GramGroup& group = tier.groups[slot];
    if (group.nexts == 0) return 1;  // no pattern starts with these bytes
    if (group.gram != gram) continue;
    std::size_t steps = 1;
    const std::size_t available = end - from;
    const unsigned char* after = text + from + tier.length;
    // The eight bytes after the gram, read once for the whole group (fewer at the end of the
    // text, where members that would need more are left out below anyway; there a zero stands
    // for the missing byte, and only a member that is the gram alone gets through).
    const std::uint64_t next = Gram(after, available - tier.length, 8);
    if (((group.nexts >> (next & 31)) & 1) == 0) return steps;
    for (std::uint32_t m = group.begin;; ++m) {
      const GramMember& member = tier.members[m];
      if (member.length > available) break;  // and so are the rest of the group
      const std::size_t rest = member.length - tier.length;
      steps += 1 + rest / 8;
      if (((next ^ member.head) & LowBytes(rest)) == 0 &&
          (rest <= 8 || std::memcmp(after + 8, tier.rest.data() + tier.tail[m], rest - 8) == 0)) {
        out.data_.push_back(Output{member.state, static_cast<std::uint32_t>(from + member.length)});
      }
      if (member.last) break;
    }
    return steps;
  }
}

std::uint32_t Automaton::SparseNext(std::uint32_t state, std::uint32_t cls) const {
  // The state's own edge, else its failure target's, until a state with a row answers.
  while (state >= denseStates_) {
    const std::uint32_t child = SparseChild(state, cls);
    if (child != kNone) return child;
    state = sparseFail_[state - denseStates_];
  }
  return dense_[std::size_t{state} * classCount_ + cls];
}

std::uint64_t Automaton::StartCandidates(const unsigned char* text, std::size_t count) const {
  std::uint64_t mask = 0;
#if defined(__SSE2__)
  if (count == 64) {
    // The bytes within [startLow_, startHigh_] (see SkipAtStart), sixteen to a compare.
    const __m128i low = _mm_set1_epi8(static_cast<char>(startLow_));
    const __m128i span = _mm_set1_epi8(static_cast<char>(startHigh_ - startLow_));
    for (int part = 0; part < 4; ++part) {
      const __m128i offset =
          _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * part)), low);
      const auto bits = static_cast<std::uint32_t>(
          _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(offset, span), span)));
      mask |= std::uint64_t{bits} << (16 * part);
    }
    return mask;
  }
#endif
  for (std::size_t k = 0; k < count; ++k) {
    mask |= std::uint64_t{!staysAtStart_[text[k]]} << k;
  }
  return mask;
}

void Automaton::CollectOutputs(const unsigned char* text, std::size_t size,
                               OutputBuffer& out) const {
  out.data_.clear();
  out.chainFrom_ = 0;
  const GramTier& longTier = tiers_[0];
  const GramTier& shortTier = tiers_[1];
  const bool twoTiers = shortTier.length != 0;
  // The shortest gram of all: a pattern fits at [0, starts).
  const std::size_t shortest = twoTiers ? shortTier.length : longTier.length;
  if (shortest == 0 || size < shortest) return;
  // Where dictionaries and prose are alike, the grams that get through the bitmap cost a step
  // or two each. A dictionary of many patterns with one start and a text that repeats it
  // would make every confirmation long; past this many steps the rest is left to one pass of
  // the automaton, which takes one step per byte whatever the text. The budget also bounds
  // the single occurrences confirmations report, as each takes a step.
  std::size_t budget = size + 4096;
  // The text is taken 64 starts at a time, in three rounds that each finish before the next
  // begins: the starts whose byte can begin a pattern, then those whose gram a bitmap lets
  // through, then the confirmations. In prose of the patterns' own script nearly every byte
  // is such a start (every byte of a GBK text, the lead bytes of UTF-8), and the bitmap
  // answers at random; tested one start at a time, with a branch on each answer, the
  // mispredictions cost more than the tests. The middle round has no branch on the answers,
  // so its loads overlap.
  const std::size_t starts = size - shortest + 1;
  for (std::size_t i = 0; i < starts; i += 64) {
    const std::size_t count = std::min<std::size_t>(64, starts - i);
    // A full block has 64 bytes to read: its last start is followed by a gram.
    std::uint64_t candidates = StartCandidates(text + i, count);
    if (candidates == 0) continue;
    std::uint64_t passedLong = 0, passedShort = 0;
    // Eight starts at a time pay off where many are candidates, as in prose of the patterns'
    // script; a block of markup with a candidate or two is cheaper one start at a time.
    if (wide_ && size - i >= 64 + 8 && CountBits(candidates) >= kWideFrom) {
      WideStarts(text + i, candidates, passedLong, passedShort);
      // The bitmaps answer for the gram; a start must also be one of the candidates.
      passedLong &= candidates;
      passedShort &= candidates;
      candidates = 0;
    } else if (std::endian::native == std::endian::little && size - i >= 64 + 8) {
      // The common case in few instructions: eight bytes to read at every start, and both
      // tiers' grams cut from them.
      const std::uint64_t longMask = LowBytes(longTier.length);
      const std::uint64_t shortMask = LowBytes(twoTiers ? shortTier.length : 1);
      const std::uint64_t* longBits = longTier.bits.data();
      const std::uint64_t* shortBits = twoTiers ? shortTier.bits.data() : nullptr;
      const unsigned longShift = longTier.shift;
      const unsigned shortShift = shortTier.shift;
      for (; candidates != 0; candidates &= candidates - 1) {
        const auto k = static_cast<unsigned>(std::countr_zero(candidates));
        std::uint64_t word;
        std::memcpy(&word, text + i + k, 8);
        const auto begins = static_cast<std::uint64_t>(!staysAtStart_[text[i + k]]);
        const std::uint32_t bit = BitHash(word & longMask) >> longShift;
        passedLong |= (((longBits[bit >> 6] >> (bit & 63)) & 1) & begins) << k;
        if (twoTiers) {
          const std::uint32_t shortBit = BitHash(word & shortMask) >> shortShift;
          passedShort |= (((shortBits[shortBit >> 6] >> (shortBit & 63)) & 1) & begins) << k;
        }
      }
    }
    for (; candidates != 0; candidates &= candidates - 1) {
      const auto k = static_cast<unsigned>(std::countr_zero(candidates));
      const std::size_t at = i + k;
      // Both answers without a branch: a byte in the range may still start nothing, and a
      // gram cut short by the end of the text starts no pattern of its tier.
      const bool begins = !staysAtStart_[text[at]];
      const std::uint64_t gram = Gram(text + at, size - at, longTier.length);
      const bool fits = size - at >= longTier.length;
      passedLong |= static_cast<std::uint64_t>(begins & fits & longTier.MayStart(gram)) << k;
      if (twoTiers) {
        const std::uint64_t shortGram = Gram(text + at, size - at, shortTier.length);
        passedShort |= static_cast<std::uint64_t>(begins & shortTier.MayStart(shortGram)) << k;
      }
    }
    // Each tier's confirmations in a run of their own, the short tier's first: its patterns
    // of at most two bytes then come in the order of their starts, and each pattern's
    // occurrences in order, as they would start by start.
    const std::size_t blockOutputs = out.data_.size();
    bool over = false;
    for (const GramTier* tier : {&shortTier, &longTier}) {
      for (std::uint64_t passed = tier == &shortTier ? passedShort : passedLong;
           passed != 0 && !over; passed &= passed - 1) {
        const std::size_t at = i + static_cast<unsigned>(std::countr_zero(passed));
        const std::uint64_t gram = Gram(text + at, size - at, tier->length);
        const std::size_t steps = ConfirmAt(*tier, text, at, size, gram, GramHash(gram), out);
        over = steps > budget;
        budget -= over ? 0 : steps;
      }
    }
    if (over) {
      // Every occurrence that starts before this block has been found; the pass from its
      // start finds the rest, with one output per byte at most.
      out.data_.resize(blockOutputs);
      out.chainFrom_ = blockOutputs;
      Scan(text, i, size, [&out](std::uint32_t state, std::size_t end) {
        out.data_.push_back(Output{state, static_cast<std::uint32_t>(end)});
      });
      return;
    }
  }
  out.chainFrom_ = out.data_.size();
}

void Automaton::CollectStarts(const unsigned char* text, std::size_t size, std::size_t from,
                              std::size_t to, OutputBuffer& out) const {
  out.data_.clear();
  for (std::size_t at = from; at < std::min(to, size); ++at) {
    if (staysAtStart_[text[at]]) continue;
    // The short tier first, as CollectOutputs goes.
    for (const GramTier* tier : {&tiers_[1], &tiers_[0]}) {
      if (tier->length == 0 || size - at < tier->length) continue;
      const std::uint64_t gram = Gram(text + at, size - at, tier->length);
      if (tier->MayStart(gram)) ConfirmAt(*tier, text, at, size, gram, GramHash(gram), out);
    }
  }
  out.chainFrom_ = out.data_.size();
}

std::size_t Automaton::MemoryBytes() const {
  return dense_.capacity() * sizeof(std::uint32_t) + edgeStart_.capacity() * sizeof(std::uint32_t) +
         edgeClass_.capacity() + edgeTarget_.capacity() * sizeof(std::uint32_t) +
         sparseFail_.capacity() * sizeof(std::uint32_t) +
         ownPattern_.capacity() * sizeof(std::uint32_t) +
         outputLink_.capacity() * sizeof(std::uint32_t) + tiers_[0].MemoryBytes() +
         tiers_[1].MemoryBytes();
}

}  // namespace orv::keywords
