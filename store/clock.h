// Wall-clock time, injectable so that midnight, the hourly reload and the flush clock can be
// tested. Local-time conversions use the process's time zone.
#pragma once

#include <ctime>
#include <memory>

namespace orv::store {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since 1970 (UTC), as the system's time() gives them.
  virtual std::time_t Now() const = 0;
};

class SystemClock final : public Clock {
 public:
  std::time_t Now() const override { return std::time(nullptr); }
};

std::shared_ptr<const Clock> MakeSystemClock();

// Local broken-down time of `t` (thread-safe).
std::tm LocalTime(std::time_t t);
// UTC broken-down time of `t` (thread-safe).
std::tm UtcTime(std::time_t t);

}  // namespace orv::store
