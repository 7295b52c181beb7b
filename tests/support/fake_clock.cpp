#include "tests/support/fake_clock.h"

namespace orv::testing {
namespace {

std::tm Fields(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return tm;
}

}  // namespace

std::time_t LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm = Fields(year, month, day, hour, minute, second);
  tm.tm_isdst = -1;  // let the zone's rules say whether summer time applies
  return std::mktime(&tm);
}

std::time_t UtcSeconds(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm = Fields(year, month, day, hour, minute, second);
  return timegm(&tm);
}

}  // namespace orv::testing
