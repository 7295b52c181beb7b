#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace orv::codepage {
namespace {

std::string Pair(unsigned lead, unsigned trail) {
  return {static_cast<char>(lead), static_cast<char>(trail)};
}

// The UTF-8 encoding of one BMP code point, written independently of the converter.
std::string Utf8Of(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return out;
}

TEST(CodePage, EveryDefinedDoubleByteCharacterSurvivesTheRoundTrip) {
  int defined = 0;
  int failures = 0;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      char32_t cp = 0;
      if (!DecodePair(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail), cp)) {
        continue;
      }
      ++defined;
      const std::string gbk = Pair(lead, trail);
      const std::string utf8 = AnsiToUtf8(gbk);
      if (utf8 != Utf8Of(cp) || Utf8ToAnsi(utf8) != gbk) {
        if (++failures <= 10) ADD_FAILURE() << std::hex << "pair " << lead << " " << trail;
      }
    }
  }
  EXPECT_EQ(failures, 0);
  // GBK defines 21886 characters; all but ASCII and the euro sign are double-byte.
  EXPECT_GT(defined, 21000);
}

TEST(CodePage, KnownCharactersMapToTheirCodePoints) {
  struct Known {
    unsigned lead, trail;
    char32_t cp;
  };
  const Known known[] = {
      {0xD6, 0xD0, 0x4E2D},  // 中
      {0xCE, 0xC4, 0x6587},  // 文
      {0xB7, 0xC7, 0x975E},  // 非
      {0xA1, 0xA1, 0x3000},  // ideographic space
      {0xA1, 0xA4, 0x00B7},  // middle dot
      {0xA3, 0xC1, 0xFF21},  // fullwidth A
      {0x81, 0x40, 0x4E02},  // first GBK extension character
  };
  for (const Known& k : known) {
    char32_t cp = 0;
    ASSERT_TRUE(
        DecodePair(static_cast<unsigned char>(k.lead), static_cast<unsigned char>(k.trail), cp));
    EXPECT_EQ(cp, k.cp);
    EXPECT_EQ(AnsiToUtf8(Pair(k.lead, k.trail)), Utf8Of(k.cp));
    EXPECT_EQ(Utf8ToAnsi(Utf8Of(k.cp)), Pair(k.lead, k.trail));
  }
  // The euro sign is the single byte 0x80 in both directions.
  EXPECT_EQ(AnsiToUtf8("\x80"), "\xE2\x82\xAC");
  EXPECT_EQ(Utf8ToAnsi("\xE2\x82\xAC"), "\x80");
  // Mixed text keeps its ASCII as it is.
  EXPECT_EQ(AnsiToUtf8("a\xD6\xD0z"), "a\xE4\xB8\xADz");
}

TEST(CodePage, BrokenGbkGivesQuestionMarksWithoutOverreading) {
  EXPECT_EQ(AnsiToUtf8(""), "");
  EXPECT_EQ(AnsiToUtf8("\xD6"), "?");  // lead byte at the end
  EXPECT_EQ(AnsiToUtf8("\xD6"
                       "0"),
            "?0");                             // lead byte before a byte that cannot trail
  EXPECT_EQ(AnsiToUtf8("\xD6\x7F"), "?\x7F");  // 0x7F is never a trail byte
  EXPECT_EQ(AnsiToUtf8("\xFF"
                       "a"),
            "?a");
  // A lead byte that eats a lead byte as its trail: the pair decides, then reading goes on.
  const std::string text = AnsiToUtf8("\xD6\xD6\xD0");
  EXPECT_EQ(text.back(), '?');
  // A view into a larger buffer: nothing past its end is read.
  const std::string buffer = "\xD6\xD0";
  EXPECT_EQ(AnsiToUtf8(std::string_view(buffer.data(), 1)), "?");
}

TEST(CodePage, BrokenOrForeignUtf8GivesQuestionMarks) {
  EXPECT_EQ(Utf8ToAnsi("\xE4\xB8"), "??");            // truncated 中
  EXPECT_EQ(Utf8ToAnsi("\xC0\xAF"), "??");            // overlong "/"
  EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "???");       // surrogate
  EXPECT_EQ(Utf8ToAnsi("\xF4\x90\x80\x80"), "????");  // beyond U+10FFFF
  EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80"), "?");     // emoji: no GBK form
  EXPECT_EQ(Utf8ToAnsi("\xEA\xB0\x80"), "?");         // Hangul: no GBK form
  EXPECT_EQ(Utf8ToAnsi("a\x80"
                       "b"),
            "a?b");  // stray continuation byte
  EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD"
                       "a"),
            "\xD6\xD0"
            "a");
}

TEST(CodePage, LowerCasingTouchesAsciiLettersOnlyTrailBytesIncluded) {
  EXPECT_EQ(LowerAscii("AbZ@[`{"), "abz@[`{");
  // 0x81 0x41 is a double-byte character whose trail byte is "A"; it is lowered byte-wise.
  EXPECT_EQ(LowerAscii("\x81\x41"), "\x81\x61");
  EXPECT_EQ(LowerAscii("\xD6\xD0\xC1"), "\xD6\xD0\xC1");
  std::string text = "HeLLo";
  LowerAsciiInPlace(text);
  EXPECT_EQ(text, "hello");
}

TEST(CodePage, SingleByteLoweringKeepsTrailBytes) {
  // "\x81\x41" is one character whose trail byte reads as "A": it must survive as it is,
  // while the letters around it are lowered.
  EXPECT_EQ(LowerSingleBytes("Q\x81\x41Z"), "q\x81\x41z");
  // Counting starts at the front: "\xC1" here is a trail byte, so "A" after it is a letter.
  EXPECT_EQ(LowerSingleBytes("\xD6\xC1"
                             "A"),
            "\xD6\xC1"
            "a");
  // A lead byte at the very end has no trail to protect.
  EXPECT_EQ(LowerSingleBytes("AB\x81"), "ab\x81");
  EXPECT_EQ(LowerSingleBytes(""), "");
  std::string out = "left over";
  LowerSingleBytesInto("X", out);
  EXPECT_EQ(out, "x");
}

TEST(CodePage, CharacterAwareSearchNeverStartsOnATrailByte) {
  const std::string text =
      "ab\xD6\xD0"
      "c";  // "ab中c"
  EXPECT_EQ(FindCharAware(text,
                          "\xD0"
                          "c"),
            std::string_view::npos);
  EXPECT_EQ(FindCharAware(text, "\xD6\xD0"), 2u);
  EXPECT_EQ(FindCharAware(text, "c"), 4u);
  // "中中" holds the bytes D0 D6 across the character boundary; they are no character.
  EXPECT_EQ(FindCharAware("\xD6\xD0\xD6\xD0", "\xD0\xD6"), std::string_view::npos);
  // Trail bytes in the ASCII range ("A" = 0x41) are not matches for the letter.
  EXPECT_EQ(FindCharAware("\x81\x41"
                          "A",
                          "A"),
            2u);
  // Starting later finds later occurrences; an empty word is found where the search starts.
  EXPECT_EQ(FindCharAware("abab", "ab", 1), 2u);
  EXPECT_EQ(FindCharAware("abc", "", 2), 2u);
  EXPECT_EQ(FindCharAware("abc", "", 4), std::string_view::npos);
  EXPECT_EQ(FindCharAware("abc", "abcd"), std::string_view::npos);
  // A lead byte at the very end does not carry the walk past the text.
  EXPECT_EQ(FindCharAware("a\xD6", "\xD6"), 1u);
  EXPECT_EQ(FindCharAware("a\xD6", "x"), std::string_view::npos);
}

}  // namespace
}  // namespace orv::codepage
