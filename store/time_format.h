// Time texts of the event log and the block pages.
#pragma once

#include <ctime>
#include <string>

namespace orv::store {

enum class TimePart { Date, DateTime };
enum class TimeStyle {
  Numeric,  // "2012-10-31" / "2012-10-31 9:5:7" (local time, no leading zeros)
  Chinese,  // "2012年10月31日" / "... 9时5分7秒" (local time; month and day padded to 2 digits)
  Gmt,      // "31 Oct 2012 GMT" / "Wed, 31 Oct 2012 01:05:07 GMT"
};

// Chinese texts are returned in GBK, as the system writes them.
std::string FormatTime(std::time_t t, TimePart part, TimeStyle style);

}  // namespace orv::store
