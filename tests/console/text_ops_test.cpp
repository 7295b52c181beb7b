#include "console/foundation/text_ops.h"

#include <gtest/gtest.h>

#include <ctime>
#include <list>
#include <string>
#include <vector>

namespace orv::console {
namespace {

using Pieces = std::vector<std::string>;

TEST(SplitText, DropsShortPiecesAndKeepsOrder) {
  Pieces pieces;
  EXPECT_EQ(SplitText("a\t\tbb\tccc", "\t", pieces, true, 1), 3u);
  EXPECT_EQ(pieces, (Pieces{"a", "bb", "ccc"}));
  EXPECT_EQ(SplitText("a\t\tbb\tccc", "\t", pieces, true, 2), 2u);
  EXPECT_EQ(pieces, (Pieces{"bb", "ccc"}));
  // 0 means 2; a trailing empty piece vanishes; multi-byte delimiters.
  EXPECT_EQ(SplitText("@@ab@@c@@def@@", "@@", pieces, true, 0), 2u);
  EXPECT_EQ(pieces, (Pieces{"ab", "def"}));
}

TEST(SplitText, ClearFlagAndEmptyDelimiter) {
  Pieces pieces{"old"};
  EXPECT_EQ(SplitText("xx|yy", "|", pieces, false, 1), 2u);
  EXPECT_EQ(pieces, (Pieces{"old", "xx", "yy"}));
  EXPECT_EQ(SplitText("whole", "", pieces, true, 1), 1u);
  EXPECT_EQ(pieces, (Pieces{"whole"}));
  EXPECT_EQ(SplitText("w", "", pieces, true, 0), 0u);
  EXPECT_TRUE(pieces.empty());
}

TEST(SplitText, ListFormFillsTheSamePieces) {
  std::list<std::string> pieces{"old"};
  EXPECT_EQ(SplitText("\xB7\xC7\xB7\xA8|ab|c", "|", pieces, true, 2), 2u);
  EXPECT_EQ(pieces, (std::list<std::string>{"\xB7\xC7\xB7\xA8", "ab"}));
  EXPECT_EQ(SplitText("de", "|", pieces, false, 2), 1u);
  EXPECT_EQ(pieces.back(), "de");
}

TEST(SplitText, ATrailByteNeverStartsADelimiter) {
  // 丂 is 0x81 0x40 and 晐 is 0x95 0x7C: their trail bytes are "@" and "|".
  std::vector<std::string> pieces;
  EXPECT_EQ(SplitText("ab\x81\x40@@cd", "@@", pieces, true, 1), 2u);
  EXPECT_EQ(pieces, (std::vector<std::string>{"ab\x81\x40", "cd"}));
  EXPECT_EQ(SplitText("/a\x95\x7C|/b", "|", pieces, true, 1), 2u);
  EXPECT_EQ(pieces, (std::vector<std::string>{"/a\x95\x7C", "/b"}));
  // A line break still ends a line after a stray lead byte.
  EXPECT_EQ(SplitText("abc\x81\r\ndef", "\r\n", pieces, true, 3), 2u);
}

TEST(TextBetween, FirstMarkersInOrderOnly) {
  EXPECT_EQ(TextBetween("x<s>1<e>", "<s>", "<e>"), "1");
  EXPECT_EQ(TextBetween("<e>x<s>1", "<s>", "<e>"), "");
  EXPECT_EQ(TextBetween("<s><e>", "<s>", "<e>"), "");
  EXPECT_EQ(TextBetween("<s>a<e>b<e>", "<s>", "<e>"), "a");
  EXPECT_EQ(TextBetween("<s>a", "<s>", "<e>"), "");
  EXPECT_EQ(TextBetween("", "<s>", "<e>"), "");
  EXPECT_EQ(TextBetween("<s>a<e>", "", "<e>"), "");
  // The end marker's first occurrence decides, even inside the start marker's text.
  EXPECT_EQ(TextBetween("<u>ab</u>", "<u>", "u>"), "");
}

TEST(ReplaceBetween, AppendsThenReplacesOnlyTheSection) {
  std::string text = "head";
  ASSERT_TRUE(ReplaceBetween(text, "one", "<s>", "<e>"));
  EXPECT_EQ(text, "head<s>one<e>");
  text += "tail";
  ASSERT_TRUE(ReplaceBetween(text, "two", "<s>", "<e>"));
  EXPECT_EQ(text, "head<s>two<e>tail");
  EXPECT_FALSE(ReplaceBetween(text, "x", "", "<e>"));
  EXPECT_FALSE(ReplaceBetween(text, "x", "<s>", ""));
  EXPECT_EQ(text, "head<s>two<e>tail");
}

TEST(ReplaceBetween, DamagedTextsReadBackAsTheNewContent) {
  std::string onlyEnd = "a<e>b";
  ASSERT_TRUE(ReplaceBetween(onlyEnd, "new", "<s>", "<e>"));
  EXPECT_EQ(onlyEnd, "a<s>new<e>b");

  std::string onlyStart = "a<s>old and cut";
  ASSERT_TRUE(ReplaceBetween(onlyStart, "new", "<s>", "<e>"));
  EXPECT_EQ(onlyStart, "a<s>new<e>");

  std::string reversed = "<e>x<s>y";
  ASSERT_TRUE(ReplaceBetween(reversed, "new", "<s>", "<e>"));
  EXPECT_EQ(TextBetween(reversed, "<s>", "<e>"), "new");
  EXPECT_EQ(reversed, "<s>new<e>x<s>y");
}

TEST(FindAndCount, BytePositionsAndOverlaps) {
  EXPECT_EQ(FindText("abcabc", "ca"), 3u);
  EXPECT_EQ(FindText("abc", "a"), 1u);
  EXPECT_EQ(FindText("abc", "x"), 0u);
  EXPECT_EQ(FindText("abc", ""), 0u);
  EXPECT_EQ(CountOccurrences("aaaa", "aa"), 3u);
  EXPECT_EQ(CountOccurrences("abab", "ab"), 2u);
  EXPECT_EQ(CountOccurrences("abc", ""), 0u);
  EXPECT_EQ(CountOccurrences("", "a"), 0u);
}

TEST(RandomText, AlphabetLengthAndSameSecondSameText) {
  for (;;) {
    const std::time_t before = std::time(nullptr);
    const std::string first = RandomText(12);
    const std::string second = RandomText(12);
    if (std::time(nullptr) != before) {
      continue;  // a second boundary passed between the calls; try again
    }
    EXPECT_EQ(first, second);
    break;
  }
  const std::string text = RandomText(200);
  ASSERT_EQ(text.size(), 200u);
  for (char c : text) {
    EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) << c;
  }
  EXPECT_EQ(RandomText(0), "");
}

}  // namespace
}  // namespace orv::console
