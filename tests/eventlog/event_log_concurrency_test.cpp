// Many request threads log while others force flushes and the clock runs over midnight: every
// written line must be whole, and every line must be either written or counted as dropped.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <latch>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "store/event_log.h"
#include "test_support.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_folder.h"

namespace orv::store {
namespace {

using orv::testing::FakeClock;
using orv::testing::TempFolder;
using orv::testing::UtcSeconds;
using testing::ReadLines;

// ORV_EVENTLOG_STRESS=N multiplies the work for a longer soak.
int StressFactor() {
  const char* value = std::getenv("ORV_EVENTLOG_STRESS");
  const int factor = value ? std::atoi(value) : 1;
  return std::max(factor, 1);
}

std::string StressLine(int thread, int index) {
  char url[32];
  std::snprintf(url, sizeof url, "/t%02d/%06d", thread, index);
  return std::string("2012-10-31 23:0:0\tkind\tGET\tkw\t10.0.0.") + std::to_string(thread) + "\t" +
         url + "\trefer text of some length to make torn writes visible";
}

std::string UrlOf(int thread, int index) {
  char url[32];
  std::snprintf(url, sizeof url, "/t%02d/%06d", thread, index);
  return url;
}

TEST(EventLogConcurrencyTest, LinesAreWholeAndEachIsWrittenOrCountedDropped) {
  testing::UseUtcAsLocalTime();
  constexpr int kAdders = 4;
  constexpr int kFlushers = 2;
  const int linesPerAdder = 250 * StressFactor();

  TempFolder dir;
  auto clock = std::make_shared<FakeClock>(UtcSeconds(2012, 10, 31, 23, 0, 0));
  std::map<std::string, int> added;  // line -> times Add was called with it
  std::size_t dropped = 0;
  {
    EventLog log(clock);
    log.SetDirectory(dir.Dir().string() + "/");
    std::atomic<int> addersLeft{kAdders};
    std::latch startTogether(kAdders + kFlushers);

    std::vector<std::thread> threads;
    for (int t = 0; t < kAdders; ++t) {
      threads.emplace_back([&, t] {
        startTogether.arrive_and_wait();
        for (int i = 0; i < linesPerAdder; ++i) {
          const std::string line = StressLine(t, i);
          const std::string url = UrlOf(t, i);
          // The same hit twice: a repeat while pending, an identical line in overflow, or a
          // new line once the first has been written.
          log.Add(false, line, "kw", url);
          if (i % 3 == 0) log.Add(false, line, "kw", url);
        }
        addersLeft.fetch_sub(1);
      });
    }
    for (int f = 0; f < kFlushers; ++f) {
      threads.emplace_back([&] {
        startTogether.arrive_and_wait();
        while (addersLeft.load() > 0) {
          clock->Advance(60);  // crosses midnight part-way through
          log.ForceFlushIfDue();
          log.Add(true, "", "", "");
          std::this_thread::yield();
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    dropped = log.DroppedCount();
  }  // the destructor writes what is still pending or in overflow

  for (int t = 0; t < kAdders; ++t) {
    for (int i = 0; i < linesPerAdder; ++i) added[StressLine(t, i)] += (i % 3 == 0) ? 2 : 1;
  }
  std::size_t totalAdded = 0;
  for (const auto& [line, times] : added) totalAdded += static_cast<std::size_t>(times);

  std::map<std::string, int> written;
  std::size_t totalWritten = 0;
  int dayFiles = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Dir().string())) {
    ++dayFiles;
    for (const std::string& line : ReadLines(entry.path().string())) {
      ASSERT_EQ(std::count(line.begin(), line.end(), '\t'), 6) << line;
      ASSERT_TRUE(added.count(line)) << "not a line that was added: " << line;
      ++written[line];
      ++totalWritten;
    }
  }
  for (const auto& [line, times] : written) EXPECT_LE(times, added[line]) << line;
  EXPECT_EQ(totalWritten + dropped, totalAdded);
  EXPECT_GT(totalWritten, 0u);
  EXPECT_GE(dayFiles, 1);
}

// Distinct events from many threads: none of them is a repeat, so every one must reach the
// file, whether a request thread writes the batches or a writer thread does.
void ExpectEveryDistinctLineWritten(bool writerThread) {
  testing::UseUtcAsLocalTime();
  constexpr int kAdders = 8;
  const int linesPerAdder = 400 * StressFactor();
  TempFolder dir;
  auto clock = std::make_shared<FakeClock>(UtcSeconds(2012, 10, 31, 10, 0, 0));
  std::size_t dropped = 0;
  {
    EventLog log(clock);
    log.SetDirectory(dir.Dir().string());
    std::mutex wakeMutex;
    std::condition_variable woken;
    bool wanted = false;
    bool done = false;
    std::thread writer;
    if (writerThread) {
      log.DeferWrites([&] {
        std::lock_guard lock(wakeMutex);
        wanted = true;
        woken.notify_one();
      });
      writer = std::thread([&] {
        std::unique_lock lock(wakeMutex);
        while (!done) {
          woken.wait(lock, [&] { return wanted || done; });
          wanted = false;
          lock.unlock();
          log.WriteIfDue();
          lock.lock();
        }
      });
    }
    std::latch startTogether(kAdders);
    std::vector<std::thread> adders;
    for (int t = 0; t < kAdders; ++t) {
      adders.emplace_back([&, t] {
        startTogether.arrive_and_wait();
        for (int i = 0; i < linesPerAdder; ++i) log.Add(false, StressLine(t, i), "kw", UrlOf(t, i));
      });
    }
    for (std::thread& adder : adders) adder.join();
    if (writer.joinable()) {
      {
        std::lock_guard lock(wakeMutex);
        done = true;
        woken.notify_one();
      }
      writer.join();
    }
    dropped = log.DroppedCount();
  }
  std::set<std::string> written;
  for (const std::string& line : ReadLines(dir.File("2012-10-31.log"))) {
    ASSERT_TRUE(written.insert(line).second) << "written twice: " << line;
  }
  EXPECT_EQ(dropped, 0u);
  EXPECT_EQ(written.size(), static_cast<std::size_t>(kAdders * linesPerAdder));
}

TEST(EventLogConcurrencyTest, DistinctEventsFromManyThreadsAreAllWritten) {
  ExpectEveryDistinctLineWritten(false);
}

TEST(EventLogConcurrencyTest, DistinctEventsAreAllWrittenByAWriterThread) {
  ExpectEveryDistinctLineWritten(true);
}

}  // namespace
}  // namespace orv::store
