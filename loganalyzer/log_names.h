// How day file names become dates: the listing of a log folder, the date label of a name and
// the date order of names. GBK byte strings throughout.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orv::loganalyzer {

// The entries of `folder` whose name ends with ".log" (any case), files and folders alike,
// except folders whose name starts with "." and the names "debug.log" and "system.log".
// Empty when the folder is not an existing directory. Order as the system returns them.
std::vector<std::string> ListLogFolder(const std::string& folder);

// A date label "yyyy-mm-dd" from texts such as "2012-1-5", "2012-01-05 12:00" or the GBK form
// of "2012年1月5日". Texts of 7 bytes or less give ""; texts that do not split into three
// pieces at "-" come back only cut to their date part.
std::string DateLabel(std::string_view text);

// Orders day file names by the date label of each (lower-cased, every "orv" and ".log"
// removed), oldest first; ties keep their arrival order. Names whose label is shorter than
// 4 bytes are dropped.
std::vector<std::string> OrderByDate(const std::vector<std::string>& names);

// A calendar date read back from a label "yyyy-mm-dd"; false for anything else (other
// lengths, non-digits, month outside 1..12, day outside the month).
struct CivilDate {
  int year = 0;
  int month = 0;
  int day = 0;
};
bool ParseDateLabel(std::string_view label, CivilDate& date);
// Days since 1970-01-01 (negative before).
long long DaysSinceEpoch(const CivilDate& date);

}  // namespace orv::loganalyzer
