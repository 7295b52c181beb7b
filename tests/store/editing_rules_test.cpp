// The editing pages' rules below the widgets: conversions, counts, GBK at the boundary,
// per-key settings rules and saving one list as the files stand on disk.
#include <gtest/gtest.h>

#include <string>

#include "store/edit_forms.h"
#include "store/gbk_text.h"
#include "store/keyword_database.h"
#include "store/list_split.h"
#include "store/section_store.h"
#include "store/settings_rules.h"
#include "tests/support/temp_folder.h"

namespace orv::store {
namespace {

using orv::testing::ReadBytes;
using orv::testing::TempFolder;

// Double-byte characters whose trail byte is a separator's first byte.
constexpr std::string_view kTrailAt = "\x81\x40";        // 丂: trail byte "@"
constexpr std::string_view kTrailBar = "\x95\x7C";       // 晐: trail byte "|"
constexpr std::string_view kFeiFa = "\xB7\xC7\xB7\xA8";  // 非法

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out.append(part);
  return out;
}

TEST(SeparatorsOnCharacters, ATrailByteNeverStartsASeparator) {
  // The filter's split of a database section and of a settings list.
  const std::string section = Cat({"ab", kTrailAt, "@@cd@@", kTrailAt, "@x"});
  EXPECT_EQ(SplitSectionEntries(section),
            (keywords::KeywordList{Cat({"ab", kTrailAt}), Cat({"cd"}), Cat({kTrailAt, "@x"})}));
  const LoadedKeywordLists lists =
      KeywordListsFromText(Cat({"<OrvKeyDeny>", kFeiFa, kTrailAt, "@@zz</OrvKeyDeny>"}));
  EXPECT_EQ(lists.gbk.deny, (keywords::KeywordList{Cat({kFeiFa, kTrailAt}), "zz"}));
  EXPECT_EQ(lists.utf8.deny.front(), "\xE9\x9D\x9E\xE6\xB3\x95\xE4\xB8\x82");  // 非法丂
  EXPECT_EQ(SplitKeepingLongPieces(Cat({"/a", kTrailBar, "|/bb"}), "|"),
            (std::vector<std::string>{Cat({"/a", kTrailBar}), "/bb"}));
  // A line break is found even after a stray lead byte (damaged text).
  EXPECT_EQ(KeywordEditToSection("a\x81\r\nbb"), "a\x81@@bb");
}

TEST(KeywordPageForms, LoadSaveAndCountFollowThePage) {
  EXPECT_EQ(KeywordSectionToEdit("@@a@@bb@@"), "a\r\nbb");
  EXPECT_EQ(KeywordEditToSection("a\r\nbb"), "a@@bb");
  EXPECT_EQ(KeywordSectionToEdit("@@@@x"), "\r\nx");
  EXPECT_EQ(KeywordEditToSection("aa\r\n\r\nbb"), "aa@@bb");
  EXPECT_EQ(KeywordEditToSection("aa\r\n\r\n\r\nbb"), "aa@@@@bb");
  EXPECT_EQ(KeywordGroupCount("aa\r\nbb"), 1u);
  EXPECT_EQ(KeywordGroupCount("aa\r\nbb\r\n"), 2u);
  EXPECT_EQ(KeywordGroupCount(""), 0u);
  EXPECT_EQ(GroupCountLabel(2), "2\xD7\xE9");
  // An entry ending in a character with trail byte "@" keeps it, at the end of the section
  // as in the middle.
  const std::string section = Cat({"x", kTrailAt, "@@y", kTrailAt});
  EXPECT_EQ(KeywordSectionToEdit(section), Cat({"x", kTrailAt, "\r\ny", kTrailAt}));
  EXPECT_EQ(KeywordEditToSection(KeywordSectionToEdit(section)), section);
  EXPECT_EQ(KeywordSectionToEdit(Cat({"y", kTrailAt, "@"})), Cat({"y", kTrailAt, "@"}));
}

TEST(ListPageForms, LoadSaveAndCountFollowThePage) {
  EXPECT_EQ(ListValueToEdit("/admin|/dede/|/manage"), "/admin\r\n/dede/\r\n/manage");
  EXPECT_EQ(ListGroupCount(ListValueToEdit("/admin|/dede/|/manage")), 3u);
  EXPECT_EQ(ListGroupCount("a\r\nbb\r\nccc"), 1u);
  EXPECT_EQ(ListEditToValue("x1\r\nx2"), "x1|x2");
  EXPECT_EQ(ListEditToValue("x1\r\n\r\nx2"), "x1||x2");
  EXPECT_EQ(ListEditToValue("x1\r\n\r\n\r\nx2"), "x1|||x2");
  EXPECT_EQ(ListEditToValue("x1\r\n"), "x1|");
  EXPECT_EQ(ListValueToEdit("x1|"), "x1\r\n");
  // "||" after a character whose trail byte is "|" is one bar, not two.
  EXPECT_EQ(ListEditToValue(Cat({"a", kTrailBar, "\r\nb"})), Cat({"a", kTrailBar, "|b"}));
  EXPECT_EQ(ListValueToEdit(Cat({"a", kTrailBar, "|b"})), Cat({"a", kTrailBar, "\r\nb"}));
}

TEST(InputLines, OneFinalBreakEndsTheLastLine) {
  EXPECT_EQ(SplitInputLines(""), std::vector<std::string>{});
  EXPECT_EQ(SplitInputLines("a\r\nb\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitInputLines("a\n\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(SplitInputLines("a\rb"), std::vector<std::string>{"a\rb"});
  EXPECT_EQ(JoinEditLines({"a", "", "b"}), "a\r\n\r\nb");
  EXPECT_EQ(SplitEditLines("a\r\n\r\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitEditLines(""), std::vector<std::string>{});
}

TEST(GbkBoundary, InvalidBytesSurviveAndUnencodableTextIsRefusedByLine) {
  // Stray lead byte, undefined single high byte, lead byte at the end, the euro byte.
  const std::string damaged = Cat({kFeiFa, "\x81", "A", "\xFF", "x\x80", "\xFE"});
  const std::string shown = GbkToUtf8Lossless(damaged);
  EXPECT_NE(shown.find("\xE9\x9D\x9E\xE6\xB3\x95"), std::string::npos);
  const GbkEncoding back = Utf8ToGbkStrict(shown);
  ASSERT_TRUE(back.ok);
  EXPECT_EQ(back.gbk, damaged);

  const GbkEncoding emoji = Utf8ToGbkStrict("ok\n\xE9\x9D\x9E\nsmile \xF0\x9F\x98\x80\n");
  EXPECT_FALSE(emoji.ok);
  EXPECT_EQ(emoji.line, 3u);
  EXPECT_EQ(emoji.character, "\xF0\x9F\x98\x80");
  EXPECT_TRUE(emoji.gbk.empty());
  const GbkEncoding broken = Utf8ToGbkStrict("a\xC3");
  EXPECT_FALSE(broken.ok);
  EXPECT_EQ(broken.line, 1u);
}

TEST(SettingsRules, EachKeyStoresWhatThePageWould) {
  EXPECT_EQ(FindSettingsKey("keyautohour"), std::optional<std::string_view>("KeyAutoHour"));
  EXPECT_FALSE(FindSettingsKey("KeyNothing"));
  EXPECT_EQ(HourToStore("24"), "0");
  EXPECT_EQ(HourToStore("23"), "23");
  EXPECT_EQ(HourToStore("007"), "007");
  EXPECT_EQ(DaysToStore(""), "0");
  EXPECT_EQ(DaysToStore("000"), "0");
  EXPECT_EQ(DaysToStore("30"), "30");
  EXPECT_EQ(ReadsAsNumber("99999999999999999999999"), ReadsAsNumber("999999999999999999999999"));

  EXPECT_EQ(CheckSettingsValue(keys::kIsSystem, "1").problem, ValueProblem::None);
  EXPECT_EQ(CheckSettingsValue(keys::kIsSystem, "yes").problem, ValueProblem::NotASwitch);
  EXPECT_EQ(CheckSettingsValue(keys::kAutoHour, "-3").problem, ValueProblem::NotANumber);
  EXPECT_EQ(CheckSettingsValue(keys::kAutoHour, "0024").problem, ValueProblem::NotANumber);
  EXPECT_EQ(CheckSettingsValue(keys::kAutoHour, "99").stored, "0");
  EXPECT_EQ(CheckSettingsValue(keys::kSendWords, "a\nb").problem, ValueProblem::LineBreak);

  TempFolder dir;
  dir.Write("file", "x");
  EXPECT_EQ(CheckSettingsValue(keys::kLogPath, dir.Path()).stored, dir.Path());
  EXPECT_EQ(CheckSettingsValue(keys::kLogPath, dir.File("file")).problem,
            ValueProblem::NoSuchFolder);
  EXPECT_EQ(CheckSettingsValue(keys::kLogPath, "/").problem, ValueProblem::NoSuchFolder);
}

TEST(SettingsPageSave, WritesInOrderRefusesABadLogPathAndReportsFailures) {
  TempFolder dir;
  SettingsFile file(dir.File("OrvFilter.ini"));
  ASSERT_TRUE(file.WriteKey(keys::kLogPath, "/kept"));
  SettingsPageFields fields;
  fields.isSystem = true;
  fields.isLog = true;
  fields.autoHour = "24";
  fields.clearLog = "";
  fields.fileType = "asp|php";
  fields.logPath = dir.File("missing");
  const SettingsPageSave save = SaveSettingsPage(file, fields, dir.File("OrvFilter.db"));
  EXPECT_TRUE(save.AllWritten());
  EXPECT_TRUE(save.logPathRefused);
  EXPECT_EQ(save.shownHour, "0");
  EXPECT_EQ(save.shownDays, "0");
  EXPECT_EQ(file.ReadKey(keys::kIsLog), "0");
  EXPECT_EQ(file.ReadKey(keys::kLogPath), "/kept");
  EXPECT_EQ(file.ReadKey(keys::kAutoHour), "0");
  EXPECT_TRUE(file.GetIsSystem());
  EXPECT_EQ(ReadBytes(dir.File("OrvFilter.db")), "");
  const std::string ini = ReadBytes(file.Path());
  EXPECT_LT(ini.find("KeyIsSystem"), ini.find("KeyAutoHour"));
  EXPECT_LT(ini.find("KeyAutoHour"), ini.find("KeySafeCode"));

  fields.logPath = dir.Path();
  EXPECT_FALSE(SaveSettingsPage(file, fields, dir.File("OrvFilter.db")).logPathRefused);
  EXPECT_EQ(file.ReadKey(keys::kLogPath), dir.Path());

  SettingsFile nowhere(dir.File("gone/OrvFilter.ini"));
  const SettingsPageSave failed = SaveSettingsPage(nowhere, fields, dir.File("gone/OrvFilter.db"));
  EXPECT_FALSE(failed.AllWritten());
  EXPECT_EQ(failed.failedKeys.front(), "KeyIsSystem");
}

TEST(SavingAsOnDisk, OnlyTheOwnSectionChangesAndAChangeOnDiskIsDetected) {
  TempFolder dir;
  const std::string db = dir.Write(
      "OrvFilter.db", "<OrvKeyDeny>a@@b</OrvKeyDeny>\r\n<OrvKeyRepl>x=y</OrvKeyRepl>\r\n");
  const SectionRead loaded = ReadSectionFromDisk(db, Section::Deny);
  ASSERT_TRUE(loaded.ok);
  EXPECT_EQ(loaded.section, "a@@b");
  // Another writer changes the replace list after the page loaded.
  ASSERT_EQ(SaveSectionToDisk(db, Section::Replace, "new=v"), StoreOutcome::Done);
  ASSERT_EQ(SaveSectionToDisk(db, Section::Deny, "c", &loaded.section), StoreOutcome::Done);
  EXPECT_EQ(ReadBytes(db), "<OrvKeyDeny>c</OrvKeyDeny><OrvKeyRepl>new=v</OrvKeyRepl>");
  // Now the page's own section changed under it: nothing written until it asks.
  EXPECT_EQ(SaveSectionToDisk(db, Section::Deny, "d", &loaded.section),
            StoreOutcome::ChangedOnDisk);
  EXPECT_EQ(ExtractSection(ReadBytes(db), Section::Deny), "c");
  EXPECT_EQ(SaveSectionToDisk(db, Section::Free, "f"), StoreOutcome::Done);
  EXPECT_EQ(ExtractSection(ReadBytes(db), Section::Free), "f");

  // A path that cannot be read is never overwritten; one that cannot be written says so.
  std::filesystem::create_directory(dir.File("folder.db"));
  EXPECT_EQ(SaveSectionToDisk(dir.File("folder.db"), Section::Deny, "x"), StoreOutcome::ReadFailed);
  EXPECT_FALSE(ReadSectionFromDisk(dir.File("folder.db"), Section::Deny).ok);
  EXPECT_EQ(SaveSectionToDisk(dir.File("gone/OrvFilter.db"), Section::Deny, "x"),
            StoreOutcome::WriteFailed);

  SettingsFile settings(dir.File("OrvFilter.ini"));
  ASSERT_EQ(SaveKeyToDisk(settings, keys::kHeiUrl, "/a|/b"), StoreOutcome::Done);
  const std::string stale = "/old";
  EXPECT_EQ(SaveKeyToDisk(settings, keys::kHeiUrl, "/c", &stale), StoreOutcome::ChangedOnDisk);
  EXPECT_EQ(settings.ReadKey(keys::kHeiUrl), "/a|/b");
}

}  // namespace
}  // namespace orv::store
