#include "keywords/page_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace orv::keywords {
namespace {

std::string Escaped(std::string text) {
  EscapeHtml(text);
  return text;
}

TEST(EscapeHtml, ReplacesTheFiveCharactersAndLeavesAmpersands) {
  EXPECT_EQ(Escaped("a b\"c'd"), "a&nbsp;b&quot;c&amp;d");
  EXPECT_EQ(Escaped("<b>"), "&lt;b&gt;");
  EXPECT_EQ(Escaped("&lt;"), "&lt;");
  EXPECT_EQ(Escaped(""), "");
  // Double-byte text passes untouched, also when a trail byte looks like ASCII.
  EXPECT_EQ(Escaped("\xD6\xD0\x81\x3C"), "\xD6\xD0\x81&lt;");
}

std::string Prefix(std::string_view chunk, std::string start = "old") {
  BlockPagePrefix(chunk, start);
  return start;
}

TEST(BlockPagePrefix, EndsInsideAnOpenSpecialElement) {
  EXPECT_EQ(Prefix("xx<title>yy"), "xx<title>");
  EXPECT_EQ(Prefix("a<style type=\"x\">b"), "a<style");
  // The first element of the table that is open wins, not the first in the chunk.
  EXPECT_EQ(Prefix("<script>x<title>y"), "<script>x<title>");
  // "<title" without its ">" is no title element.
  EXPECT_EQ(Prefix("a<title x>b"), "");
}

TEST(BlockPagePrefix, ClosedElementsFallBackToTheTagRule) {
  EXPECT_EQ(Prefix("xx<title>yy</title>"), "");
  EXPECT_EQ(Prefix("x>xx<title>yy</title>"), "x>");
  EXPECT_EQ(Prefix("href=\"a\">text<b>"), "href=\"a\">");
  EXPECT_EQ(Prefix("text>more"), "");
  EXPECT_EQ(Prefix("<a>b"), "");
}

TEST(BlockPagePrefix, EmptyChunkKeepsThePrefix) {
  EXPECT_EQ(Prefix(""), "old");
}

TEST(MatchExcerpt, WindowOfSixtyBytesShiftedAtTheStart) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += static_cast<char>('0' + i % 10);
  EXPECT_EQ(MatchExcerpt(text, 10), text.substr(0, 60));
  EXPECT_EQ(MatchExcerpt(text, 95), text.substr(65));
  EXPECT_EQ(MatchExcerpt(text, 50), text.substr(20, 60));
  EXPECT_EQ(MatchExcerpt(text, 99), text.substr(69));
}

TEST(MatchExcerpt, OutsideTheTextIsEmpty) {
  EXPECT_EQ(MatchExcerpt("abc", -1), "");
  EXPECT_EQ(MatchExcerpt("abc", 3), "");
  EXPECT_EQ(MatchExcerpt("", 0), "");
  EXPECT_EQ(MatchExcerpt("abc", 0x7FFFFFFF), "");
}

TEST(MatchExcerpt, DropsLineBreaksAndSpaces) {
  EXPECT_EQ(MatchExcerpt("a b\r\nc\td", 2), "abc\td");
}

TEST(LooksLikeUtf8, ChineseTextsOfBothEncodings) {
  // 中文网页 in UTF-8 and in GBK.
  EXPECT_TRUE(LooksLikeUtf8("\xE4\xB8\xAD\xE6\x96\x87\xE7\xBD\x91\xE9\xA1\xB5"));
  EXPECT_FALSE(LooksLikeUtf8("\xD6\xD0\xCE\xC4\xCD\xF8\xD2\xB3"));
  EXPECT_FALSE(LooksLikeUtf8("plain ascii text"));
}

TEST(LooksLikeUtf8, ShortAndTruncatedTexts) {
  EXPECT_FALSE(LooksLikeUtf8(""));
  EXPECT_FALSE(LooksLikeUtf8("\xE4\xB8"));
  // Two full sequences are needed; a cut second one is not read past the end.
  EXPECT_FALSE(LooksLikeUtf8("\xE4\xB8\xAD\xE6\x96"));
  EXPECT_TRUE(LooksLikeUtf8("\xE4\xB8\xAD\xE6\x96\x87"));
  // A four-byte lead needs four bytes left.
  EXPECT_FALSE(LooksLikeUtf8("\xE4\xB8\xAD\xF0\x9F\x98"));
  EXPECT_TRUE(LooksLikeUtf8("\xE4\xB8\xAD\xF0\x9F\x98\x80"));
}

TEST(LooksLikeUtf8, GbkHitsDecideBeforeALateUtf8Sequence) {
  std::string text = "\xD6\xD0\xCE\xC4\xCD\xF8\xD2\xB3";  // four GBK pairs
  text += "\xE4\xB8\xAD\xE6\x96\x87";
  EXPECT_FALSE(LooksLikeUtf8(text));
}

TEST(IsPureAscii, ControlRangeAndEmpty) {
  EXPECT_FALSE(IsPureAscii(""));
  EXPECT_TRUE(IsPureAscii("abc\x01\x7F"));
  EXPECT_FALSE(IsPureAscii(std::string("a\0b", 3)));
  EXPECT_FALSE(IsPureAscii("a\x80"));
}

TEST(UrlDecode, EscapesAndPlus) {
  EXPECT_EQ(UrlDecode("a%2Bb+c"), "a+b c");
  EXPECT_EQ(UrlDecode("%e4%B8%ad"), "\xE4\xB8\xAD");
  EXPECT_EQ(UrlDecode(""), "");
}

TEST(UrlDecode, InvalidDigits) {
  EXPECT_EQ(UrlDecode("%zz"), "\xFF");
  EXPECT_EQ(UrlDecode("%z1"), "\xF1");  // a bad first digit counts as 15
  EXPECT_EQ(UrlDecode("%1zx"), "\xFFx");
}

TEST(UrlDecode, PercentAtTheEndStopsWithoutReadingPast) {
  EXPECT_EQ(UrlDecode("50%"), "50\xFF");
  EXPECT_EQ(UrlDecode("50%4"), "50\xFF");
  EXPECT_EQ(UrlDecode("%"), "\xFF");
  // The text behind the view is never read.
  const std::string backing = "ab%41";
  EXPECT_EQ(UrlDecode(std::string_view(backing).substr(0, 4)), "ab\xFF");
}

// Byte by byte, as the decode is defined; the real one copies plain runs whole.
std::string DecodeByteWise(std::string_view text) {
  const auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] != '%') {
      out += text[i];
    } else if (text.size() - i < 3) {
      out += '\xFF';
      break;
    } else {
      const int high = hex(text[i + 1]);
      const int low = hex(text[i + 2]);
      out += static_cast<char>(low < 0 ? 0xFF : ((high < 0 ? 15 : high) << 4) | low);
      i += 2;
    }
  }
  return out;
}

TEST(UrlDecode, EscapesThatSwallowPlusOrPercentAsDigits) {
  EXPECT_EQ(UrlDecode("%+1a+"),
            "\xF1"
            "a ");
  EXPECT_EQ(UrlDecode("%%41"),
            "\xF4"
            "1");
  EXPECT_EQ(UrlDecode("%4%+"), "\xFF ");
  EXPECT_EQ(UrlDecode("++%"), "  \xFF");
}

// The lower-cased form is checked with it: escapes of capitals ("%41") and capitals in the
// text are lowered, hex digits of either case decode alike.
// Short texts dense with escapes, and longer ones where escapes are sparse and fall at every
// place of a sixteen-byte step and near the end.
TEST(UrlDecode, AgreesWithTheByteWiseDecodeOnMixedTexts) {
  constexpr std::string_view kDense = "%%++24aF0zgQ \xB0\xA1";
  constexpr std::string_view kSparse = "%+abcdefghijklQRSTUVWXYZ0123456789<>=\" \xB0\xA1\xE4";
  // The forms into a kept buffer see texts longer and shorter than the one before, so the
  // buffer is grown, and left longer than the text with the last text's bytes behind.
  std::string kept;
  std::string keptCopy;
  std::uint32_t seed = 12345;
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    seed = seed * 1103515245u + 12345u;
    const bool sparse = round % 4 == 0;
    const std::string_view alphabet = sparse ? kSparse : kDense;
    const std::size_t length = sparse ? 16 + (seed >> 16) % 120 : (seed >> 16) % 24;
    for (std::size_t i = 0; i < length; ++i) {
      seed = seed * 1103515245u + 12345u;
      text += alphabet[(seed >> 16) % alphabet.size()];
    }
    std::string want = DecodeByteWise(text);
    ASSERT_EQ(UrlDecode(text), want) << text;
    codepage::LowerAsciiInPlace(want);
    ASSERT_EQ(UrlDecodeLowered(text), want) << text;
    ASSERT_EQ(UrlDecodeLoweredInto(text, kept), want) << text;
    ASSERT_EQ(LowerAsciiCopyInto(text, keptCopy), LowerAsciiCopy(text)) << text;
  }
}

TEST(LowerAsciiBytes, ChangesExactlyTheCapitalsAtEveryOffsetAndLength) {
  // LowerAsciiCopy must agree with the in-place form byte for byte.
  // Every byte value at every place of an eight-byte step and of the tail.
  for (std::size_t length = 1; length <= 19; ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      for (int value = 0; value < 256; ++value) {
        std::string text(length, '@');
        text[at] = static_cast<char>(value);
        std::string want = text;
        codepage::LowerAsciiInPlace(want);
        ASSERT_EQ(LowerAsciiCopy(text), want) << length << " " << at << " " << value;
        LowerAsciiBytes(text);
        ASSERT_EQ(text, want) << length << " " << at << " " << value;
      }
    }
  }
  std::string mixed = "GET /Index.HTML?Q=Z\xC4\xE3\xBA\xC3[`@AZaz{";
  EXPECT_EQ(LowerAsciiCopy(mixed), "get /index.html?q=z\xC4\xE3\xBA\xC3[`@azaz{");
  LowerAsciiBytes(mixed);
  EXPECT_EQ(mixed, "get /index.html?q=z\xC4\xE3\xBA\xC3[`@azaz{");
  EXPECT_EQ(LowerAsciiCopy(""), "");
}

}  // namespace
}  // namespace orv::keywords
