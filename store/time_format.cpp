#include "store/time_format.h"

#include <cstdio>

#include "store/clock.h"

namespace orv::store {
namespace {

// GBK bytes of the Chinese date and time units, so the text is the same whatever the source
// encoding: "年" (year), "月" (month), "日" (day), "时" (hour), "分" (minute), "秒" (second).
constexpr const char* kYear = "\xC4\xEA";
constexpr const char* kMonth = "\xD4\xC2";
constexpr const char* kDay = "\xC8\xD5";
constexpr const char* kHour = "\xCA\xB1";
constexpr const char* kMinute = "\xB7\xD6";
constexpr const char* kSecond = "\xC3\xEB";

// HTTP dates are English whatever the process locale, so the names are our own.
constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

const char* NameAt(const char* const* names, int count, int index) {
  return index >= 0 && index < count ? names[index] : "???";
}

std::string Numeric(const std::tm& tm, TimePart part) {
  char buffer[96];
  if (part == TimePart::Date) {
    std::snprintf(buffer, sizeof buffer, "%d-%d-%d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  } else {
    std::snprintf(buffer, sizeof buffer, "%d-%d-%d %d:%d:%d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  }
  return buffer;
}

std::string Chinese(const std::tm& tm, TimePart part) {
  // Month and day are written with two digits, the time without leading zeros.
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%d%s%02d%s%02d%s", tm.tm_year + 1900, kYear, tm.tm_mon + 1,
                kMonth, tm.tm_mday, kDay);
  std::string text = buffer;
  if (part == TimePart::DateTime) {
    std::snprintf(buffer, sizeof buffer, " %d%s%d%s%d%s", tm.tm_hour, kHour, tm.tm_min, kMinute,
                  tm.tm_sec, kSecond);
    text += buffer;
  }
  return text;
}

std::string Gmt(const std::tm& tm, TimePart part) {
  char buffer[96];
  const char* month = NameAt(kMonths, 12, tm.tm_mon);
  if (part == TimePart::Date) {
    std::snprintf(buffer, sizeof buffer, "%02d %s %d GMT", tm.tm_mday, month, tm.tm_year + 1900);
  } else {
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %d %02d:%02d:%02d GMT",
                  NameAt(kWeekdays, 7, tm.tm_wday), tm.tm_mday, month, tm.tm_year + 1900,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
  }
  return buffer;
}

}  // namespace

std::string FormatTime(std::time_t t, TimePart part, TimeStyle style) {
  switch (style) {
    case TimeStyle::Numeric:
      return Numeric(LocalTime(t), part);
    case TimeStyle::Chinese:
      return Chinese(LocalTime(t), part);
    case TimeStyle::Gmt:
      return Gmt(UtcTime(t), part);
  }
  return {};
}

}  // namespace orv::store
