// Dates and paths as the console pages use them: today's date label, the program's folder,
// a typed existence check and the date label every log file name is reduced to.
#pragma once

#include <string>
#include <string_view>

namespace orv::console {

// The local date as "year-month-day" without leading zeros, e.g. "2012-11-1".
std::string TodayText();

// Folder of the running program, always ending with a separator.
std::string ModuleDirectory();

// True when `path` exists and is a directory (directory flag set) or exists and is not a
// directory (flag clear).
bool PathExistsAs(const std::string& path, bool directory);

// A date label "yyyy-mm-dd" from texts such as "2012-1-5", "2012-01-05 12:00" or the GBK form
// of "2012年1月5日"; texts of 7 bytes or less give the empty text, texts that do not split
// into three pieces come back only cut (see the .cpp for the exact steps).
std::string NormalizeDateText(std::string_view text);

}  // namespace orv::console
