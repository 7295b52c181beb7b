// A caller's word that a text stays unchanged lets the lists of one group share a pass over
// it without a copy: the answers must stay those of a fresh scan, and a pass must never
// outlive the word it was made under, nor be taken for another text.
#include <gtest/gtest.h>

#include <latch>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "keywords/matching.h"
#include "keywords/text_scan.h"

namespace orv::keywords {
namespace {

CompiledGroup Group() {
  // Replace keys "ab" and "qq", written over by "xy" and "**".
  return CompileGroup({"ab+cd", "zz", "\xCE\xC4"}, ReplaceList{{"ab", "qq"}, {"xy", "**"}},
                      {"cd", "x-y"}, {"qq"});
}

// Everything a page screen asks of one text, in its order.
struct Answers {
  std::optional<Match> free;
  std::optional<Match> record;
  std::optional<Match> deny;
  bool replaceMayApply = false;

  bool operator==(const Answers&) const = default;
};

Answers Screen(const CompiledGroup& group, std::string_view text) {
  Answers answers;
  answers.free = FindFirstWord(text, group.free);
  answers.record = MatchRules(text, group.record, StopAt::kAll);
  answers.deny = MatchRules(text, group.deny, StopAt::kAll);
  answers.replaceMayApply = ReplaceMayApply(text, text, group.replace);
  return answers;
}

bool Denied(const CompiledGroup& group, std::string_view text) {
  return MatchRules(text, group.deny, StopAt::kAll).has_value();
}

TEST(StableText, ListsOfAGroupShareOnePassAndAnswerAsWithout) {
  const CompiledGroup group = Group();
  const std::vector<std::string> texts = {
      "..ab..cd..",   "..zz..qq..", "x..y", "..\xD6\xD0\xCE\xC4..",   ".\xD6\xCE\xC4\xD0.",
      "nothing here", "ab",         "cd",   "..xy..ab..zz..cd..qq..",
  };
  for (const std::string& original : texts) {
    SCOPED_TRACE(original);
    // Under a word the four lists make one pass.
    const std::string promised = original;
    std::uint32_t before = TextScan::ThreadPasses();
    Answers got;
    {
      const StableText unchanged(promised);
      got = Screen(group, promised);
    }
    EXPECT_EQ(TextScan::ThreadPasses() - before, 1u);
    // Without one, over the same bytes elsewhere, a copy tells each list the text is the same.
    const std::string plain = original;
    before = TextScan::ThreadPasses();
    EXPECT_EQ(Screen(group, plain), got);
    EXPECT_EQ(TextScan::ThreadPasses() - before, 1u);
  }
}

TEST(StableText, LongTextIsSharedUnderAWordThoughTooLongToCopy) {
  // A text too long to keep a copy of is scanned afresh by every list without a word.
  const CompiledGroup group = Group();
  std::string text((std::size_t{4} << 20) + 16, '.');
  text.replace(text.size() - 8, 6, "ab..cd");
  std::uint32_t before = TextScan::ThreadPasses();
  const Answers want = Screen(group, text);
  EXPECT_EQ(TextScan::ThreadPasses() - before, 4u);
  EXPECT_TRUE(want.deny);
  before = TextScan::ThreadPasses();
  {
    const StableText unchanged(text);
    EXPECT_EQ(Screen(group, text), want);
  }
  EXPECT_EQ(TextScan::ThreadPasses() - before, 1u);
}

TEST(StableText, TextChangedAfterItsWordEndedIsScannedAfresh) {
  const CompiledGroup group = Group();
  std::string text = "..ab..cd..";
  const char* const data = text.data();
  {
    const StableText unchanged(text);
    EXPECT_TRUE(Denied(group, text));
  }
  // Same address, same size, other bytes: a new word is a new word.
  text[2] = 'x';
  ASSERT_EQ(text.data(), data);
  {
    const StableText unchanged(text);
    EXPECT_FALSE(Denied(group, text));
  }
  text[2] = 'a';
  // Nor may the pass be found by a caller without a word.
  {
    const StableText unchanged(text);
    EXPECT_TRUE(Denied(group, text));
  }
  text[2] = 'x';
  EXPECT_FALSE(Denied(group, text));

  // A copy kept from before a shared pass must not answer for its text after it.
  const std::string copied = "..zz..";
  const std::string other = "......";
  EXPECT_TRUE(Denied(group, copied));
  {
    const StableText unchanged(other);
    EXPECT_FALSE(Denied(group, other));
  }
  EXPECT_TRUE(Denied(group, copied));
}

TEST(StableText, RewriteByReplaceWordsIsNotHiddenByTheWord) {
  // ReplaceWords rewrites the text it scans; the pass from before must not answer after it.
  const CompiledGroup group = Group();
  std::string page = "..ab..cd..";
  std::string search = page;
  const StableText unchanged(search);
  EXPECT_TRUE(Denied(group, search));
  EXPECT_EQ(ReplaceWords(page, search, group.replace).count, 1);
  ASSERT_EQ(search, "..xy..cd..");
  EXPECT_FALSE(Denied(group, search));
}

TEST(StableText, AnotherTextIsNotTakenForThePromisedOne) {
  const CompiledGroup group = Group();
  const std::string text = "..ab..cd..";
  const std::string twin = "..ab..ce..";  // same size, elsewhere
  const StableText unchanged(text);
  EXPECT_TRUE(Denied(group, text));
  EXPECT_FALSE(Denied(group, twin));
  EXPECT_TRUE(Denied(group, text));
  // Same start, shorter: the "cd" lies past its end.
  EXPECT_FALSE(Denied(group, std::string_view(text).substr(0, 6)));
  EXPECT_TRUE(Denied(group, text));
}

TEST(StableText, OverlappingWordsEachStandWhileTheyLive) {
  const CompiledGroup group = Group();
  std::string text = "..ab..cd..";
  std::string other = "..zz..";
  {
    // Two words over one text: the pass outlasts the inner one.
    const StableText outer(text);
    std::uint32_t before = TextScan::ThreadPasses();
    {
      const StableText inner(text);
      EXPECT_TRUE(Denied(group, text));
    }
    EXPECT_TRUE(Denied(group, text));
    EXPECT_EQ(TextScan::ThreadPasses() - before, 1u);
    // An inner word over another text leaves the outer one standing.
    {
      const StableText inner(other);
      EXPECT_TRUE(Denied(group, other));
    }
    before = TextScan::ThreadPasses();
    EXPECT_TRUE(Denied(group, text));
    EXPECT_TRUE(Denied(group, text));
    EXPECT_EQ(TextScan::ThreadPasses() - before, 1u);
  }
  {
    // Ended out of turn (on the heap, so a word left linked would be read after it is gone).
    auto first = std::make_unique<StableText>(text);
    auto second = std::make_unique<StableText>(other);
    auto third = std::make_unique<StableText>(text);
    EXPECT_TRUE(Denied(group, other));
    second.reset();
    const std::uint32_t before = TextScan::ThreadPasses();
    EXPECT_TRUE(Denied(group, text));
    first.reset();
    EXPECT_TRUE(Denied(group, text));  // the pass was made under `first`, which has ended
    EXPECT_TRUE(Denied(group, text));  // and this one under `third`, which stands
    EXPECT_EQ(TextScan::ThreadPasses() - before, 2u);
    third.reset();
    text[2] = 'x';
    EXPECT_FALSE(Denied(group, text));
    other[2] = 'x';
    EXPECT_FALSE(Denied(group, other));
  }
}

// The scan arrays belong to no thread: a host's threads come and go for months, and each
// one that ever scanned must not keep a set (nor anything that runs when it ends).
TEST(ScanScratch, ThreadsThatScannedAndEndedLeaveTheirArraysToTheNextScan) {
  const CompiledGroup group = Group();
  ReleaseIdleScanScratch();
  for (int round = 0; round < 16; ++round) {
    std::thread([&] { EXPECT_TRUE(Denied(group, "..ab..cd..")); }).join();
  }
  EXPECT_EQ(detail::IdleScratchCount(), 1u) << "threads one after another share one set";

  // Threads scanning at once each need their own, and give them back when done.
  constexpr int kThreads = 4;
  std::latch together(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      const std::string text = "..ab..cd..";
      const StableText unchanged(text);
      together.arrive_and_wait();  // every thread holds its set now
      EXPECT_TRUE(Denied(group, text));
      EXPECT_FALSE(Denied(group, "..xx.."));
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(detail::IdleScratchCount(), static_cast<std::size_t>(kThreads));
  ReleaseIdleScanScratch();
  EXPECT_EQ(detail::IdleScratchCount(), 0u);
  EXPECT_TRUE(Denied(group, "..ab..cd..")) << "a scan after the release builds its arrays again";
}

TEST(ScanScratch, ArraysStayWithTheThreadUntilItsLastWordEndsOutOfTurn) {
  const CompiledGroup group = Group();
  ReleaseIdleScanScratch();
  const std::string text = "..ab..cd..";
  auto first = std::make_unique<StableText>(text);
  auto second = std::make_unique<StableText>(text);
  first.reset();  // the word that took the arrays ends first
  EXPECT_EQ(detail::IdleScratchCount(), 0u) << "given back while a word still stands";
  std::thread([&] { EXPECT_FALSE(Denied(group, "..xx..")); }).join();
  const std::uint32_t before = TextScan::ThreadPasses();
  EXPECT_TRUE(Denied(group, text));
  EXPECT_TRUE(Denied(group, text));
  EXPECT_EQ(TextScan::ThreadPasses() - before, 1u) << "the standing word still shares its pass";
  second.reset();
  EXPECT_EQ(detail::IdleScratchCount(), 2u);
}

}  // namespace
}  // namespace orv::keywords
