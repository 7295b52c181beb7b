// A clock the test turns: midnight, the hourly reload and the flush interval without waiting.
// Safe to read from the threads under test while the test sets it.
#pragma once

#include <atomic>
#include <ctime>

#include "store/clock.h"

namespace orv::testing {

// Seconds since 1970 of a date and time in the process's time zone, and in UTC.
std::time_t LocalSeconds(int year, int month, int day, int hour = 0, int minute = 0,
                         int second = 0);
std::time_t UtcSeconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

class FakeClock final : public store::Clock {
 public:
  explicit FakeClock(std::time_t start = 0) : now_(start) {}
  std::time_t Now() const override { return now_.load(); }
  void Set(std::time_t t) { now_.store(t); }
  void Advance(std::time_t seconds) { now_.fetch_add(seconds); }
  // Sets the clock to a local date and time of the process's time zone.
  void SetLocal(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    Set(LocalSeconds(year, month, day, hour, minute, second));
  }

 private:
  std::atomic<std::time_t> now_;
};

}  // namespace orv::testing
