// The rule forms and the three operations, stated once and run on both engines.
#include <gtest/gtest.h>

#include <string>

#include "engines.h"

namespace orv::keywords {
namespace {

using testing::CompiledEngine;
using testing::ReferenceEngine;

template <class Engine>
class RuleSemantics : public ::testing::Test {
 protected:
  // "words@position" of a match, or "none".
  static std::string Shown(const std::optional<Match>& match) {
    return match ? match->words + "@" + std::to_string(match->position) : "none";
  }
  static std::string All(std::string_view text, const KeywordList& list) {
    return Shown(Engine::Rules(text, list, StopAt::kAll));
  }
  static std::string FirstOnly(std::string_view text, const KeywordList& list) {
    return Shown(Engine::Rules(text, list, StopAt::kFirst));
  }
  static std::string Word(std::string_view text, const KeywordList& list) {
    return Shown(Engine::First(text, list));
  }
};

using Engines = ::testing::Types<ReferenceEngine, CompiledEngine>;
TYPED_TEST_SUITE(RuleSemantics, Engines);

// GBK: "ab中c" where 中 is D6 D0; the word D0 63 starts on the trail byte.
const std::string kSplitText =
    "ab\xD6\xD0"
    "c";

TYPED_TEST(RuleSemantics, ShortWordsCountOnlyOnCharacterBoundaries) {
  EXPECT_EQ(this->All(kSplitText, {"\xD0"
                                   "c"}),
            "none");
  EXPECT_EQ(this->All(kSplitText, {"\xD0"
                                   "c#"}),
            "none");
  EXPECT_EQ(this->All(kSplitText + "#", {"\xD0"
                                         "c#"}),
            "\xD0"
            "c#@3");
  EXPECT_EQ(this->All(kSplitText, {"\xD6\xD0"}), "\xD6\xD0@2");
  // A later occurrence on a boundary passes the check; the position stays the first one.
  EXPECT_EQ(this->All(kSplitText + "\xD0"
                                   "c",
                      {"\xD0"
                       "c"}),
            "\xD0"
            "c@3");
  EXPECT_EQ(this->Word(kSplitText, {"\xD0"
                                    "c",
                                    "bc"}),
            "none");
  EXPECT_EQ(this->Word(kSplitText, {"\xD0"
                                    "c",
                                    "b\xD6"}),
            "b\xD6@1");
}

TYPED_TEST(RuleSemantics, AndRules) {
  EXPECT_EQ(this->All("xxAAAxx", {"AAA+BBB"}), "none");
  EXPECT_EQ(this->All("BBB then AAA", {"AAA+BBB"}), "AAA+BBB@9");
  // A "-" inside an AND rule is an ordinary character.
  EXPECT_EQ(this->All("A-B and C", {"A-B+C"}), "A-B+C@0");
  EXPECT_EQ(this->All("AB and C", {"A-B+C"}), "none");
  // Parts of at most 2 bytes take the short-word check.
  EXPECT_EQ(this->All(kSplitText + "xyz", {"xyz+\xD0"
                                           "c"}),
            "none");
  // An empty part occurs at 0; a trailing separator adds no part.
  EXPECT_EQ(this->All("hello", {"+ll"}), "+ll@0");
  EXPECT_EQ(this->All("hello", {"ll+"}), "ll+@2");
}

TYPED_TEST(RuleSemantics, NotRules) {
  const KeywordList rule{"AAA-BBB-CCC"};
  EXPECT_EQ(this->All("xAAAx", rule), "AAA@1");
  EXPECT_EQ(this->All("xAAAxCCC", rule), "none");
  EXPECT_EQ(this->All("BBBxAAA", rule), "none");
  // The empty middle part always occurs, so this never holds.
  EXPECT_EQ(this->All("AB", {"A--B"}), "none");
  EXPECT_EQ(this->All("xyz", {"-AB"}), "@0");
  EXPECT_EQ(this->All("xABz", {"-AB"}), "none");
  // "AB-" is AB without the short-word check.
  EXPECT_EQ(this->All(kSplitText, {"\xD0"
                                   "c-"}),
            "\xD0"
            "c@3");
}

TYPED_TEST(RuleSemantics, MatchedListSkipsTextsItAlreadyContains) {
  EXPECT_EQ(this->All("xabcx", {"abc", "ab"}), "abc@1");
  EXPECT_EQ(this->All("xabcx", {"ab", "abc"}), "ab,abc@1");
  EXPECT_EQ(this->All("xabcx", {"ab", "ab"}), "ab@1");
  // The position is that of the first rule that held, not of the earliest occurrence.
  EXPECT_EQ(this->All("xyz abc", {"abc", "xyz"}), "abc,xyz@4");
  EXPECT_EQ(this->FirstOnly("xyz abc", {"zzz", "abc", "xyz"}), "abc@4");
  // A failing AND rule's partial position does not leak.
  EXPECT_EQ(this->All("xyz abc", {"xyz+qqq", "abc"}), "abc@4");
}

TYPED_TEST(RuleSemantics, EmptyTextOrListMatchesNothing) {
  EXPECT_EQ(this->All("", {"ab"}), "none");
  EXPECT_EQ(this->All("ab", {}), "none");
  EXPECT_EQ(this->Word("", {"ab"}), "none");
  EXPECT_EQ(this->Word("ab", {}), "none");
  EXPECT_EQ(this->All("ab", {"cd"}), "none");
}

TYPED_TEST(RuleSemantics, MatchNamesTheFirstRuleThatHeld) {
  const KeywordList list{"zzz", "q-x", "xyz+abc", "abc", "ab"};
  const auto all = TypeParam::Rules("xyz abc", list, StopAt::kAll);
  ASSERT_TRUE(all);
  EXPECT_EQ(all->rule, 2u);
  EXPECT_EQ(all->words, "xyz+abc");  // "abc" and "ab" are already in it
  const auto first = TypeParam::Rules("xyz abc", list, StopAt::kFirst);
  ASSERT_TRUE(first);
  EXPECT_EQ(*first, *all);
  const auto word = TypeParam::First("xyz abc", list);
  ASSERT_TRUE(word);
  EXPECT_EQ(word->rule, 3u);
  EXPECT_EQ(word->position, 4u);
}

TYPED_TEST(RuleSemantics, RepeatedRulesAnswerAsTheirFirstCopy) {
  // Lists hold the same rule more than once; a later copy changes neither the list nor the
  // position, whether the first copy held or not.
  const KeywordList list{"q+abc", "xyz-q", "abc", "q+abc", "xyz-q", "abc", "xyz-abc", "zz"};
  EXPECT_EQ(this->All("xyz abc", list), "xyz,abc@0");
  EXPECT_EQ(this->FirstOnly("xyz abc", list), "xyz@0");
  EXPECT_EQ(this->All("q abc", list), "q+abc@0");
  EXPECT_EQ(this->All("abc zz xyz", {"zz", "abc", "zz", "xyz-abc", "zz"}), "zz,abc@4");
  EXPECT_EQ(this->All("nothing", {"ab", "ab", "ab"}), "none");
}

TYPED_TEST(RuleSemantics, FindFirstWordTakesListOrderAndWholeEntries) {
  EXPECT_EQ(this->Word("xyz abc", {"abc", "xyz"}), "abc@4");
  EXPECT_EQ(this->Word("a+b", {"a+b"}), "a+b@0");
  EXPECT_EQ(this->Word("aa bb", {"aa+bb", "bb"}), "bb@3");
  EXPECT_EQ(this->Word("nothing", {"abc", "xyz"}), "none");
}

TYPED_TEST(RuleSemantics, PlainReplaceKeyTakesItsFirstOccurrenceOnly) {
  const ReplaceList list{{"abc"}, {"x**"}};
  const auto out = TypeParam::Replace("ABC abc aBc", "abc abc abc", list);
  EXPECT_EQ(out.result.count, 1);
  EXPECT_EQ(out.page, "x** abc aBc");
  EXPECT_EQ(out.search, "x** abc abc");
  EXPECT_EQ(out.result.words, "abc");
  EXPECT_EQ(out.result.position, 0u);
}

TYPED_TEST(RuleSemantics, AndReplaceKeyStarsEveryOccurrenceOfEveryPart) {
  const ReplaceList list{{"ab+cd"}, {"zzzzz"}};
  const auto out = TypeParam::Replace("cd AB ab CD", "cd ab ab cd", list);
  EXPECT_EQ(out.result.count, 4);
  EXPECT_EQ(out.page, "** ** ** **");
  EXPECT_EQ(out.result.words, "ab+cd");
  EXPECT_EQ(out.result.position, 3u);
  // A part already starred away by an earlier part is not counted, nor reported.
  const auto eaten = TypeParam::Replace("abc", "abc", ReplaceList{{"abc+bc"}, {"******"}});
  EXPECT_EQ(eaten.result.count, 1);
  EXPECT_EQ(eaten.search, "***");
  EXPECT_EQ(eaten.result.words, "");
}

TYPED_TEST(RuleSemantics, ReplacementsSeeWhatEarlierKeysLeft) {
  // The first key writes "cde", which the second key then finds.
  const ReplaceList list{{"abc", "cde"}, {"cde", "***"}};
  const auto out = TypeParam::Replace("xxABC", "xxabc", list);
  EXPECT_EQ(out.result.count, 2);
  EXPECT_EQ(out.page, "xx***");
  EXPECT_EQ(out.result.words, "abc,cde");
  // A NOT key whose excluded part was written by an earlier key no longer holds.
  const auto excluded =
      TypeParam::Replace("ab q", "ab q", ReplaceList{{"ab", "q-zz"}, {"zz", "****"}});
  EXPECT_EQ(excluded.result.count, 1);
  EXPECT_EQ(excluded.search, "zz q");
}

TYPED_TEST(RuleSemantics, ReplaceShortWordCheckReadsTheTextBeforeTheCall) {
  // "bc" is created at a character boundary by the first key, but was not in the text before.
  const ReplaceList list{{"xy", "bc"}, {"bc", "**"}};
  const auto out = TypeParam::Replace("xy", "xy", list);
  EXPECT_EQ(out.result.count, 1);
  EXPECT_EQ(out.search, "bc");
}

TYPED_TEST(RuleSemantics, ReplaceSaysWhyNothingWasReplaced) {
  const auto empty = TypeParam::Replace("", "", ReplaceList{{"ab"}, {"**"}});
  EXPECT_EQ(empty.result.outcome, ReplaceOutcome::kNothingToScan);
  EXPECT_EQ(TypeParam::Replace("ab", "ab", ReplaceList{}).result.outcome,
            ReplaceOutcome::kNothingToScan);
  const auto mismatched = TypeParam::Replace("ab", "ab", ReplaceList{{"ab"}, {}});
  EXPECT_EQ(mismatched.result, (Replacements{ReplaceOutcome::kUnevenList, 0, "", std::nullopt}));
  EXPECT_EQ(mismatched.search, "ab");
  // Texts that are not aligned byte for byte are left alone.
  const auto unaligned = TypeParam::Replace("ab", "abab", ReplaceList{{"ab"}, {"**"}});
  EXPECT_EQ(unaligned.result.outcome, ReplaceOutcome::kMisalignedTexts);
  EXPECT_EQ(unaligned.result.count, 0);
  EXPECT_EQ(unaligned.page, "ab");
  // Every key tried, none found.
  const auto none = TypeParam::Replace("xy", "xy", ReplaceList{{"ab"}, {"**"}});
  EXPECT_EQ(none.result, (Replacements{ReplaceOutcome::kScanned, 0, "", std::nullopt}));
}

TYPED_TEST(RuleSemantics, ReplaceValuesAreFittedToTheirKeys) {
  const auto padded = TypeParam::Replace("xabcdx", "xabcdx", ReplaceList{{"abcd"}, {"x***"}});
  EXPECT_EQ(padded.page, "xx***x");
  // Values that do not fit are cut or padded rather than written past the key.
  const auto longer = TypeParam::Replace("xabx", "xabx", ReplaceList{{"ab"}, {"12345"}});
  EXPECT_EQ(longer.page, "x12x");
  const auto shorter = TypeParam::Replace("xabx", "xabx", ReplaceList{{"ab"}, {""}});
  EXPECT_EQ(shorter.page, "x**x");
}

TYPED_TEST(RuleSemantics, EmptyReplaceKeyCountsAtZeroAndChangesNothing) {
  const auto out = TypeParam::Replace("abc", "abc", ReplaceList{{"", "b", ""}, {"", "*", ""}});
  EXPECT_EQ(out.result.count, 3);
  EXPECT_EQ(out.page, "a*c");
  EXPECT_EQ(out.result.words, "b,");
  EXPECT_EQ(out.result.position, 0u);
}

TYPED_TEST(RuleSemantics, AndPartsWithStarsTerminate) {
  // Starring "a*" can create a new "a*" just before it; all of them go.
  const auto out = TypeParam::Replace("aaa*", "aaa*", ReplaceList{{"a*+a"}, {"****"}});
  EXPECT_EQ(out.search, "****");
  EXPECT_EQ(out.result.count, 3);
  // A part of stars only is left alone.
  const auto stars = TypeParam::Replace("a**", "a**", ReplaceList{{"a+**"}, {"****"}});
  EXPECT_EQ(stars.search, "***");
  EXPECT_EQ(stars.result.count, 1);
  EXPECT_EQ(stars.result.words, "");
}

}  // namespace
}  // namespace orv::keywords
