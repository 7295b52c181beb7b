// The automaton on its own: every reported occurrence against a naive search, with complete
// rows for all states and with rows for the start state only (so every deeper step goes
// through edges and failure links).
#include "keywords/automaton.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace orv::keywords {
namespace {

using Occurrence = std::pair<std::size_t, std::uint32_t>;  // (end, pattern)

std::set<Occurrence> Scanned(const Automaton& automaton, std::string_view text, std::size_t begin,
                             std::size_t end) {
  std::set<Occurrence> out;
  automaton.Scan(reinterpret_cast<const unsigned char*>(text.data()), begin, end,
                 [&](std::uint32_t state, std::size_t stop) {
                   std::uint32_t s = automaton.OwnPattern(state) != Automaton::kNone
                                         ? state
                                         : automaton.OutputLink(state);
                   for (; s != Automaton::kNone; s = automaton.OutputLink(s)) {
                     out.emplace(stop, automaton.OwnPattern(s));
                   }
                 });
  return out;
}

std::set<Occurrence> Naive(const std::vector<std::string_view>& patterns, std::string_view text,
                           std::size_t begin, std::size_t end) {
  std::set<Occurrence> out;
  for (std::uint32_t id = 0; id < patterns.size(); ++id) {
    const std::string_view p = patterns[id];
    if (p.empty()) continue;
    for (std::size_t at = begin; at + p.size() <= end; ++at) {
      if (text.substr(at, p.size()) == p) out.emplace(at + p.size(), id);
    }
  }
  return out;
}

TEST(Automaton, ReportsEveryOccurrenceWhateverTheRowBudget) {
  std::mt19937 rng(7);
  const std::string alphabet = "ab\xD6\xD0*";
  auto randomText = [&](int maxLength) {
    std::string s;
    const int n = std::uniform_int_distribution<int>(0, maxLength)(rng);
    for (int i = 0; i < n; ++i) s += alphabet[rng() % alphabet.size()];
    return s;
  };
  for (int round = 0; round < 300; ++round) {
    std::set<std::string> distinct;
    const int count = 1 + static_cast<int>(rng() % 12);
    for (int i = 0; i < count; ++i) distinct.insert(randomText(5));
    std::vector<std::string> owned(distinct.begin(), distinct.end());
    std::vector<std::string_view> patterns(owned.begin(), owned.end());
    const Automaton full(patterns, std::size_t{1} << 20);
    const Automaton rootOnly(patterns, 0);
    // Rows for the first few states only: scans keep crossing between rows and edges, in
    // both directions and with outputs on either side.
    const Automaton someRows(patterns, 3 * 6 * sizeof(std::uint32_t));
    EXPECT_EQ(full.MaxPatternLength(), rootOnly.MaxPatternLength());
    for (int t = 0; t < 10; ++t) {
      const std::string text = randomText(40);
      const std::size_t begin = text.empty() ? 0 : rng() % text.size();
      const auto want = Naive(patterns, text, begin, text.size());
      EXPECT_EQ(Scanned(full, text, begin, text.size()), want);
      EXPECT_EQ(Scanned(rootOnly, text, begin, text.size()), want);
      EXPECT_EQ(Scanned(someRows, text, begin, text.size()), want);
    }
  }
}

// The occurrences a collection reports, checking its promises on the way: each occurrence
// once, a pattern's occurrences in order, short patterns' starts in order, and no more than
// about two outputs per byte.
std::set<Occurrence> Collected(const Automaton& automaton,
                               const std::vector<std::string_view>& patterns,
                               std::string_view text) {
  Automaton::OutputBuffer buffer;
  automaton.CollectOutputs(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                           buffer);
  EXPECT_LE(buffer.size(), 2 * text.size() + 4096);
  std::set<Occurrence> got;
  std::vector<std::size_t> lastEnd(patterns.size(), 0);
  std::size_t lastShortStart = 0;
  const auto occurs = [&](std::uint32_t pattern, std::size_t end) {
    EXPECT_TRUE(got.emplace(end, pattern).second) << "reported twice";
    EXPECT_GT(end, lastEnd[pattern]);
    lastEnd[pattern] = end;
    if (patterns[pattern].size() <= 2) {
      const std::size_t start = end - patterns[pattern].size();
      EXPECT_GE(start, lastShortStart);
      lastShortStart = start;
    }
  };
  std::size_t index = 0;
  for (const auto& output : buffer) {
    if (index++ < buffer.ChainFrom()) {
      const std::uint32_t pattern = automaton.OwnPattern(output.state);
      EXPECT_NE(pattern, Automaton::kNone);
      if (pattern != Automaton::kNone) occurs(pattern, output.end);
      continue;
    }
    for (std::uint32_t s = automaton.FirstOutput(output.state); s != Automaton::kNone;
         s = automaton.OutputLink(s)) {
      occurs(automaton.OwnPattern(s), output.end);
    }
  }
  return got;
}

TEST(Automaton, CollectedOutputsOfLongTextsMatchOneSequentialScan) {
  // Long texts with long patterns, and texts that repeat the start of a long pattern so
  // that walking the trie from every offset would cost its length each time: the collection
  // then hands the rest to one pass, and must still report every occurrence once.
  std::mt19937 rng(11);
  const std::string alphabet = "ab\xD6\xD0";
  for (int round = 0; round < 8; ++round) {
    std::vector<std::string> owned{"ab", "bab", "\xD6\xD0\xD6", "b", "aaaaaaaaaaaaaaaaaaaa"};
    std::string longest;
    for (int i = 0; i < 30 * round; ++i) longest += alphabet[rng() % 2];
    owned.push_back(longest);
    if (round == 6) owned.push_back(std::string(3000, 'a') + "b");
    // Patterns nested in one another: a walk over a run of "a" reports each of them at
    // every offset, and the pass that takes over reports one output per byte.
    for (int k = 21; round == 7 && k <= 60; ++k) owned.push_back(std::string(k, 'a'));
    std::vector<std::string_view> patterns(owned.begin(), owned.end());
    const Automaton automaton(patterns, round % 3 == 0
                                            ? std::size_t{1} << 20
                                            : std::size_t{32} * static_cast<std::size_t>(round));
    std::string text;
    const std::size_t size = 4096 + rng() % 30000;
    if (round >= 6) text.assign(size / 2, 'a');
    while (text.size() < size) text += alphabet[rng() % alphabet.size()];
    EXPECT_EQ(Collected(automaton, patterns, text), Scanned(automaton, text, 0, text.size()))
        << "round " << round;
  }
}

TEST(Automaton, PassesOverBytesThatStartNoPattern) {
  // Patterns of high bytes only (as double-byte dictionaries are) let the scan pass over
  // whole steps of bytes outside the range of starting bytes; a byte within the range that
  // starts nothing (when the round's patterns leave one of the starts out) and a high byte
  // outside it are passed over too. Every mix of long and short ASCII runs, and runs that end
  // at any offset of a step, must still report exactly the occurrences a naive search finds.
  std::mt19937 rng(5);
  const std::string highs = "\xD6\xD0\xCE\xC4\xB0";  // 0xB0 starts no pattern below
  for (int round = 0; round < 200; ++round) {
    std::set<std::string> distinct;
    const int count = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < count; ++i) {
      std::string p(1, highs[rng() % 4]);
      const int more = static_cast<int>(rng() % 4);
      for (int k = 0; k < more; ++k) p += highs[rng() % highs.size()];
      distinct.insert(p);
    }
    if (round % 4 == 0) distinct.insert("a\xD6");  // an ASCII start turns the fast pass off
    std::vector<std::string> owned(distinct.begin(), distinct.end());
    std::vector<std::string_view> patterns(owned.begin(), owned.end());
    const Automaton full(patterns, std::size_t{1} << 20);
    const Automaton someRows(patterns, 3 * 7 * sizeof(std::uint32_t));
    std::string text;
    const std::size_t size = round % 10 == 0 ? 5000 + rng() % 20000 : rng() % 80;
    while (text.size() < size) {
      if (rng() % 3 == 0) {
        text.append(rng() % 20, "<a href=x>"[rng() % 10]);
      } else {
        text += highs[rng() % highs.size()];
      }
    }
    const std::size_t begin = text.empty() ? 0 : rng() % (text.size() / 4 + 1);
    const auto want = Naive(patterns, text, begin, text.size());
    EXPECT_EQ(Scanned(full, text, begin, text.size()), want) << round;
    EXPECT_EQ(Scanned(someRows, text, begin, text.size()), want) << round;
    // The collected outputs of the whole text, against the same search.
    const auto all = Naive(patterns, text, 0, text.size());
    for (const Automaton* automaton : {&full, &someRows}) {
      EXPECT_EQ(Collected(*automaton, patterns, text), all) << round;
    }
  }
}

TEST(Automaton, CollectionLooksAtTheStartsOfPatternsOfEveryLength) {
  // The start bitmap reads as many bytes as the shortest pattern has, up to eight, and fewer
  // remain near the end of a text: shortest lengths from 2 to 10, patterns sharing their
  // starts, and occurrences that end at the text's last byte.
  std::mt19937 rng(23);
  const std::string alphabet = "xy\xB0\xA1";
  for (int round = 0; round < 300; ++round) {
    const std::size_t shortest = 2 + static_cast<std::size_t>(round % 9);
    std::set<std::string> distinct;
    std::string seed;
    for (std::size_t k = 0; k < shortest; ++k) seed += alphabet[rng() % alphabet.size()];
    distinct.insert(seed);
    for (int i = 0; i < 6; ++i) {
      std::string p = seed.substr(0, rng() % (shortest + 1));
      while (p.size() < shortest + rng() % 6) p += alphabet[rng() % alphabet.size()];
      distinct.insert(p);
    }
    std::vector<std::string> owned(distinct.begin(), distinct.end());
    std::vector<std::string_view> patterns(owned.begin(), owned.end());
    const Automaton automaton(patterns, round % 2 == 0 ? std::size_t{1} << 16 : 64);
    std::string text;
    const std::size_t size = round % 10 == 0 ? 3000 : rng() % 40;
    while (text.size() < size) {
      if (rng() % 4 == 0) {
        text += owned[rng() % owned.size()];
      } else {
        text += alphabet[rng() % alphabet.size()];
      }
    }
    EXPECT_EQ(Collected(automaton, patterns, text), Naive(patterns, text, 0, text.size())) << round;
  }
}

TEST(Automaton, CollectionFindsWordsAtEveryOffsetOfItsBlocks) {
  // Dictionaries of long words (GBK and UTF-8 characters) with and without a few words of one
  // or two bytes among them, which are then looked for apart from the others: occurrences of
  // each kind placed at every offset from 0 to 200 of texts of Chinese-like filler (every
  // byte a possible start), and texts that end inside or right after a word.
  const std::vector<std::string> longWords = {"\xD6\xD0\xCE\xC4", "\xD6\xD0\xB9\xFA\xC8\xCB",
                                              "\xE4\xB8\xAD\xE6\x96\x87", "abcd",
                                              "\xCE\xC4\xD6\xD0\xCE\xC4\xD6\xD0\xCE\xC4"};
  const std::vector<std::string> shortWords = {"\xB9", "\xC8\xCB", "zq"};
  std::mt19937 rng(41);
  const std::string filler = "\xD6\xD0\xCE\xC4\xB9\xFA\xE4\xB8\xAD";
  for (int withShort = 0; withShort < 2; ++withShort) {
    std::vector<std::string> owned = longWords;
    if (withShort == 1) owned.insert(owned.end(), shortWords.begin(), shortWords.end());
    std::vector<std::string_view> patterns(owned.begin(), owned.end());
    const Automaton automaton(patterns, std::size_t{1} << 20);
    for (std::size_t offset = 0; offset <= 200; ++offset) {
      for (const std::string& word : owned) {
        std::string text;
        while (text.size() < offset) text += filler[rng() % filler.size()];
        text += word;
        if (offset % 3 != 0) {
          const std::size_t more = rng() % 80;
          while (text.size() < offset + word.size() + more) text += filler[rng() % filler.size()];
        }
        ASSERT_EQ(Collected(automaton, patterns, text), Naive(patterns, text, 0, text.size()))
            << "offset " << offset << " short words " << withShort;
      }
    }
  }
}

// Builds an automaton with the portable bitmap round however the processor could do it.
class PortableStarts {
 public:
  PortableStarts() { Automaton::AllowWideStarts(false); }
  ~PortableStarts() { Automaton::AllowWideStarts(true); }
  PortableStarts(const PortableStarts&) = delete;
  PortableStarts& operator=(const PortableStarts&) = delete;
};

TEST(Automaton, StartsTakenEightAtATimeAgreeWithThePortableRound) {
  // Where the processor takes the starts of a block eight at a time, the bitmaps must answer
  // as they do one start at a time: grams of every length from 1 to 8 in both tiers, words
  // that share their grams and differ only after the eighth byte that follows, words that
  // are their gram alone, and texts that end inside a block or just past one.
  std::mt19937 rng(97);
  const std::string alphabet = "ab.\xD6\xD0\xE4\xB8";
  const auto draw = [&](std::size_t length) {
    std::string s;
    while (s.size() < length) s += alphabet[rng() % alphabet.size()];
    return s;
  };
  for (int round = 0; round < 160; ++round) {
    const std::size_t longGram = 4 + static_cast<std::size_t>(round % 6);   // 4 to 9
    const std::size_t shortGram = 1 + static_cast<std::size_t>(round % 3);  // 1 to 3
    std::set<std::string> distinct;
    for (int i = 0; i < 12; ++i) {
      const std::string stem = draw(longGram);
      distinct.insert(stem);
      distinct.insert(stem + draw(1 + rng() % 12));
      distinct.insert(stem + std::string(8, 'a') + draw(1 + rng() % 3));
    }
    if (round % 2 == 0) {
      for (int i = 0; i < 6; ++i) distinct.insert(draw(shortGram + rng() % (4 - shortGram)));
    }
    std::vector<std::string> owned(distinct.begin(), distinct.end());
    std::vector<std::string_view> patterns(owned.begin(), owned.end());
    const Automaton wide(patterns, std::size_t{1} << 20);
    const Automaton portable = [&] {
      const PortableStarts portableOnly;
      return Automaton(patterns, std::size_t{1} << 20);
    }();
    for (const std::size_t size : {std::size_t{71}, std::size_t{72}, std::size_t{135},
                                   std::size_t{64 * 9 + rng() % 64}, std::size_t{2000}}) {
      std::string text;
      while (text.size() < size) {
        text += rng() % 3 == 0 ? owned[rng() % owned.size()] : draw(1 + rng() % 6);
      }
      text.resize(size);
      const auto want = Naive(patterns, text, 0, text.size());
      ASSERT_EQ(Collected(wide, patterns, text), want) << "round " << round << " size " << size;
      ASSERT_EQ(Collected(portable, patterns, text), want) << "round " << round << " size " << size;
    }
  }
}

TEST(Automaton, NoPatterns) {
  const Automaton empty;
  EXPECT_TRUE(Scanned(empty, "abc", 0, 3).empty());
  EXPECT_TRUE(Collected(empty, {}, "abc").empty());
  const Automaton onlyEmpty(std::vector<std::string_view>{""}, 1024);
  EXPECT_TRUE(Scanned(onlyEmpty, "abc", 0, 3).empty());
  EXPECT_TRUE(Collected(onlyEmpty, {""}, "abc").empty());
  EXPECT_GT(onlyEmpty.MemoryBytes(), 0u);
}

}  // namespace
}  // namespace orv::keywords
