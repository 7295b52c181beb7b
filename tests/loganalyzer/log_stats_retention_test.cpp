// The statistics figures of a day and of the folder, the texts cut for the detail box, and
// the removal of old days.
#include <gtest/gtest.h>

#include <filesystem>

#include "log_fixture.h"
#include "loganalyzer/log_retention.h"
#include "loganalyzer/log_stats.h"
#include "loganalyzer/log_texts.h"

namespace orv::loganalyzer {
namespace {

using testing::EventLine;
using testing::kDeny;
using testing::kRecord;
using testing::kReplace;
using testing::TempFolder;

TEST(DayStats, CountsEventsPerHourAndRanksKeysUrlsAndClients) {
  DayLog day;
  std::string content;
  const auto add = [&](const std::string& line) { content += line + "\r\n"; };
  add(EventLine("2012-11-1 0:0:1", kDeny, "aa,bb", "1.1.1.1", "u1.cn/"));
  add(EventLine("2012-11-1 0:59:59", kDeny, "bb", "1.1.1.1", "u1.cn/"));
  add(EventLine("2012-11-1 9:5:7", kReplace, "cc,bb", "2.2.2.2", "u2.cn/"));
  add(EventLine("2012-11-1 23:0:0", kRecord, "ab", "3.3.3.3", "u1.cn/"));
  add(EventLine("2012-11-1 23:0:0", "other", "zz", "3.3.3.3", "u3.cn/"));
  add(EventLine("garbled", kDeny, "bb"));                      // no hour: counted apart
  add(EventLine("2012-11-1 24:0:0", kDeny, "bb"));             // no such hour
  add("2012-11-1 9:0:0\t" + std::string(kDeny) + "\tGET\tq");  // an event without a row
  add("not\tan\tevent");
  day.LoadBytes(content);

  const DayStats stats = ComputeDayStats(day);
  EXPECT_EQ(stats.perHour[0][kKindAll], 2u);
  EXPECT_EQ(stats.perHour[0][kKindDeny], 2u);
  EXPECT_EQ(stats.perHour[9][kKindReplace], 1u);
  EXPECT_EQ(stats.perHour[9][kKindDeny], 1u);
  EXPECT_EQ(stats.perHour[23][kKindRecord], 1u);
  EXPECT_EQ(stats.perHour[23][kKindOther], 1u);
  EXPECT_EQ(stats.withoutHour, 2u);
  EXPECT_EQ(stats.totals[kKindAll], 6u);
  EXPECT_EQ(stats.totals[kKindDeny], 3u);

  ASSERT_GE(stats.topKeywords.size(), 3u);
  EXPECT_EQ(stats.topKeywords[0].text, "bb");
  EXPECT_EQ(stats.topKeywords[0].count, 3u);
  // Equal counts in byte order.
  EXPECT_EQ(stats.topKeywords[1].text, "aa");
  EXPECT_EQ(stats.topKeywords[2].text, "ab");
  EXPECT_EQ(stats.topUrls[0].text, "u1.cn/");
  EXPECT_EQ(stats.topUrls[0].count, 3u);
  EXPECT_EQ(stats.topClients[0].text, "1.1.1.1");
  EXPECT_EQ(stats.topClients[1].text, "3.3.3.3");

  EXPECT_EQ(ComputeDayStats(day, 2).topKeywords.size(), 2u);
}

TEST(DayTotals, StreamedCountsAgreeWithTheLoadedDay) {
  TempFolder folder;
  const std::string first = EventLine("2012-11-1 9:0:0", kDeny) + "\r\n\r\n" +
                            EventLine("2012-11-1 9:0:0", kRecord) + "\r\nx\ty\r\n";
  std::string second;
  for (int i = 0; i < 30000; ++i) {  // more than one read piece
    second +=
        EventLine("2012-11-2 9:0:0", i % 2 ? kReplace : "other", std::string(i % 50, 'k')) + "\r\n";
  }
  second += "last\t" + std::string(kDeny) + "\tGET\tkey";
  folder.Write("2012-11-1.log", first);
  folder.Write("2012-11-2.log", second);

  PreselectedDay none;
  LogIndex index(none);
  ASSERT_EQ(index.Scan(folder.Dir().string(), "2012-11-2"), 2);
  const std::vector<DayTotals> totals = CountDays(index);
  ASSERT_EQ(totals.size(), 2u);
  EXPECT_EQ(totals[0].label, "2012-11-01");
  EXPECT_EQ(totals[0].counts, (KindCounts{3, 1, 0, 1, 0}));
  for (std::size_t i = 0; i < 2; ++i) {
    DayLog day;
    day.LoadBytes(i == 0 ? first : second);
    for (int kind = kKindAll; kind <= kKindOther; ++kind) {
      EXPECT_EQ(totals[i].counts[static_cast<std::size_t>(kind)], day.Count(kind));
    }
  }
  std::size_t calls = 0;
  EXPECT_EQ(CountDays(index, [&](std::size_t, std::size_t) { return ++calls < 1; }).size(), 1u);
  KindCounts counts;
  EXPECT_FALSE(CountDayFile(folder.File("missing.log"), counts));
  EXPECT_FALSE(CountDayFile(folder.Dir().string(), counts));
}

TEST(CutGbk, NeverSplitsADoubleByteCharacter) {
  const std::string text =
      "ab\xC0\xB9\xBD\xD8"
      "c";
  EXPECT_EQ(CutGbk(text, 3), "ab");
  EXPECT_EQ(CutGbk(text, 4), "ab\xC0\xB9");
  EXPECT_EQ(CutGbk(text, 5), "ab\xC0\xB9");
  EXPECT_EQ(CutGbk(text, 100), text);
  EXPECT_EQ(CutGbk("a\xC0", 2), "a\xC0");  // a lone lead byte at the end is a byte of its own
  EXPECT_EQ(CutGbk(text, 0), "");
}

TEST(CutGbk, DetailAndCopiesCutEveryColumnOnCharacters) {
  DisplayRow row;
  row.fill("");
  row[0] = "1";
  std::string url = "uu";
  while (url.size() < 1100) url += "\xCD\xF8";  // 网: the 1023rd byte is a lead byte
  row[6] = url;
  row[4] = std::string(300, 'k');
  EXPECT_EQ(CopyUrlText(row).size(), 1023u - 1);
  const std::string detail = DetailText(row);
  EXPECT_NE(detail.find(url.substr(0, 1022)), std::string::npos);
  EXPECT_EQ(detail.find(url.substr(0, 1023)), std::string::npos);
  EXPECT_NE(detail.find(std::string(199, 'k')), std::string::npos);
  EXPECT_EQ(detail.find(std::string(200, 'k')), std::string::npos);
  // The copy names the client before the key; the detail names the key first.
  const std::string copy = CopyLineText(row);
  EXPECT_LT(copy.find("IP:"), copy.find(std::string(199, 'k')));
  EXPECT_GT(detail.find("IP:"), detail.find(std::string(199, 'k')));
}

class Retention : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"2012-11-10.log", "2012-11-3.log", "2012-11-2.log", "2012-10-31.log",
                             "orv2012-1-1.log", "readme.log", "2012-2-30.log", "notes.txt"}) {
      folder.Write(name, "x\r\n");
    }
    std::filesystem::create_directory(folder.File("2011-1-1.log"));
  }
  bool Exists(const char* name) const { return std::filesystem::exists(folder.File(name)); }
  TempFolder folder;
  const CivilDate today{2012, 11, 10};
};

TEST_F(Retention, RemovesDaysOlderThanTheKeptNumberByTheirNames) {
  const RetentionResult result = RemoveOldDays(folder.Dir().string(), 7, today);
  EXPECT_TRUE(result.Ok());
  EXPECT_EQ(result.removed,
            (std::vector<std::string>{folder.File("orv2012-1-1.log"), folder.File("2012-10-31.log"),
                                      folder.File("2012-11-2.log")}));
  EXPECT_TRUE(Exists("2012-11-3.log"));  // exactly 7 days old stays
  EXPECT_TRUE(Exists("2012-11-10.log"));
  EXPECT_TRUE(Exists("readme.log"));
  EXPECT_TRUE(Exists("2012-2-30.log"));  // no such date: never taken for an old day
  EXPECT_TRUE(Exists("2011-1-1.log"));   // a folder, not a day file
}

TEST_F(Retention, ZeroOrNegativeKeepsEverything) {
  EXPECT_TRUE(RemoveOldDays(folder.Dir().string(), 0, today).removed.empty());
  EXPECT_TRUE(RemoveOldDays(folder.Dir().string(), -3, today).removed.empty());
  EXPECT_TRUE(RemoveOldDays(folder.File("missing"), 1, today).removed.empty());
  EXPECT_TRUE(Exists("2012-10-31.log"));
}

TEST_F(Retention, AFailedRemovalIsReportedAndTheOthersStillGo) {
  const RetentionResult result = RemoveOldDays(folder.Dir().string(), 7, today,
                                               [](const std::string& path, std::string& reason) {
                                                 if (path.find("2012-10-31") != std::string::npos) {
                                                   reason = "Permission denied";
                                                   return false;
                                                 }
                                                 return std::filesystem::remove(path);
                                               });
  EXPECT_FALSE(result.Ok());
  ASSERT_EQ(result.failed.size(), 1u);
  EXPECT_EQ(result.failed[0].path, folder.File("2012-10-31.log"));
  EXPECT_EQ(result.failed[0].reason, "Permission denied");
  EXPECT_EQ(result.removed.size(), 2u);
  EXPECT_TRUE(Exists("2012-10-31.log"));
  EXPECT_FALSE(Exists("2012-11-2.log"));
}

}  // namespace
}  // namespace orv::loganalyzer
