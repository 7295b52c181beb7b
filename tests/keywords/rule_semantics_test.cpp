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
  // Runs MatchRules collecting all rules; returns "matched@position" or "none@position".
  static std::string All(std::string_view text, const KeywordList& list, long position = 7) {
    std::string matched = "stale";
    const bool held = Engine::Match(text, list, matched, position, false);
    return (held ? matched : "none:" + matched) + "@" + std::to_string(position);
  }
  static std::string FirstOnly(std::string_view text, const KeywordList& list) {
    std::string matched;
    long position = 7;
    const bool held = Engine::Match(text, list, matched, position, true);
    return (held ? matched : "none") + "@" + std::to_string(position);
  }
  static std::string Word(std::string_view text, const KeywordList& list) {
    std::string matched = "stale";
    long position = 7;
    const bool found = Engine::First(text, list, matched, position);
    return (found ? matched : "none:" + matched) + "@" + std::to_string(position);
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
            "none:@-1");
  EXPECT_EQ(this->All(kSplitText, {"\xD0"
                                   "c#"}),
            "none:@-1");
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
            "none:@7");
  EXPECT_EQ(this->Word(kSplitText, {"\xD0"
                                    "c",
                                    "b\xD6"}),
            "b\xD6@1");
}

TYPED_TEST(RuleSemantics, AndRules) {
  EXPECT_EQ(this->All("xxAAAxx", {"AAA+BBB"}), "none:@-1");
  EXPECT_EQ(this->All("BBB then AAA", {"AAA+BBB"}), "AAA+BBB@9");
  // A "-" inside an AND rule is an ordinary character.
  EXPECT_EQ(this->All("A-B and C", {"A-B+C"}), "A-B+C@0");
  EXPECT_EQ(this->All("AB and C", {"A-B+C"}), "none:@-1");
  // Parts of at most 2 bytes take the short-word check.
  EXPECT_EQ(this->All(kSplitText + "xyz", {"xyz+\xD0"
                                           "c"}),
            "none:@-1");
  // An empty part occurs at 0; a trailing separator adds no part.
  EXPECT_EQ(this->All("hello", {"+ll"}), "+ll@0");
  EXPECT_EQ(this->All("hello", {"ll+"}), "ll+@2");
}

TYPED_TEST(RuleSemantics, NotRules) {
  const KeywordList rule{"AAA-BBB-CCC"};
  EXPECT_EQ(this->All("xAAAx", rule), "AAA@1");
  EXPECT_EQ(this->All("xAAAxCCC", rule), "none:@-1");
  EXPECT_EQ(this->All("BBBxAAA", rule), "none:@-1");
  // The empty middle part always occurs, so this never holds.
  EXPECT_EQ(this->All("AB", {"A--B"}), "none:@-1");
  EXPECT_EQ(this->All("xyz", {"-AB"}), "@0");
  EXPECT_EQ(this->All("xABz", {"-AB"}), "none:@-1");
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

TYPED_TEST(RuleSemantics, EmptyTextOrListLeavesThePosition) {
  EXPECT_EQ(this->All("", {"ab"}), "none:@7");
  EXPECT_EQ(this->All("ab", {}), "none:@7");
  EXPECT_EQ(this->Word("", {"ab"}), "none:@7");
  EXPECT_EQ(this->Word("ab", {}), "none:@7");
  EXPECT_EQ(this->All("ab", {"cd"}), "none:@-1");
}

TYPED_TEST(RuleSemantics, FindFirstWordTakesListOrderAndWholeEntries) {
  EXPECT_EQ(this->Word("xyz abc", {"abc", "xyz"}), "abc@4");
  EXPECT_EQ(this->Word("a+b", {"a+b"}), "a+b@0");
  EXPECT_EQ(this->Word("aa bb", {"aa+bb", "bb"}), "bb@3");
  EXPECT_EQ(this->Word("nothing", {"abc", "xyz"}), "none:@7");
}

TYPED_TEST(RuleSemantics, PlainReplaceKeyTakesItsFirstOccurrenceOnly) {
  const ReplaceList list{{"abc"}, {"x**"}};
  const auto out = TypeParam::Replace("ABC abc aBc", "abc abc abc", list);
  EXPECT_EQ(out.count, 1);
  EXPECT_EQ(out.page, "x** abc aBc");
  EXPECT_EQ(out.search, "x** abc abc");
  EXPECT_EQ(out.matched, "abc");
  EXPECT_EQ(out.position, 0);
}

TYPED_TEST(RuleSemantics, AndReplaceKeyStarsEveryOccurrenceOfEveryPart) {
  const ReplaceList list{{"ab+cd"}, {"zzzzz"}};
  const auto out = TypeParam::Replace("cd AB ab CD", "cd ab ab cd", list);
  EXPECT_EQ(out.count, 4);
  EXPECT_EQ(out.page, "** ** ** **");
  EXPECT_EQ(out.matched, "ab+cd");
  EXPECT_EQ(out.position, 3);
  // A part already starred away by an earlier part is not counted, nor reported.
  const auto eaten = TypeParam::Replace("abc", "abc", ReplaceList{{"abc+bc"}, {"******"}});
  EXPECT_EQ(eaten.count, 1);
  EXPECT_EQ(eaten.search, "***");
  EXPECT_EQ(eaten.matched, "");
}

TYPED_TEST(RuleSemantics, ReplacementsSeeWhatEarlierKeysLeft) {
  // The first key writes "cde", which the second key then finds.
  const ReplaceList list{{"abc", "cde"}, {"cde", "***"}};
  const auto out = TypeParam::Replace("xxABC", "xxabc", list);
  EXPECT_EQ(out.count, 2);
  EXPECT_EQ(out.page, "xx***");
  EXPECT_EQ(out.matched, "abc,cde");
  // A NOT key whose excluded part was written by an earlier key no longer holds.
  const auto excluded =
      TypeParam::Replace("ab q", "ab q", ReplaceList{{"ab", "q-zz"}, {"zz", "****"}});
  EXPECT_EQ(excluded.count, 1);
  EXPECT_EQ(excluded.search, "zz q");
}

TYPED_TEST(RuleSemantics, ReplaceShortWordCheckReadsTheTextBeforeTheCall) {
  // "bc" is created at a character boundary by the first key, but was not in the text before.
  const ReplaceList list{{"xy", "bc"}, {"bc", "**"}};
  const auto out = TypeParam::Replace("xy", "xy", list);
  EXPECT_EQ(out.count, 1);
  EXPECT_EQ(out.search, "bc");
}

TYPED_TEST(RuleSemantics, ReplaceSpecialReturns) {
  EXPECT_EQ(TypeParam::Replace("", "", ReplaceList{{"ab"}, {"**"}}).count, 1);
  EXPECT_EQ(TypeParam::Replace("ab", "ab", ReplaceList{}).count, 1);
  const auto mismatched = TypeParam::Replace("ab", "ab", ReplaceList{{"ab"}, {}});
  EXPECT_EQ(mismatched.count, 0);
  EXPECT_EQ(mismatched.search, "ab");
  // Texts that are not aligned byte for byte are left alone.
  const auto unaligned = TypeParam::Replace("ab", "abab", ReplaceList{{"ab"}, {"**"}});
  EXPECT_EQ(unaligned.count, 0);
  EXPECT_EQ(unaligned.page, "ab");
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
  EXPECT_EQ(out.count, 3);
  EXPECT_EQ(out.page, "a*c");
  EXPECT_EQ(out.matched, "b,");
  EXPECT_EQ(out.position, 0);
}

TYPED_TEST(RuleSemantics, ReplacePositionIsKeptWhenTheCallerSetIt) {
  const auto out = TypeParam::Replace("xxab", "xxab", ReplaceList{{"ab"}, {"**"}}, 5);
  EXPECT_EQ(out.position, 5);
  EXPECT_EQ(out.count, 1);
}

TYPED_TEST(RuleSemantics, AndPartsWithStarsTerminate) {
  // Starring "a*" can create a new "a*" just before it; all of them go.
  const auto out = TypeParam::Replace("aaa*", "aaa*", ReplaceList{{"a*+a"}, {"****"}});
  EXPECT_EQ(out.search, "****");
  EXPECT_EQ(out.count, 3);
  // A part of stars only is left alone.
  const auto stars = TypeParam::Replace("a**", "a**", ReplaceList{{"a+**"}, {"****"}});
  EXPECT_EQ(stars.search, "***");
  EXPECT_EQ(stars.count, 1);
  EXPECT_EQ(stars.matched, "");
}

}  // namespace
}  // namespace orv::keywords
