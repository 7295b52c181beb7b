// What only the compiled form has: sharing, memory, concurrent scans, and lists and texts
// of a shape the small cases do not reach.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "keywords/matching.h"
#include "keywords/reference_matching.h"

namespace orv::keywords {
namespace {

TEST(CompiledList, EmptyListsMatchNothing) {
  EXPECT_FALSE(MatchRules("abc", CompiledList(), StopAt::kAll));
  EXPECT_FALSE(FindFirstWord("abc", CompiledList()));
  EXPECT_TRUE(CompiledList().empty());
  std::string page = "ab", search = "ab";
  EXPECT_EQ(ReplaceWords(page, search, CompiledReplaceList()).outcome,
            ReplaceOutcome::kNothingToScan);
}

TEST(CompiledList, CopiesShareOneCompiledForm) {
  const CompiledList list(KeywordList{"abc", "de+fg"});
  const CompiledList copy = list;
  EXPECT_EQ(&list.impl(), &copy.impl());
  EXPECT_GT(list.MemoryBytes(), 0u);
  EXPECT_EQ(copy.rules().size(), 2u);
}

TEST(CompiledList, EveryByteValueInPatternsAndText) {
  KeywordList list;
  std::string text;
  for (int b = 0; b < 256; ++b) {
    text += static_cast<char>(b);
    if (b == '+' || b == '-') continue;  // plain words only
    list.push_back(std::string{static_cast<char>(b), static_cast<char>(255 - b), 'x'});
  }
  list.push_back(text.substr(100, 20));
  for (StopAt stop : {StopAt::kAll, StopAt::kFirst}) {
    const auto want = reference::MatchRules(text, list, stop);
    EXPECT_EQ(MatchRules(text, CompiledList(list), stop), want);
    ASSERT_TRUE(want);
    EXPECT_EQ(want->position, 100u);
  }
}

TEST(CompiledList, ManyWordsOnALongText) {
  // Enough words that deep states have no complete rows; the answer must not change.
  KeywordList list;
  for (int i = 0; i < 3000; ++i) {
    std::string word;
    for (int n = i; n > 0 || word.size() < 4; n /= 7) word += static_cast<char>('a' + n % 7);
    list.push_back(word);
  }
  list.push_back("gggg+aaab");
  list.push_back("fed-zzz");
  std::string text;
  for (int i = 0; i < 20000; ++i) text += static_cast<char>('a' + (i * 7919 % 13) % 8);
  EXPECT_EQ(reference::MatchRules(text, list, StopAt::kAll),
            MatchRules(text, CompiledList(list), StopAt::kAll));
}

TEST(CompiledList, ConcurrentScansAgree) {
  const CompiledList list(KeywordList{"\xD6\xD0\xCE\xC4", "ab+cd", "x-y", "\xCE\xC4"});
  const CompiledReplaceList replace(ReplaceList{{"ab", "cd+x"}, {"zz", "****"}});
  const std::string text = "..\xD6\xD0\xCE\xC4..ab..cd..x..";
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        const auto match = MatchRules(text, list, StopAt::kAll);
        if (!match || match->words != "\xD6\xD0\xCE\xC4,ab+cd,x" || match->position != 2) {
          ++failures[t];
        }
        std::string page = text, search = text;
        if (ReplaceWords(page, search, replace).count != 3) ++failures[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(CompiledGroup, ThreadsKeepTheirOwnPasses) {
  // Each thread alternates two texts over lists sharing one automaton: a pass kept by one
  // thread must never answer for another thread's text.
  const auto group = CompileGroup({"ab+cd", "zz"}, ReplaceList{{"ab"}, {"xy"}}, {"cd"}, {"qq"});
  const std::string texts[2] = {"..ab..cd..", "..zz..qq.."};
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 400; ++i) {
        const std::string& text = texts[(i + t) % 2];
        const bool first = &text == &texts[0];
        if (FindFirstWord(text, group.free).has_value() == first) ++failures[t];
        if (MatchRules(text, group.record, StopAt::kAll).has_value() != first) ++failures[t];
        const auto deny = MatchRules(text, group.deny, StopAt::kAll);
        if (!deny || deny->words != (first ? "ab+cd" : "zz")) ++failures[t];
        std::string page = text, search = text;
        if (ReplaceWords(page, search, group.replace).count != (first ? 1 : 0)) ++failures[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(CompiledGroup, MemoryIsSharedOutAmongTheLists) {
  const auto group =
      CompileGroup({"abcdef"}, ReplaceList{{"abcdef"}, {"******"}}, {"abcdef"}, {"abcdef"});
  const CompiledList alone(KeywordList{"abcdef"});
  EXPECT_GT(group.deny.MemoryBytes(), 0u);
  // Four lists over one automaton cost less than four automata.
  EXPECT_LT(group.deny.MemoryBytes() + group.replace.MemoryBytes() + group.record.MemoryBytes() +
                group.free.MemoryBytes(),
            4 * alone.MemoryBytes());
}

}  // namespace
}  // namespace orv::keywords
