// One day in memory: which list each line lands in, how rows are cut from lines, and how
// pages and the search walk the lists.
#include "loganalyzer/day_log.h"

#include <gtest/gtest.h>

#include "log_fixture.h"
#include "loganalyzer/log_texts.h"

namespace orv::loganalyzer {
namespace {

using testing::EventLine;
using testing::kDeny;
using testing::kRecord;
using testing::kReplace;
using testing::TempFolder;

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text;
}

std::vector<std::string> Column(const LogPage& page, std::size_t column) {
  std::vector<std::string> values;
  for (const DisplayRow& row : page.rows) {
    values.push_back(row[column]);
  }
  return values;
}

TEST(DayLog, SortsLinesIntoKindsByTheSecondField) {
  DayLog day;
  day.LoadBytes(Lines({
      EventLine("2012-11-1 9:5:7", kDeny), EventLine("2012-11-1 9:5:8", kReplace),
      EventLine("2012-11-1 9:5:9", kRecord), EventLine("2012-11-1 9:6:0", "other"),
      EventLine("2012-11-1 9:6:1", std::string(kDeny) + std::string(kReplace)),  // deny only
      "a\tb\tc",                                                                 // all only
      "",
      "t\t" + std::string(kRecord) + "\t\t\tx\ty",  // empty pieces do not count as fields
  }));
  EXPECT_EQ(day.Count(kKindAll), 7u);  // non-empty lines
  EXPECT_EQ(day.Count(kKindDeny), 2u);
  EXPECT_EQ(day.Count(kKindReplace), 1u);
  EXPECT_EQ(day.Count(kKindRecord), 2u);
  EXPECT_EQ(day.Count(kKindOther), 1u);
  EXPECT_EQ(day.Count(17), 1u);  // any other value is "other"
  EXPECT_EQ(day.Line(kKindAll, 5), "a\tb\tc");
  EXPECT_EQ(day.Line(kKindReplace, 0), EventLine("2012-11-1 9:5:8", kReplace));
}

TEST(DayLog, KeepsLoneCarriageReturnsAndTheLastLineWithoutBreak) {
  DayLog day;
  day.LoadBytes("a\rb\r\n\n\nlast");
  ASSERT_EQ(day.Count(kKindAll), 2u);
  EXPECT_EQ(day.Line(kKindAll, 0), "a\rb");
  EXPECT_EQ(day.Line(kKindAll, 1), "last");
}

TEST(Rows, SixUsableFieldsShowADashAndOneByteFieldsShiftLeft) {
  DisplayRow row;
  ASSERT_TRUE(
      BuildRow(EventLine("2012-11-1 9:5:7", kDeny, "key", "1.2.3.4", "u.cn/x", "ref"), row));
  EXPECT_EQ(row, (DisplayRow{"", "2012-11-1 9:5:7", std::string(kDeny), "GET", "key", "1.2.3.4",
                             "u.cn/x", "ref"}));

  ASSERT_TRUE(BuildRow("2012-11-1 9:5:7\tkind\tGET\tkey\t1.2.3.4\tu.cn/x", row));
  EXPECT_EQ(row[7], "-");

  // A one-letter key is dropped: ip, url and refer move one column left.
  ASSERT_TRUE(BuildRow(EventLine("2012-11-1 9:5:7", kDeny, "k", "1.2.3.4", "u.cn/x", "ref"), row));
  EXPECT_EQ(row[4], "1.2.3.4");
  EXPECT_EQ(row[5], "u.cn/x");
  EXPECT_EQ(row[6], "ref");
  EXPECT_EQ(row[7], "-");

  EXPECT_FALSE(BuildRow("t1\tkind\tGET\tkey\tip", row));
}

TEST(Rows, LinesThatClassifyButCannotBeShownCountWithoutRows) {
  DayLog day;
  day.LoadBytes(Lines({"2012-11-1 9:5:7\t" + std::string(kDeny) + "\tGET\tkey",
                       "2012-11-1 9:5:7\t" + std::string(kDeny) + "\tGET\tk\t1.2.3.4\tu"}));
  EXPECT_EQ(day.Count(kKindDeny), 2u);
  day.SetKind(kKindDeny);
  const LogPage page = day.Page(1);
  EXPECT_EQ(page.pageCount, 1);
  EXPECT_TRUE(page.rows.empty());
  EXPECT_EQ(page.lastRow, 0);
}

class Paging : public ::testing::Test {
 protected:
  // 120 deny lines, even ones from 10.0.0.2 and odd ones from 10.0.0.1; 5 record lines.
  void SetUp() override {
    std::vector<std::string> lines;
    for (int i = 0; i < 120; ++i) {
      lines.push_back(EventLine("2012-11-1 9:5:" + std::to_string(i % 60), kDeny,
                                "key" + std::to_string(i), i % 2 ? "10.0.0.1" : "10.0.0.2",
                                "www.Example.com/" + std::to_string(i)));
    }
    for (int i = 0; i < 5; ++i) {
      lines.push_back(EventLine("2012-11-1 10:0:0", kRecord));
    }
    day.LoadBytes(Lines(lines));
    day.SetKind(kKindDeny);
  }
  DayLog day;
};

TEST_F(Paging, ThreePagesOfFiftyWithRowNumbersAcrossPages) {
  LogPage page = day.Page(1);
  EXPECT_EQ(page.pageCount, 3);
  EXPECT_EQ(page.rows.size(), 50u);
  EXPECT_EQ(page.allCount, 125u);
  EXPECT_EQ(page.rows.front()[0], "1");
  EXPECT_EQ(page.rows.back()[4], "key49");

  page = day.Page(3);
  EXPECT_EQ(page.currentPage, 3);
  EXPECT_EQ(page.pageCount, 3);
  EXPECT_EQ(page.firstRow, 101);
  EXPECT_EQ(page.lastRow, 120);
  ASSERT_EQ(page.rows.size(), 20u);
  EXPECT_EQ(page.rows.front()[0], "101");
  EXPECT_EQ(page.rows.front()[4], "key100");
  EXPECT_EQ(page.rows.back()[0], "120");
  EXPECT_EQ(PageStatusText(page),
            "\xD2\xB3\xC2\xEB:3/3\xA1\xA3\xCF\xD4\xCA\xBE\xB5\xDA"
            "101-120"
            "\xCC\xF5,\xD7\xDC"
            "125\xCC\xF5.");  // 页码:3/3。显示第101-120条,总125条.
}

TEST_F(Paging, PageZeroOrNegativeIsTheFirstAndBeyondTheEndIsEmpty) {
  EXPECT_EQ(day.Page(0).rows.front()[4], "key0");
  EXPECT_EQ(day.Page(-4).currentPage, 1);
  const LogPage beyond = day.Page(9);
  EXPECT_TRUE(beyond.rows.empty());
  EXPECT_EQ(beyond.pageCount, 3);
}

TEST_F(Paging, SearchSkipsLinesButKeepsPositionsAndPageCount) {
  day.SetSearch("10.0.0.1");
  LogPage page = day.Page(1);
  EXPECT_EQ(page.pageCount, 3);
  // The walk goes on past position 50 until 50 rows are found: the odd lines up to 99.
  ASSERT_EQ(page.rows.size(), 50u);
  EXPECT_EQ(page.rows.front()[0], "1");
  EXPECT_EQ(page.rows.front()[4], "key1");
  EXPECT_EQ(page.rows.back()[0], "50");
  EXPECT_EQ(page.rows.back()[4], "key99");
  // ... yet the next page starts at position 50 of the unfiltered list.
  page = day.Page(2);
  EXPECT_EQ(page.rows.front()[0], "51");
  EXPECT_EQ(page.rows.front()[4], "key51");

  day.SetSearch("no such text");
  for (int n = 1; n <= 3; ++n) {
    page = day.Page(n);
    EXPECT_TRUE(page.rows.empty());
    EXPECT_EQ(page.pageCount, 3);
  }
  day.SetSearch("");
  EXPECT_EQ(day.Page(1).rows.size(), 50u);
}

TEST_F(Paging, SearchIgnoresAsciiCaseAndCoversTheWholeLine) {
  day.SetSearch("WWW.EXAMPLE.COM/77");
  EXPECT_EQ(day.Search(), "www.example.com/77");
  EXPECT_EQ(Column(day.Page(1), 4), (std::vector<std::string>{"key77"}));
  day.SetSearch("key3\t10.0.0.1");  // across a tab
  EXPECT_EQ(Column(day.Page(1), 4), (std::vector<std::string>{"key3"}));
}

TEST_F(Paging, KindChangeRecountsPages) {
  day.Page(3);
  day.SetKind(kKindRecord);
  const LogPage page = day.Page(1);
  EXPECT_EQ(page.pageCount, 1);
  EXPECT_EQ(page.rows.size(), 5u);
  day.SetKind(kKindAll);
  EXPECT_EQ(day.Page(1).pageCount, 3);
}

TEST(Search, MatchesOnlyWholeDoubleByteCharacters) {
  // 0x81 0x40 is a character whose trail byte is "@"; 0x81 0x41 and 0x81 0x61 are two
  // characters whose trail bytes differ only in ASCII case.
  DayLog day;
  day.LoadBytes(Lines({EventLine("2012-11-1 9:0:0", kDeny, "\x81\x40"),
                       EventLine("2012-11-1 9:0:1", kDeny, "a@b"),
                       EventLine("2012-11-1 9:0:2", kDeny, "\x81\x41"),
                       EventLine("2012-11-1 9:0:3", kDeny, "\x81\x61")}));
  day.SetSearch("@");
  EXPECT_EQ(Column(day.Page(1), 4), (std::vector<std::string>{"a@b"}));
  // Lower-casing leaves trail bytes alone: 0x81 0x41 is not 0x81 0x61.
  day.SetSearch("\x81\x41");
  EXPECT_EQ(day.Search(), "\x81\x41");
  EXPECT_EQ(Column(day.Page(1), 4), (std::vector<std::string>{"\x81\x41"}));

  // The same with ASCII letters around, which folds the case of the lines.
  DayLog mixed;
  mixed.LoadBytes(Lines({EventLine("2012-11-1 9:0:0", kDeny, "K1X\x81\x41"),
                         EventLine("2012-11-1 9:0:1", kDeny, "K2x\x81\x61"),
                         EventLine("2012-11-1 9:0:2", kDeny, "K3\x81X\x81\x41"),
                         EventLine("2012-11-1 9:0:3", kDeny, "K4\xC0\xB9x\x81\x41y")}));
  mixed.SetSearch("X\x81\x41");
  EXPECT_EQ(mixed.Search(), "x\x81\x41");
  // K2's character differs in its trail byte's case; K3's "X" is the trail byte of 0x81 0x58.
  EXPECT_EQ(Column(mixed.Page(1), 4),
            (std::vector<std::string>{"K1X\x81\x41", "K4\xC0\xB9x\x81\x41y"}));
}

TEST(Loading, StepsGiveTheSameDayAsOneReadWhateverTheStepSize) {
  TempFolder folder;
  std::string content;
  for (int i = 0; i < 40; ++i) {
    content += EventLine("2012-11-1 9:0:" + std::to_string(i), i % 3 ? kDeny : kRecord) + "\r\n";
    if (i % 7 == 0) content += "\r\n";
  }
  content += "tail\twithout\tline\tbreak";
  folder.Write("2012-11-1.log", content);

  DayLog whole;
  whole.LoadBytes(content);
  for (std::size_t step : {1u, 2u, 7u, 64u, 100000u}) {
    DayLog day;
    ASSERT_TRUE(day.BeginLoad(folder.File("2012-11-1.log")));
    int steps = 0;
    while (day.LoadStep(step)) ++steps;
    EXPECT_FALSE(day.Loading());
    EXPECT_EQ(day.LastLoadResult(), DayLog::LoadResult::kLoaded);
    EXPECT_EQ(day.BytesRead(), content.size());
    for (int kind = kKindAll; kind <= kKindOther; ++kind) {
      ASSERT_EQ(day.Count(kind), whole.Count(kind)) << "step " << step << " kind " << kind;
      for (std::size_t i = 0; i < day.Count(kind); ++i) {
        EXPECT_EQ(day.Line(kind, i), whole.Line(kind, i));
      }
    }
  }
}

TEST(Loading, ProgressCanCancelAndMissingFilesLoadNothing) {
  TempFolder folder;
  std::string content;
  for (int i = 0; i < 1000; ++i) content += EventLine("2012-11-1 9:0:0", kDeny) + "\r\n";
  folder.Write("day.log", content);

  DayLog day;
  day.SetKind(kKindDeny);
  day.SetSearch("x");
  std::vector<std::uint64_t> seen;
  EXPECT_EQ(day.Load(folder.File("day.log"),
                     [&](std::uint64_t read, std::uint64_t total) {
                       EXPECT_EQ(total, content.size());
                       seen.push_back(read);
                       return true;
                     }),
            DayLog::LoadResult::kLoaded);
  EXPECT_EQ(seen.back(), content.size());
  EXPECT_EQ(day.Count(kKindDeny), 1000u);
  EXPECT_EQ(day.Kind(), kKindDeny);  // kind and search outlive a load
  EXPECT_EQ(day.Search(), "x");

  // A cancelled load must not leave half a day that looks complete.
  DayLog cancelled;
  const auto result = cancelled.BeginLoad(folder.File("day.log"));
  ASSERT_TRUE(result);
  cancelled.LoadStep(1000);
  EXPECT_GT(cancelled.Count(kKindAll), 0u);
  cancelled.CancelLoad();
  EXPECT_EQ(cancelled.Count(kKindAll), 0u);
  EXPECT_EQ(cancelled.LastLoadResult(), DayLog::LoadResult::kCancelled);

  EXPECT_EQ(day.Load(folder.File("missing.log")), DayLog::LoadResult::kCannotOpen);
  EXPECT_EQ(day.Count(kKindAll), 0u);
  EXPECT_EQ(day.Load(folder.Dir().string()), DayLog::LoadResult::kCannotOpen);
}

}  // namespace
}  // namespace orv::loganalyzer
