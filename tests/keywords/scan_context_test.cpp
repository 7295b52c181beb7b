// A scan context keeps its last pass for the next list of the same group: the answers must
// stay those of a fresh scan, and a pass must never outlive the pin it was made under, be
// taken for another text, or answer for a call made with another context.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "keywords/matching.h"

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

Answers Screen(const CompiledGroup& group, std::string_view text, ScanContext& context) {
  Answers answers;
  answers.free = FindFirstWord(text, group.free, context);
  answers.record = MatchRules(text, group.record, StopAt::kAll, context);
  answers.deny = MatchRules(text, group.deny, StopAt::kAll, context);
  answers.replaceMayApply = ReplaceMayApply(text, text, group.replace, context);
  return answers;
}

bool Denied(const CompiledGroup& group, std::string_view text, ScanContext& context) {
  return MatchRules(text, group.deny, StopAt::kAll, context).has_value();
}

TEST(ScanContext, ListsOfAGroupShareOnePassAndAnswerAsAlone) {
  const CompiledGroup group = Group();
  const std::vector<std::string> texts = {
      "..ab..cd..",   "..zz..qq..", "x..y", "..\xD6\xD0\xCE\xC4..",   ".\xD6\xCE\xC4\xD0.",
      "nothing here", "ab",         "cd",   "..xy..ab..zz..cd..qq..",
  };
  ScanContext context;
  for (const std::string& original : texts) {
    SCOPED_TRACE(original);
    // Each list on its own context: what sharing must not change.
    Answers alone;
    {
      ScanContext a, b, c, d;
      alone.free = FindFirstWord(original, group.free, a);
      alone.record = MatchRules(original, group.record, StopAt::kAll, b);
      alone.deny = MatchRules(original, group.deny, StopAt::kAll, c);
      alone.replaceMayApply = ReplaceMayApply(original, original, group.replace, d);
    }
    // Pinned, the four lists make one pass.
    const std::string pinned = original;
    std::uint32_t before = context.Passes();
    {
      const ScanContext::Pin unchanged(context, pinned);
      EXPECT_EQ(Screen(group, pinned, context), alone);
    }
    EXPECT_EQ(context.Passes() - before, 1u);
    // Without a pin, over the same bytes elsewhere, a copy tells each list the text is the same.
    const std::string plain = original;
    before = context.Passes();
    EXPECT_EQ(Screen(group, plain, context), alone);
    EXPECT_EQ(context.Passes() - before, 1u);
  }
}

TEST(ScanContext, LongTextIsSharedWhenPinnedThoughTooLongToCopy) {
  const CompiledGroup group = Group();
  std::string text((std::size_t{4} << 20) + 16, '.');
  text.replace(text.size() - 8, 6, "ab..cd");
  ScanContext context;
  std::uint32_t before = context.Passes();
  const Answers want = Screen(group, text, context);
  EXPECT_EQ(context.Passes() - before, 4u);
  ASSERT_TRUE(want.deny);
  EXPECT_EQ(want.deny->position, text.size() - 8);
  before = context.Passes();
  {
    const ScanContext::Pin unchanged(context, text);
    EXPECT_EQ(Screen(group, text, context), want);
  }
  EXPECT_EQ(context.Passes() - before, 1u);
}

TEST(ScanContext, TextChangedAfterItsPinEndedIsScannedAfresh) {
  const CompiledGroup group = Group();
  ScanContext context;
  std::string text = "..ab..cd..";
  const char* const data = text.data();
  {
    const ScanContext::Pin unchanged(context, text);
    EXPECT_TRUE(Denied(group, text, context));
  }
  // Same address, same size, other bytes: a new pin is a new pin.
  text[2] = 'x';
  ASSERT_EQ(text.data(), data);
  {
    const ScanContext::Pin unchanged(context, text);
    EXPECT_FALSE(Denied(group, text, context));
  }
  text[2] = 'a';
  // Nor may the pass be found by a call without a pin.
  {
    const ScanContext::Pin unchanged(context, text);
    EXPECT_TRUE(Denied(group, text, context));
  }
  text[2] = 'x';
  EXPECT_FALSE(Denied(group, text, context));

  // A copy kept from before a pinned pass must not answer for its text after it.
  const std::string copied = "..zz..";
  const std::string other = "......";
  EXPECT_TRUE(Denied(group, copied, context));
  {
    const ScanContext::Pin unchanged(context, other);
    EXPECT_FALSE(Denied(group, other, context));
  }
  EXPECT_TRUE(Denied(group, copied, context));
}

TEST(ScanContext, RewriteByReplaceWordsIsNotHiddenByThePin) {
  // ReplaceWords rewrites the text it scans; the pass from before must not answer after it.
  const CompiledGroup group = Group();
  ScanContext context;
  std::string page = "..ab..cd..";
  std::string search = page;
  const ScanContext::Pin unchanged(context, search);
  EXPECT_TRUE(Denied(group, search, context));
  EXPECT_EQ(ReplaceWords(page, search, group.replace, context).count, 1);
  ASSERT_EQ(search, "..xy..cd..");
  EXPECT_FALSE(Denied(group, search, context));
  EXPECT_FALSE(Denied(group, search, context));
}

TEST(ScanContext, PinMovedToACopySharesThePassWithReplaceWords) {
  const CompiledGroup group = Group();
  for (const std::string original : {"..ab..cd..xy..", "..zz..qq..", "..xy..ab..zz..cd..qq.."}) {
    SCOPED_TRACE(original);
    std::string alonePage = original, aloneSearch = original;
    const Replacements alone = ReplaceWords(alonePage, aloneSearch, group.replace);

    ScanContext context;
    const ScanContext::Pin unchanged(context, original);
    const bool denied = Denied(group, original, context);
    std::string page = original, search = original;
    const std::uint32_t before = context.Passes();
    context.MovePin(search);
    EXPECT_EQ(ReplaceWords(page, search, group.replace, context), alone);
    EXPECT_EQ(context.Passes(), before) << "the copy was not scanned again";
    EXPECT_EQ(page, alonePage);
    EXPECT_EQ(search, aloneSearch);
    // The rewritten copy is scanned afresh; the original is no longer the pinned text.
    ScanContext fresh;
    EXPECT_EQ(Denied(group, search, context), Denied(group, aloneSearch, fresh))
        << "rewritten copy";
    EXPECT_EQ(Denied(group, original, context), denied);
  }
}

TEST(ScanContext, PinMovedToACopyOfAnotherSizeIsNotTaken) {
  const CompiledGroup group = Group();
  ScanContext context;
  const std::string text = "..ab..cd..";
  const ScanContext::Pin unchanged(context, text);
  EXPECT_TRUE(Denied(group, text, context));
  const std::string shorter = "..ab..";
  context.MovePin(shorter);
  EXPECT_FALSE(Denied(group, shorter, context));
  EXPECT_TRUE(Denied(group, text, context));
}

TEST(ScanContext, AnotherTextIsNotTakenForThePinnedOne) {
  const CompiledGroup group = Group();
  ScanContext context;
  const std::string text = "..ab..cd..";
  const std::string twin = "..ab..ce..";  // same size, elsewhere
  const ScanContext::Pin unchanged(context, text);
  EXPECT_TRUE(Denied(group, text, context));
  EXPECT_FALSE(Denied(group, twin, context));
  EXPECT_TRUE(Denied(group, text, context));
  // Same start, shorter: the "cd" lies past its end.
  EXPECT_FALSE(Denied(group, std::string_view(text).substr(0, 6), context));
  EXPECT_TRUE(Denied(group, text, context));
}

TEST(ScanContext, ContextsKeepTheirOwnPasses) {
  // Two contexts over one group, each with its own text pinned: neither's pass answers for
  // the other, and a text rewritten in place is seen by the context that scans it next.
  const CompiledGroup group = Group();
  ScanContext first, second;
  std::string a = "..ab..cd..", b = "..zz..";
  const ScanContext::Pin pinA(first, a);
  EXPECT_TRUE(Denied(group, a, first));
  const std::uint32_t before = first.Passes();
  EXPECT_TRUE(Denied(group, b, second));
  EXPECT_FALSE(Denied(group, "......", second));
  EXPECT_TRUE(Denied(group, a, first));
  EXPECT_EQ(first.Passes(), before) << "the other context's scans left this pass alone";
}

TEST(ScanContext, ThreadsWithTheirOwnContextsAgree) {
  const CompiledGroup group = Group();
  const std::string texts[2] = {"..ab..cd..qq", "..zz..xy.."};
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      ScanContext context;
      for (int i = 0; i < 300; ++i) {
        const std::string& text = texts[(i + t) % 2];
        const bool first = &text == &texts[0];
        const ScanContext::Pin unchanged(context, text);
        if (FindFirstWord(text, group.free, context).has_value() != first) ++failures[t];
        const auto deny = MatchRules(text, group.deny, StopAt::kAll, context);
        if (!deny || deny->words != (first ? "ab+cd" : "zz")) ++failures[t];
        std::string page = text, search = text;
        if (ReplaceWords(page, search, group.replace, context).count != (first ? 2 : 0)) {
          ++failures[t];
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace orv::keywords
