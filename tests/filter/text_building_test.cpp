// Placeholders, starred keywords, event lines and the charset examination.
#include <gtest/gtest.h>

#include <iterator>
#include <random>

#include "filter/charset_cache.h"
#include "filter/event_line.h"
#include "filter/placeholders.h"
#include "filter_test_support.h"

namespace orv::filter {
namespace {

TEST(FillPlaceholders, ReplacesEveryOccurrenceInOnePass) {
  EXPECT_EQ(FillPlaceholders("%a% and %a%, %b%%", {{"%a%", "1"}, {"%b%", "2"}}), "1 and 1, 2%");
  // A value holding a placeholder is not filled again.
  EXPECT_EQ(FillPlaceholders("%url% %stop%", {{"%url%", "x%stop%"}, {"%stop%", "S"}}), "x%stop% S");
  EXPECT_EQ(FillPlaceholders("100% sure", {{"%a%", "1"}}), "100% sure");
}

TEST(StarKeyword, StarsBetweenCharactersCountingDoubleBytes) {
  EXPECT_EQ(StarKeyword("abc"), "a*b*c");
  EXPECT_EQ(StarKeyword("\xBD\xFB\xD3\xEF"), "\xBD\xFB*\xD3\xEF");
  EXPECT_EQ(StarKeyword("a\xBD\xFB"), "a*\xBD\xFB");
  EXPECT_EQ(StarKeyword("a\xBD"), "a*\xBD") << "a lone lead byte at the end";
  EXPECT_EQ(StarKeyword(""), "");
  EXPECT_EQ(StarKeyword("x"), "x");
}

TEST(BuildEventLine, SevenFieldsWhateverTheClientSent) {
  EventFields fields{EventKind::Deny, "GET",          "key\tword", "2012-10-31 9:5:7",
                     "1.2.3.4\r\n",   "host/a\tb\nc", "re fer\t!"};
  const std::string line = BuildEventLine(store::kLogLineTemplate, fields);
  EXPECT_EQ(line, std::string("2012-10-31 9:5:7\t") + std::string(testing::kDenyKind) +
                      "\tGET\tkeyword\t1.2.3.4\thost/abc\trefer!");
  fields.referWithoutBlanks = false;
  fields.refer = std::string_view("a b\0c", 5);
  EXPECT_EQ(testing::Fields(BuildEventLine(store::kLogLineTemplate, fields)).back(), "a bc");
}

TEST(BuildEventLine, KindTextsAreGbk) {
  EventFields fields{EventKind::Replace, "GET", "k", "t", "i", "u", "r"};
  EXPECT_EQ(BuildEventLine("%kind%", fields), testing::kReplaceKind);
  fields.kind = EventKind::Record;
  EXPECT_EQ(BuildEventLine("%kind%|%method%", fields), std::string(testing::kRecordKind) + "|GET");
}

TEST(DecodedContext, DecodesOnlyWhenItHoldsAPercent) {
  EXPECT_EQ(DecodedContext("a+b"), "a+b");
  EXPECT_EQ(DecodedContext("a%20b+c"), "a b c");
}

TEST(ExamineCharset, StatusLineAndCharsetPositionDecide) {
  EXPECT_EQ(ExamineCharset("<html>charset=utf-8"), CharsetCode::NotExaminable);
  EXPECT_EQ(ExamineCharset("http/1.1 404 not found\r\ncharset=utf-8"), CharsetCode::NotExaminable);
  EXPECT_EQ(ExamineCharset("http/1.0 500 x"), CharsetCode::NotExaminable);
  EXPECT_EQ(ExamineCharset("http/1.1 200 ok\r\n\r\n<html>"), CharsetCode::Unnamed);
  EXPECT_EQ(ExamineCharset("http/1.1 200 ok\r\ncharset=utf-8\r\n\r\n<html>charset=gbk"),
            CharsetCode::Utf8);
  EXPECT_EQ(ExamineCharset("http/1.1 200 ok\r\ncharset=gbk\r\n\r\n<html>charset=utf-8"),
            CharsetCode::Gbk);
  // Named only after <html>: the order utf-8, gb2312, gbk, big5 decides, not the position.
  EXPECT_EQ(ExamineCharset("http/1.1 200 ok\r\n\r\n<html>charset=big5 charset=gb2312"),
            CharsetCode::Gb2312);
  // "<html lang=...>" is not "<html>": the whole text counts.
  EXPECT_EQ(ExamineCharset("http/1.0 200 ok\r\n\r\n<html lang=zh>charset=big5"), CharsetCode::Big5);
  EXPECT_EQ(ExamineCharset("http/1.1 200 ok\r\ncharset=iso-8859-1"), CharsetCode::Unnamed);
}

// The examination read literally: every name looked for over the whole text. The one above
// visits the places "charset=" occurs instead; both must agree on any page.
CharsetCode ExamineCharsetLiterally(std::string_view text) {
  constexpr std::size_t kNone = std::string_view::npos;
  if (!StartsWithPageStatusLine(text)) return CharsetCode::NotExaminable;
  if (text.find("charset=") == kNone) return CharsetCode::Unnamed;
  const std::size_t positions[] = {text.find("charset=utf-8"), text.find("charset=gb2312"),
                                   text.find("charset=gbk"), text.find("charset=big5")};
  const CharsetCode codes[] = {CharsetCode::Utf8, CharsetCode::Gb2312, CharsetCode::Gbk,
                               CharsetCode::Big5};
  const std::size_t html = text.find("<html>");
  if (html != kNone) {
    for (int i = 0; i < 4; ++i)
      if (positions[i] != kNone && positions[i] < html) return codes[i];
  }
  for (int i = 0; i < 4; ++i)
    if (positions[i] != kNone) return codes[i];
  return CharsetCode::Unnamed;
}

TEST(ExamineCharset, AgreesWithTheLiteralReadingOnAnyPage) {
  const std::string_view pieces[] = {
      "charset=",     "charset=utf-8", "charset=gb2312", "charset=gbk",
      "charset=big5", "<html>",        "<html lang=x>",  "charset=charset=gbk",
      "utf-8",        " text ",        "<html",          "charset=gb"};
  std::mt19937 random(11);
  for (int round = 0; round < 20000; ++round) {
    std::string text = round % 7 == 0 ? "http/1.1 404 x\r\n" : "http/1.1 200 ok\r\n";
    const int count = static_cast<int>(random() % 8);
    for (int i = 0; i < count; ++i) text += pieces[random() % std::size(pieces)];
    ASSERT_EQ(ExamineCharset(text), ExamineCharsetLiterally(text)) << text;
  }
}

TEST(ExamineCharset, FindsTheNameAtAnyOffsetAmongLookAlikes) {
  // Pages full of "c" and "=" (and of words that begin or end like the name) must not hide
  // a name at any offset from the start of a long text, up to its very end.
  const std::string filler = "c=cc charset charset:=c x=y charse=t ";
  for (std::size_t offset = 0; offset < 80; ++offset) {
    for (const char* name : {"gbk", "big5", "utf-8"}) {
      std::string text = "http/1.1 200 ok\r\n";
      while (text.size() < 200 + offset) text += filler;
      text.resize(200 + offset);
      text += std::string("charset=") + name;
      if (offset % 2 == 0) text += filler;
      ASSERT_EQ(ExamineCharset(text), ExamineCharsetLiterally(text)) << offset << name;
      ASSERT_NE(ExamineCharset(text), CharsetCode::Unnamed) << offset << name;
    }
  }
}

TEST(CharsetCache, FirstExaminableChunkOfAPathDecides) {
  CharsetCache cache;
  EXPECT_EQ(cache.Lookup("", "http/1.1 200 ok charset=utf-8"), CharsetCode::NotExaminable);
  EXPECT_EQ(cache.Lookup("h/a", ""), CharsetCode::NotExaminable);
  EXPECT_EQ(cache.Lookup("h/a", "later chunk"), CharsetCode::NotExaminable);
  EXPECT_EQ(cache.Size(), 0u) << "not examinable is not cached";
  EXPECT_EQ(cache.Lookup("h/a", "http/1.1 200 ok charset=utf-8"), CharsetCode::Utf8);
  EXPECT_EQ(cache.Lookup("h/a", "later chunk"), CharsetCode::Utf8);
  EXPECT_EQ(cache.Lookup("h/a", "http/1.1 200 ok charset=gbk"), CharsetCode::Utf8);
  EXPECT_EQ(cache.Size(), 1u);
}

TEST(CharsetCache, FullTableStopsAddingButStillAnswers) {
  CharsetCache cache;
  for (std::size_t i = 0; i < CharsetCache::kCapacity; ++i) {
    cache.Lookup("h/" + std::to_string(i), "http/1.1 200 ok charset=gbk");
  }
  EXPECT_EQ(cache.Size(), CharsetCache::kCapacity);
  EXPECT_EQ(cache.Lookup("h/new", "http/1.1 200 ok charset=utf-8"), CharsetCode::Utf8);
  EXPECT_EQ(cache.Lookup("h/new", "later chunk"), CharsetCode::NotExaminable);
  EXPECT_EQ(cache.Size(), CharsetCache::kCapacity);
  EXPECT_EQ(cache.Lookup("h/0", "later chunk"), CharsetCode::Gbk) << "cached paths still answer";
}

}  // namespace
}  // namespace orv::filter
