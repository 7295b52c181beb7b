// Which day files make days, in what order, with which labels, and which day is shown first.
#include "loganalyzer/log_index.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "log_fixture.h"
#include "loganalyzer/log_names.h"

namespace orv::loganalyzer {
namespace {

using testing::TempFolder;

std::vector<std::string> Labels(const LogIndex& index) {
  std::vector<std::string> labels;
  for (const LogDay& day : index.Days()) {
    labels.push_back(std::to_string(day.serial) + " " + day.label + " " + day.fileName);
  }
  return labels;
}

TEST(DateLabel, PadsMonthAndDayAndReadsTheChineseForm) {
  EXPECT_EQ(DateLabel("2012-11-1"), "2012-11-01");
  EXPECT_EQ(DateLabel("2012-1-5"), "2012-01-05");
  EXPECT_EQ(DateLabel("2012-01-05 12:00"), "2012-01-05");
  EXPECT_EQ(DateLabel("2012\xC4\xEA"
                      "1\xD4\xC2"
                      "5"),
            "2012-01-05");              // 2012年1月5日
  EXPECT_EQ(DateLabel("2012-1-"), "");  // 7 bytes or less
  EXPECT_EQ(DateLabel("readme"), "");
  EXPECT_EQ(DateLabel("notadate"), "notadate");  // no three pieces: only cut
}

TEST(DateLabel, ParsesOnlyRealCalendarDates) {
  CivilDate date;
  EXPECT_TRUE(ParseDateLabel("2012-02-29", date));
  EXPECT_EQ(date.year * 10000 + date.month * 100 + date.day, 20120229);
  EXPECT_FALSE(ParseDateLabel("2013-02-29", date));
  EXPECT_FALSE(ParseDateLabel("2012-13-01", date));
  EXPECT_FALSE(ParseDateLabel("2012-1a-01", date));
  EXPECT_FALSE(ParseDateLabel("2012-1-01", date));
  EXPECT_EQ(DaysSinceEpoch({1970, 1, 1}), 0);
  EXPECT_EQ(DaysSinceEpoch({2012, 3, 1}) - DaysSinceEpoch({2012, 2, 28}), 2);
}

TEST(OrderByDate, SortsByLabelNotByNameAndKeepsTies) {
  const std::vector<std::string> ordered =
      OrderByDate({"2012-11-10.log", "2012-9-30.log", "readme.log", "orv2012-11-1.log",
                   "2012-11-01.log", "2012-11-1.log"});
  EXPECT_EQ(ordered,
            (std::vector<std::string>{"2012-9-30.log", "orv2012-11-1.log", "2012-11-01.log",
                                      "2012-11-1.log", "2012-11-10.log"}));
}

TEST(LogIndex, ListsDayFilesNewestFirstWithSerialsFromTheOldest) {
  TempFolder folder;
  for (const char* name : {"2012-11-1.log", "2012-11-10.log", "2012-9-30.log", "debug.log",
                           "system.log", "readme.log", "notes.txt", "2012-11-5.log.bak"}) {
    folder.Write(name, "x\r\n");
  }
  std::filesystem::create_directory(folder.File(".2012-1-1.log"));
  PreselectedDay none;
  LogIndex index(none);
  EXPECT_EQ(index.Scan(folder.Dir().string(), "1999-1-1"), 3);
  EXPECT_EQ(Labels(index),
            (std::vector<std::string>{"3 2012-11-10 2012-11-10.log", "2 2012-11-01 2012-11-1.log",
                                      "1 2012-09-30 2012-9-30.log"}));
  EXPECT_EQ(index.CurrentDate(), "2012-11-10");
  EXPECT_EQ(index.CurrentPath(), folder.File("2012-11-10.log"));
}

TEST(LogIndex, ShowsNamesLowerCasedButOpensTheFileAsNamed) {
  TempFolder folder;
  folder.Write("2012-8-1.LOG", "x\r\n");
  PreselectedDay none;
  LogIndex index(none);
  ASSERT_EQ(index.Scan(folder.Dir().string() + "/", "1999-1-1"), 1);
  EXPECT_EQ(index.Days()[0].fileName, "2012-8-1.log");
  EXPECT_EQ(index.CurrentPath(), folder.File("2012-8-1.LOG"));
  EXPECT_TRUE(std::filesystem::exists(index.CurrentPath()));
}

TEST(LogIndex, MissingOrEmptyFolderHasNoDays) {
  TempFolder folder;
  PreselectedDay none;
  LogIndex index(none);
  EXPECT_EQ(index.Scan(folder.File("missing")), 0);
  EXPECT_EQ(index.Scan(folder.Dir().string()), 0);
  EXPECT_TRUE(index.Days().empty());
  EXPECT_EQ(index.CurrentPath(), "");
}

class CurrentDay : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"2012-11-1.log", "2012-11-2.log", "2012-11-3.log"}) {
      folder.Write(name, "x\r\n");
    }
  }
  TempFolder folder;
  PreselectedDay preselected;
};

TEST_F(CurrentDay, TodayWhenPresentElseNewest) {
  LogIndex index(preselected);
  index.Scan(folder.Dir().string(), "2012-11-2");
  EXPECT_EQ(index.CurrentDate(), "2012-11-02");
  EXPECT_EQ(index.CurrentPath(), folder.File("2012-11-2.log"));
  index.Scan(folder.Dir().string(), "2012-11-4");
  EXPECT_EQ(index.CurrentDate(), "2012-11-03");
}

TEST_F(CurrentDay, PreselectedLabelWinsOverToday) {
  preselected.label = "2012-11-01";
  LogIndex index(preselected);
  index.Scan(folder.Dir().string(), "2012-11-2");
  EXPECT_EQ(index.CurrentDate(), "2012-11-01");
  EXPECT_EQ(index.CurrentPath(), folder.File("2012-11-1.log"));
}

TEST_F(CurrentDay, UnknownPreselectedLabelFallsToNewestButKeepsThePreselectedPath) {
  preselected.label = "2011-01-01";
  preselected.path = "/elsewhere/2011-1-1.log";
  LogIndex index(preselected);
  index.Scan(folder.Dir().string(), "2012-11-2");
  EXPECT_EQ(index.CurrentDate(), "2012-11-03");
  EXPECT_EQ(index.CurrentPath(), "/elsewhere/2011-1-1.log");
}

TEST_F(CurrentDay, SelectionIsRememberedAndForgottenAfterADeletion) {
  LogIndex index(preselected);
  index.Scan(folder.Dir().string(), "2012-11-3");
  index.Select(index.Days()[2]);
  EXPECT_EQ(preselected.label, "2012-11-01");
  EXPECT_EQ(preselected.path, folder.File("2012-11-1.log"));

  LogIndex reopened(preselected);
  reopened.Scan(folder.Dir().string(), "2012-11-3");
  EXPECT_EQ(reopened.CurrentDate(), "2012-11-01");

  reopened.ForgetCurrent();
  EXPECT_EQ(reopened.CurrentPath(), "");
  EXPECT_TRUE(preselected.label.empty() && preselected.path.empty());
  reopened.Scan(folder.Dir().string(), "2012-11-2");
  EXPECT_EQ(reopened.CurrentDate(), "2012-11-02");
}

}  // namespace
}  // namespace orv::loganalyzer
