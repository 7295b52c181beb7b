#include "platform/ascii.h"

#include <gtest/gtest.h>

#include <string>

namespace orv::ascii {
namespace {

// Bytes next to the letters differ from them by the case bit too: a fold that only clears
// or sets 0x20 would make them equal.
TEST(Ascii, CaseRulesChangeLettersOnly) {
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    const bool upper = b >= 'A' && b <= 'Z';
    const bool lower = b >= 'a' && b <= 'z';
    EXPECT_EQ(LowerChar(c), upper ? static_cast<char>(b + 32) : c) << b;
    EXPECT_EQ(UpperChar(c), lower ? static_cast<char>(b - 32) : c) << b;
  }
  EXPECT_FALSE(EqualsNoCase("@", "`"));
  EXPECT_FALSE(EqualsNoCase("[", "{"));
  EXPECT_FALSE(EqualsNoCase("\xC1", "\xE1"));
  EXPECT_TRUE(EqualsNoCase("Content-Type", "cONTENT-tYPE"));
  EXPECT_FALSE(EqualsNoCase("Content-Type", "Content-Typ"));
  EXPECT_TRUE(EqualsNoCase("", ""));
}

TEST(Ascii, StartsWithNoCaseFoldsBothSides) {
  EXPECT_TRUE(StartsWithNoCase("HTTP://host/", "http://"));
  EXPECT_TRUE(StartsWithNoCase("http://host/", "HTTP://"));
  EXPECT_TRUE(StartsWithNoCase("abc", ""));
  EXPECT_FALSE(StartsWithNoCase("htt", "http"));
  EXPECT_FALSE(StartsWithNoCase("https", "http:"));
}

TEST(Ascii, HexDigitsRoundTripAndRejectEverythingElse) {
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    const bool hex = (b >= '0' && b <= '9') || (b >= 'a' && b <= 'f') || (b >= 'A' && b <= 'F');
    EXPECT_EQ(IsHexDigit(c), hex) << b;
    if (!hex) {
      EXPECT_EQ(HexValue(c), -1) << b;
    }
  }
  for (unsigned v = 0; v < 16; ++v) {
    EXPECT_EQ(HexValue(HexDigitUpper(v)), static_cast<int>(v));
    EXPECT_EQ(HexValue(HexDigitLower(v)), static_cast<int>(v));
  }
  EXPECT_EQ(HexDigitUpper(0xAB >> 4), 'A');
  EXPECT_EQ(HexDigitLower(0xAB), 'b');  // only the low four bits count
  static_assert(HexValue('f') == 15 && HexDigitUpper(12) == 'C');
}

TEST(Ascii, TrimmingKeepsInnerBytes) {
  EXPECT_EQ(TrimBlanks(" \t a b \t "), "a b");
  // Blanks are space and tab only: line ends belong to the value.
  EXPECT_EQ(TrimBlanks("\r\nx\r\n"), "\r\nx\r\n");
  EXPECT_EQ(TrimSpace("\r\n\v\f x y\t\r\n"), "x y");
  EXPECT_EQ(TrimBlanks(" \t "), "");
  EXPECT_EQ(TrimSpace(""), "");
  // 0xA0 is a GBK byte, not white space.
  EXPECT_EQ(TrimSpace("\xA0x\xA0"), "\xA0x\xA0");
}

TEST(Ascii, WholeStringLoweringIsByteWise) {
  EXPECT_EQ(Lower("Get /A?B=\xD6\xD0"), "get /a?b=\xD6\xD0");
  // A trail byte in "A".."Z" is lowered too; the stored lists were built that way.
  EXPECT_EQ(Lower("\x81\x41"), "\x81\x61");
  std::string text(300, 'Q');
  LowerInPlace(text);
  EXPECT_EQ(text, std::string(300, 'q'));
}

}  // namespace
}  // namespace orv::ascii
