#include "store/time_format.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/codepage.h"
#include "store/event_log.h"
#include "test_support.h"
#include "tests/support/fake_clock.h"

namespace orv::store {
namespace {

using orv::testing::UtcSeconds;

class TimeFormatTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::UseUtcAsLocalTime(); }
};

std::string Gbk(const char* utf8) {
  return codepage::Utf8ToAnsi(utf8);
}

TEST_F(TimeFormatTest, NumericHasNoLeadingZeros) {
  const std::time_t october = UtcSeconds(2012, 10, 31, 9, 5, 7);
  EXPECT_EQ(FormatTime(october, TimePart::Date, TimeStyle::Numeric), "2012-10-31");
  EXPECT_EQ(FormatTime(october, TimePart::DateTime, TimeStyle::Numeric), "2012-10-31 9:5:7");

  const std::time_t january = UtcSeconds(2013, 1, 5, 23, 59, 59);
  EXPECT_EQ(FormatTime(january, TimePart::Date, TimeStyle::Numeric), "2013-1-5");
  EXPECT_EQ(FormatTime(january, TimePart::DateTime, TimeStyle::Numeric), "2013-1-5 23:59:59");

  const std::time_t midnight = UtcSeconds(2013, 1, 6);
  EXPECT_EQ(FormatTime(midnight, TimePart::DateTime, TimeStyle::Numeric), "2013-1-6 0:0:0");
}

TEST_F(TimeFormatTest, LogFileNameIsTheNumericDate) {
  EXPECT_EQ(LogFileName(UtcSeconds(2012, 10, 31, 9, 5, 7)), "2012-10-31.log");
  EXPECT_EQ(LogFileName(UtcSeconds(2013, 1, 5, 23, 59, 59)), "2013-1-5.log");
  EXPECT_EQ(LogFileName(UtcSeconds(2013, 1, 6)), "2013-1-6.log");
}

TEST_F(TimeFormatTest, ChineseUnitsAreGbk) {
  // The units written as escaped bytes must be the code page's own encoding of the characters.
  const std::time_t t = UtcSeconds(2012, 10, 31, 19, 45, 30);
  const std::string text = FormatTime(t, TimePart::DateTime, TimeStyle::Chinese);
  EXPECT_EQ(text, Gbk("2012年10月31日 19时45分30秒"));
  EXPECT_EQ(Gbk("年月日时分秒"), "\xC4\xEA\xD4\xC2\xC8\xD5\xCA\xB1\xB7\xD6\xC3\xEB");
}

TEST_F(TimeFormatTest, ChinesePadsMonthAndDayButNotTheTime) {
  struct Case {
    std::time_t t;
    const char* date;
  };
  const Case cases[] = {
      {UtcSeconds(2012, 10, 31), "2012年10月31日"},
      {UtcSeconds(2012, 10, 5), "2012年10月05日"},
      {UtcSeconds(2013, 1, 15), "2013年01月15日"},
      {UtcSeconds(2013, 1, 5), "2013年01月05日"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatTime(c.t, TimePart::Date, TimeStyle::Chinese), Gbk(c.date)) << c.date;
  }
  EXPECT_EQ(FormatTime(UtcSeconds(2013, 1, 5, 9, 5, 7), TimePart::DateTime, TimeStyle::Chinese),
            Gbk("2013年01月05日 9时5分7秒"));
}

TEST_F(TimeFormatTest, GmtIsHttpDate) {
  const std::time_t t = UtcSeconds(2012, 10, 31, 9, 5, 7);
  EXPECT_EQ(FormatTime(t, TimePart::Date, TimeStyle::Gmt), "31 Oct 2012 GMT");
  EXPECT_EQ(FormatTime(t, TimePart::DateTime, TimeStyle::Gmt), "Wed, 31 Oct 2012 09:05:07 GMT");
  EXPECT_EQ(FormatTime(UtcSeconds(2013, 1, 5, 0, 0, 0), TimePart::DateTime, TimeStyle::Gmt),
            "Sat, 05 Jan 2013 00:00:00 GMT");
  EXPECT_EQ(FormatTime(UtcSeconds(2000, 2, 29, 23, 59, 59), TimePart::DateTime, TimeStyle::Gmt),
            "Tue, 29 Feb 2000 23:59:59 GMT");
}

TEST_F(TimeFormatTest, GmtIgnoresTheLocalZoneWhileTheOthersFollowIt) {
  // Eight hours east of Greenwich: 20:05:07 GMT is already the next local day.
  setenv("TZ", "CST-8", 1);
  tzset();
  const std::time_t t = UtcSeconds(2012, 10, 31, 20, 5, 7);
  EXPECT_EQ(FormatTime(t, TimePart::DateTime, TimeStyle::Numeric), "2012-11-1 4:5:7");
  EXPECT_EQ(FormatTime(t, TimePart::Date, TimeStyle::Chinese), Gbk("2012年11月01日"));
  EXPECT_EQ(FormatTime(t, TimePart::DateTime, TimeStyle::Gmt), "Wed, 31 Oct 2012 20:05:07 GMT");
  EXPECT_EQ(LogFileName(t), "2012-11-1.log");
}

}  // namespace
}  // namespace orv::store
