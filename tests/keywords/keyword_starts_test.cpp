#include "keywords/keyword_starts.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>

namespace orv::keywords {
namespace {

KeywordStarts Index(const KeywordList& rules) {
  KeywordStarts starts;
  starts.AddRules(rules);
  starts.Seal();
  return starts;
}

TEST(KeywordStarts, KeepsTheLongestEndAWordBeginsIn) {
  const KeywordStarts starts = Index({"forbiddenword", "forbade", "ab"});
  EXPECT_EQ(starts.HeldTail("some text forbid"), 6u);
  EXPECT_EQ(starts.HeldTail("some text FORBIDDENWO"), 11u);  // the page's case does not matter
  EXPECT_EQ(starts.HeldTail("some text a"), 1u);
  // A whole word was screened where it stands; only a longer word could go on from it.
  EXPECT_EQ(starts.HeldTail("some text forbade"), 0u);
  EXPECT_EQ(starts.HeldTail("some text xyz"), 0u);
  EXPECT_EQ(starts.HeldTail(""), 0u);
  EXPECT_EQ(starts.HeldTail("f"), 1u);
  EXPECT_EQ(Index({}).HeldTail("forbid"), 0u);
}

TEST(KeywordStarts, PartsOfAndAndNotRulesCountOnTheirOwn) {
  const KeywordStarts starts = Index({"alpha+bravo", "charlie-delta", "x-ray+echo"});
  EXPECT_EQ(starts.HeldTail("... brav"), 4u);
  EXPECT_EQ(starts.HeldTail("... del"), 3u);
  EXPECT_EQ(starts.HeldTail("... x-r"), 3u);  // "-" is a character of an AND rule's part
  EXPECT_EQ(starts.HeldTail("... alpha+br"), 2u);
  EXPECT_EQ(starts.LongestPart(), 7u);
}

TEST(KeywordStarts, EscapedSpellingsAreKeptFromTheirFirstEscape) {
  // The screen finds "禁词" (UTF-8 e7 a6 81 e8 af 8d) in a page that spells it in escapes.
  const KeywordStarts starts = Index({"\xe7\xa6\x81\xe8\xaf\x8d", "bad word"});
  const std::string page = "<p>text ";
  EXPECT_EQ(starts.HeldTail(page + "%E7%A6%81%E8"), 12u);
  EXPECT_EQ(starts.HeldTail(page + "%e7%a6"), 6u);
  EXPECT_EQ(starts.HeldTail(page + "%E7%A"), 5u);  // an escape cut off is kept with it
  EXPECT_EQ(starts.HeldTail(page + "100%"), 1u);
  EXPECT_EQ(starts.HeldTail(page + "%25E7%25A6"), 10u);  // escaped twice
  EXPECT_EQ(starts.HeldTail(page + "%25E7%2"), 7u);
  EXPECT_EQ(starts.HeldTail(page + "bad+wo"), 6u);  // "+" reads as a blank
  EXPECT_EQ(starts.HeldTail(page + "%41%42%43"), 0u);
}

TEST(KeywordStarts, NeverKeepsFromTheSecondByteOfACharacter) {
  // GBK "中" is d6 d0. The word "\xd0x" begins on the second byte of the last character, which
  // the next screen would read as a lead byte: the whole character is kept instead.
  const KeywordStarts starts = Index({"\xd0xyz"});
  EXPECT_EQ(starts.HeldTail("ab\xd6\xd0"), 2u);
  EXPECT_EQ(starts.HeldTail("a\xd6\xd0\xd0"), 1u);  // d6 d0 is one character, d0 starts the next
}

// Against the definition: the longest lowered suffix shorter than some part that the part
// begins with.
TEST(KeywordStarts, AgreesWithTheDefinitionOnRandomPages) {
  std::mt19937 random(11);
  auto text = [&](std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) out += "abcAB "[random() % 6];
    return out;
  };
  for (int round = 0; round < 200; ++round) {
    KeywordList words;
    for (int i = 0; i < 5; ++i) {
      std::string word = text(2 + random() % 6);
      for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      words.push_back(word);
    }
    const KeywordStarts starts = Index(words);
    const std::string page = text(random() % 12);
    std::string lowered = page;
    for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::size_t expected = 0;
    for (std::size_t k = 1; k <= lowered.size(); ++k)
      for (const std::string& word : words)
        if (k < word.size() && word.compare(0, k, lowered, lowered.size() - k, k) == 0)
          expected = k;
    EXPECT_EQ(starts.HeldTail(page), expected) << page;
  }
}

}  // namespace
}  // namespace orv::keywords
