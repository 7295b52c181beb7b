// Shared pieces of the event log tests: a clock the test sets, a scratch directory, UTC as the
// local time zone (so that local dates are predictable), and reading back a day's file.
#pragma once

#include <atomic>
#include <ctime>
#include <string>
#include <vector>

#include "store/clock.h"

namespace orv::store::testing {

class FakeClock final : public Clock {
 public:
  explicit FakeClock(std::time_t start) : now_(start) {}
  std::time_t Now() const override { return now_.load(); }
  void Set(std::time_t t) { now_.store(t); }
  void Advance(std::time_t seconds) { now_.fetch_add(seconds); }

 private:
  std::atomic<std::time_t> now_;
};

// Switches the process to UTC for local-time conversions.
void UseUtcAsLocalTime();

// Seconds since 1970 of a UTC date and time.
std::time_t UtcSeconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// A fresh empty directory, removed with everything in it when the object goes.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole file as bytes; empty when it does not exist.
std::string ReadBytes(const std::string& path);
// The file split at CR LF; a missing final CR LF leaves the tail as its own (torn) line.
std::vector<std::string> ReadLines(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace orv::store::testing
