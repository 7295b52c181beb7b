#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "console/foundation/dates_paths.h"
#include "console/foundation/log_file_names.h"

namespace orv::console {
namespace {

using Names = std::vector<std::string>;

TEST(NormalizeDateText, PadsMonthAndDay) {
  EXPECT_EQ(NormalizeDateText("2012-1-5"), "2012-01-05");
  EXPECT_EQ(NormalizeDateText("2012-01-05"), "2012-01-05");
  // GBK "2012年1月5日": the trailing "日" makes the day piece 3 bytes, cut to "05".
  EXPECT_EQ(NormalizeDateText("2012\xC4\xEA"
                              "1\xD4\xC2"
                              "5\xC8\xD5"),
            "2012-01-05");
  EXPECT_EQ(NormalizeDateText("2012-11-30 12:00"), "2012-11-30");
}

TEST(NormalizeDateText, ShortAndUnsplittableTexts) {
  EXPECT_EQ(NormalizeDateText("2012-11"), "");  // 7 bytes
  EXPECT_EQ(NormalizeDateText(""), "");
  // No dash: cut to 10 bytes and given back as it is.
  EXPECT_EQ(NormalizeDateText("201211301200"), "2012113012");
  // A space at position 7 or less does not cut; the text stays whole.
  EXPECT_EQ(NormalizeDateText("2012 1-5-x"), "2012 1-05-0x");
  // A three-digit piece is cut, as the stored labels always were.
  EXPECT_EQ(NormalizeDateText("2012-123-5"), "2012-01-05");
  // Empty pieces between dashes are dropped.
  EXPECT_EQ(NormalizeDateText("2012--3--4"), "2012-03-04");
}

TEST(TodayText, YearMonthDayWithoutLeadingZeros) {
  EXPECT_TRUE(std::regex_match(TodayText(), std::regex("[0-9]{4}-[1-9][0-9]?-[1-9][0-9]?")))
      << TodayText();
}

TEST(SortLogFileNames, OrdersMixedNamesByDate) {
  Names names{"2012-11-1.log", "2012-9-30.log", "orv2012-10-05.log", "2011-12-31.LOG",
              "2012-11-01.log"};
  EXPECT_EQ(SortLogFileNames(names, false), 5u);
  // Equal dates keep their arrival order.
  EXPECT_EQ(names, (Names{"2011-12-31.LOG", "2012-9-30.log", "orv2012-10-05.log", "2012-11-1.log",
                          "2012-11-01.log"}));
}

TEST(SortLogFileNames, NewestFirstAndDroppedNames) {
  Names names{"2012-1-2.log", "x.log", "2013-1-1.log", "abc", "2012-12-31.log"};
  EXPECT_EQ(SortLogFileNames(names, true), 3u);
  EXPECT_EQ(names, (Names{"2013-1-1.log", "2012-12-31.log", "2012-1-2.log"}));
  Names empty;
  EXPECT_EQ(SortLogFileNames(empty, false), 0u);
}

TEST(SortLogFileNames, UppercaseOrvIsOnlyRemovedForTheIncomingKey) {
  // The incoming key is lowered before "orv" is removed; the placed key is not, so a placed
  // "ORV..." name keys on its raw text, which sorts after every digit.
  Names names{"ORV2012-5-5.log", "2012-1-1.log"};
  EXPECT_EQ(SortLogFileNames(names, false), 2u);
  EXPECT_EQ(names, (Names{"2012-1-1.log", "ORV2012-5-5.log"}));
}

}  // namespace
}  // namespace orv::console
