#include "store/keyword_database.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "tests/support/temp_folder.h"

namespace orv::store {
namespace {

using keywords::KeywordList;
using orv::testing::CountEntries;
using orv::testing::ReadBytes;
using orv::testing::TempFolder;

TEST(KeywordDatabaseText, SectionsAreFoundByTheFirstTagsInOrder) {
  const std::string text =
      "<OrvKeyDeny>a@@b</OrvKeyDeny><OrvKeyRepl>x=y</OrvKeyRepl>"
      "<OrvKeyDeny>second</OrvKeyDeny>";
  EXPECT_EQ(ExtractSection(text, Section::Deny), "a@@b");
  EXPECT_EQ(ExtractSection(text, Section::Replace), "x=y");
  EXPECT_EQ(ExtractSection(text, Section::Record), "");
  EXPECT_EQ(ExtractSection("<OrvKeyFree></OrvKeyFree>", Section::Free), "");
  // A closing tag inside another section before the opening tag empties the section.
  EXPECT_EQ(ExtractSection("<OrvKeyRepl></KeyWordsJilu></OrvKeyRepl><KeyWordsJilu>r</KeyWordsJilu>",
                           Section::Record),
            "");
  EXPECT_EQ(ExtractSection("<OrvKeyDeny>never closed", Section::Deny), "");
  // Tags match with case.
  EXPECT_EQ(ExtractSection("<orvkeydeny>a</orvkeydeny>", Section::Deny), "");
}

TEST(KeywordDatabaseText, LinesAreJoinedWithNothingBetween) {
  EXPECT_EQ(JoinLines("<OrvKeyDeny>ab\r\ncd@@e\nf</OrvKeyDeny>\r\n"),
            "<OrvKeyDeny>abcd@@ef</OrvKeyDeny>");
  EXPECT_EQ(JoinLines("a\rb"), "a\rb");  // a lone CR is no line end
}

TEST(KeywordDatabaseText, SetSectionCoversEveryArrangementOfTags) {
  // Neither tag: appended.
  std::string text = "<OrvKeyDeny>d</OrvKeyDeny>";
  ReplaceSection(text, Section::Free, "f1@@f2");
  EXPECT_EQ(text, "<OrvKeyDeny>d</OrvKeyDeny><OrvKeyFree>f1@@f2</OrvKeyFree>");
  // Both tags: only the text between changes.
  ReplaceSection(text, Section::Deny, "");
  EXPECT_EQ(text, "<OrvKeyDeny></OrvKeyDeny><OrvKeyFree>f1@@f2</OrvKeyFree>");
  // Only the closing tag: the opening tag and text go in front of it.
  text = "head</OrvKeyRepl>tail";
  ReplaceSection(text, Section::Replace, "k=v");
  EXPECT_EQ(text, "head<OrvKeyRepl>k=v</OrvKeyRepl>tail");
  // Only the opening tag (damaged file): none of the old text after it survives.
  text = "<OrvKeyFree>f</OrvKeyFree><OrvKeyDeny>old@@words<KeyWordsJilu>r";
  ReplaceSection(text, Section::Deny, "new");
  EXPECT_EQ(text, "<OrvKeyFree>f</OrvKeyFree><OrvKeyDeny>new</OrvKeyDeny>");
  EXPECT_EQ(ExtractSection(text, Section::Deny), "new");
  // A closing tag before the opening tag: the section becomes readable without copying any
  // text twice.
  text = "<OrvKeyRepl>x</OrvKeyDeny>y</OrvKeyRepl><OrvKeyDeny>stale</OrvKeyDeny>";
  ReplaceSection(text, Section::Deny, "fresh");
  EXPECT_EQ(
      text,
      "<OrvKeyRepl>x<OrvKeyDeny>fresh</OrvKeyDeny>y</OrvKeyRepl><OrvKeyDeny>stale</OrvKeyDeny>");
  EXPECT_EQ(ExtractSection(text, Section::Deny), "fresh");
  const std::size_t size = text.size();
  ReplaceSection(text, Section::Deny, "fresh");
  EXPECT_EQ(text.size(), size);
}

TEST(KeywordDatabaseText, EditingConvention) {
  EXPECT_EQ(EditedTextToSection("ab\r\ncd\r\n\r\nef"), "ab@@cd@@ef");
  // Three line breaks give six "@"; the one pass leaves four.
  EXPECT_EQ(EditedTextToSection("a\r\n\r\n\r\nb"), "a@@@@b");
  EXPECT_EQ(EditedTextToSection("single"), "single");
  EXPECT_EQ(SectionToEditedText("@@ab@@cd@@"), "ab\r\ncd");
  EXPECT_EQ(SectionToEditedText("ab@@@@cd"), "ab\r\n\r\ncd");
  EXPECT_EQ(SectionToEditedText("@@"), "");
  EXPECT_EQ(SectionToEditedText(""), "");
  // Shown and saved again, a section keeps its entries.
  EXPECT_EQ(EditedTextToSection(SectionToEditedText("@@ab@@cd@@")), "ab@@cd");
}

TEST(KeywordLists, EntriesAreLowerCasedSplitAndShortPiecesDropped) {
  EXPECT_EQ(SplitSectionEntries("@@AB@@@@c@@DE"), (KeywordList{"ab", "de"}));
  // Order and duplicates stay; spaces are not trimmed; trail bytes "A".."Z" are lowered too.
  EXPECT_EQ(SplitSectionEntries("x y@@AB@@ab@@ ab@@\x81\x41"),
            (KeywordList{"x y", "ab", "ab", " ab", "\x81\x61"}));
  EXPECT_TRUE(SplitSectionEntries("").empty());
  EXPECT_TRUE(SplitSectionEntries("@@@@@").empty());
}

TEST(KeywordLists, ReplaceValuesTakeTheKeysByteLength) {
  const keywords::ReplaceList list =
      SplitReplaceEntries({"ab=xyz", "abcd=x", "ab", "=abc", "a=b=c", "k="});
  EXPECT_EQ(list.keys, (KeywordList{"ab", "abcd", "ab", "", "a", "k"}));
  EXPECT_EQ(list.values, (KeywordList{"xy", "x***", "**", "", "b", "*"}));
}

// The database as the Windows console writes it: GBK, one line, all four sections.
// Deny: 法轮, 赌博+网站, 色情-医学; replace: 枪支=**, FUCK=f*ck, 代开+发票; record: 示威, Protest;
// free: 白名单.
const std::string kConsoleDatabase =
    "<OrvKeyDeny>\xB7\xA8\xC2\xD6@@\xB6\xC4\xB2\xA9+\xCD\xF8\xD5\xBE@@"
    "\xC9\xAB\xC7\xE9-\xD2\xBD\xD1\xA7@@</OrvKeyDeny>"
    "<OrvKeyRepl>\xC7\xB9\xD6\xA7=**@@FUCK=f*ck@@\xB4\xFA\xBF\xAA+\xB7\xA2\xC6\xB1</OrvKeyRepl>"
    "<KeyWordsJilu>\xCA\xBE\xCD\xFE@@Protest</KeyWordsJilu>"
    "<OrvKeyFree>\xB0\xD7\xC3\xFB\xB5\xA5</OrvKeyFree>";

TEST(KeywordLists, ALoadGivesTheListsInBothEncodings) {
  TempFolder dir;
  const LoadedKeywordLists lists = LoadKeywordLists(dir.Write("OrvFilter.db", kConsoleDatabase));
  EXPECT_EQ(lists.gbk.deny, (KeywordList{"\xB7\xA8\xC2\xD6", "\xB6\xC4\xB2\xA9+\xCD\xF8\xD5\xBE",
                                         "\xC9\xAB\xC7\xE9-\xD2\xBD\xD1\xA7"}));
  EXPECT_EQ(lists.utf8.deny, (KeywordList{"法轮", "赌博+网站", "色情-医学"}));
  EXPECT_EQ(lists.gbk.replace.keys,
            (KeywordList{"\xC7\xB9\xD6\xA7", "fuck", "\xB4\xFA\xBF\xAA+\xB7\xA2\xC6\xB1"}));
  EXPECT_EQ(lists.gbk.replace.values, (KeywordList{"****", "f*ck", "*********"}));
  // Values are equalised in each encoding on its own: two Chinese characters are six bytes
  // in UTF-8.
  EXPECT_EQ(lists.utf8.replace.keys, (KeywordList{"枪支", "fuck", "代开+发票"}));
  EXPECT_EQ(lists.utf8.replace.values, (KeywordList{"******", "f*ck", "*************"}));
  EXPECT_EQ(lists.gbk.record, (KeywordList{"\xCA\xBE\xCD\xFE", "protest"}));
  EXPECT_EQ(lists.utf8.record, (KeywordList{"示威", "protest"}));
  EXPECT_EQ(lists.gbk.free, (KeywordList{"\xB0\xD7\xC3\xFB\xB5\xA5"}));
  EXPECT_EQ(lists.utf8.free, (KeywordList{"白名单"}));
}

TEST(KeywordLists, AValueWithChineseIsCutByBytes) {
  // "ab=中文" in GBK: the value 中文 is four bytes, cut to the key's two.
  const LoadedKeywordLists lists =
      KeywordListsFromText("<OrvKeyRepl>ab=\xD6\xD0\xCE\xC4</OrvKeyRepl>");
  EXPECT_EQ(lists.gbk.replace.values, (KeywordList{"\xD6\xD0"}));
  EXPECT_EQ(lists.utf8.replace.values, (KeywordList{"\xE4\xB8"}));
}

TEST(KeywordLists, LineBreaksInsideASectionJoinTheKeyword) {
  const LoadedKeywordLists lists =
      KeywordListsFromText(JoinLines("<OrvKeyDeny>bad\r\nword@@x\r\nyz</OrvKeyDeny>"));
  EXPECT_EQ(lists.gbk.deny, (KeywordList{"badword", "xyz"}));
}

TEST(KeywordLists, AMissingOrUnreadableFileGivesEmptyLists) {
  TempFolder dir;
  for (const std::string& path : {dir.File("missing.db"), dir.Path(), std::string()}) {
    const LoadedKeywordLists lists = LoadKeywordLists(path);
    EXPECT_TRUE(lists.gbk.deny.empty() && lists.gbk.replace.keys.empty() &&
                lists.gbk.record.empty() && lists.gbk.free.empty() && lists.utf8.deny.empty());
  }
}

TEST(KeywordLists, RandomBytesLoadWithoutHarm) {
  TempFolder dir;
  std::mt19937 random(2024);
  for (int round = 0; round < 50; ++round) {
    std::string bytes(static_cast<std::size_t>(random() % 4096), '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    // Give some rounds real tags so that the sections hold random bytes.
    if (round % 2 == 0) bytes = "<OrvKeyRepl>" + bytes + "</OrvKeyRepl><OrvKeyDeny>" + bytes;
    const LoadedKeywordLists lists = LoadKeywordLists(dir.Write("OrvFilter.db", bytes));
    ASSERT_EQ(lists.gbk.replace.keys.size(), lists.utf8.replace.keys.size());
    for (std::size_t i = 0; i < lists.gbk.replace.keys.size(); ++i) {
      EXPECT_EQ(lists.gbk.replace.keys[i].size(), lists.gbk.replace.values[i].size());
      EXPECT_EQ(lists.utf8.replace.keys[i].size(), lists.utf8.replace.values[i].size());
    }
    for (const std::string& entry : lists.gbk.deny) EXPECT_GE(entry.size(), 2u);
  }
}

TEST(KeywordLists, ATenMegabyteSectionLoadsWhole) {
  // 10 MB of 128-byte entries "Wnnnnnnnnnxxx...x@@".
  const std::string padding(128 - 10 - 2, 'x');
  const int count = 10 * 1024 * 1024 / 128;
  std::string section;
  section.reserve(128u * count);
  for (int i = 0; i < count; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, "W%09d", i);
    section.append(number).append(padding).append("@@");
  }
  TempFolder dir;
  const LoadedKeywordLists lists =
      LoadKeywordLists(dir.Write("OrvFilter.db", "<OrvKeyDeny>" + section + "</OrvKeyDeny>"));
  ASSERT_EQ(lists.gbk.deny.size(), static_cast<std::size_t>(count));
  ASSERT_EQ(lists.utf8.deny.size(), static_cast<std::size_t>(count));
  EXPECT_EQ(lists.gbk.deny.front(), "w000000000" + padding);
  char last[16];
  std::snprintf(last, sizeof last, "w%09d", count - 1);
  EXPECT_EQ(lists.utf8.deny.back(), last + padding);
}

TEST(KeywordDatabase, LoadEditSaveRoundTrip) {
  TempFolder dir;
  const std::string path = dir.Write("OrvFilter.db", "<OrvKeyDeny>a\r\nb@@cc</OrvKeyDeny>\r\n");
  KeywordDatabase db;
  ASSERT_TRUE(db.LoadDatabase(path));
  EXPECT_EQ(db.Text(), "<OrvKeyDeny>ab@@cc</OrvKeyDeny>");
  EXPECT_EQ(db.GetSection(Section::Deny), "ab@@cc");
  db.SetSection(Section::Replace, "k=v");
  db.SetSection(Section::Deny, EditedTextToSection("one\r\ntwo"));
  ASSERT_TRUE(db.SaveDatabase(path));
  EXPECT_EQ(ReadBytes(path), "<OrvKeyDeny>one@@two</OrvKeyDeny><OrvKeyRepl>k=v</OrvKeyRepl>");
  KeywordDatabase again;
  ASSERT_TRUE(again.LoadDatabase(path));
  EXPECT_EQ(again.Text(), db.Text());
  EXPECT_EQ(CountEntries(dir.Path()), 1);
}

TEST(KeywordDatabase, AMissingFileLoadsEmptyAndIsCreatedOnSave) {
  TempFolder dir;
  KeywordDatabase db;
  EXPECT_FALSE(db.LoadDatabase(dir.File("OrvFilter.db")));
  EXPECT_EQ(db.Text(), "");
  EXPECT_EQ(db.GetSection(Section::Free), "");
  db.SetSection(Section::Free, "ok");
  ASSERT_TRUE(db.SaveDatabase(dir.File("OrvFilter.db")));
  EXPECT_EQ(ReadBytes(dir.File("OrvFilter.db")), "<OrvKeyFree>ok</OrvKeyFree>");
}

TEST(KeywordDatabase, AFailedSaveReportsFalseAndKeepsTheOldFile) {
  TempFolder dir;
  const std::string path = dir.Write("OrvFilter.db", "<OrvKeyDeny>old</OrvKeyDeny>");
  KeywordDatabase db;
  ASSERT_TRUE(db.LoadDatabase(path));
  db.SetSection(Section::Deny, "new");
  EXPECT_FALSE(db.SaveDatabase(dir.Path()));
  EXPECT_FALSE(db.SaveDatabase(path + "/nested"));
  std::filesystem::create_directory(dir.File("folder.db"));
  EXPECT_FALSE(db.SaveDatabase(dir.File("folder.db")));
  EXPECT_EQ(ReadBytes(path), "<OrvKeyDeny>old</OrvKeyDeny>");
}

}  // namespace
}  // namespace orv::store
