#include "store/event_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "test_support.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_folder.h"

namespace orv::store {
namespace {

using orv::testing::FakeClock;
using orv::testing::ReadBytes;
using orv::testing::TempFolder;
using orv::testing::UtcSeconds;
using testing::FileExists;
using testing::ReadLines;
using Lines = std::vector<std::string>;

// A log line as the handlers build it: seven tab-separated fields.
std::string EventLine(const std::string& key, const std::string& url,
                      const std::string& refer = "x") {
  return "2012-10-31 9:5:7\tkind\tGET\t" + key + "\t10.0.0.1\t" + url + "\t" + refer;
}

class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::UseUtcAsLocalTime(); }

  std::string DayFile(const std::string& name = "2012-10-31.log") const { return dir.File(name); }

  // Adds distinct lines "line-NN" that never repeat each other.
  static void AddDistinct(EventLog& log, int from, int count) {
    for (int i = from; i < from + count; ++i) {
      const std::string url = "/page-" + std::to_string(1000 + i);
      log.Add(false, EventLine("kw", url), "kw", url);
    }
  }

  const std::time_t start = UtcSeconds(2012, 10, 31, 9, 5, 7);
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(start);
  TempFolder dir;
};

TEST_F(EventLogTest, SameMatchedListOnSameUrlWhilePendingGivesOneLine) {
  EventLog log(clock);
  log.SetDirectory(dir.Dir().string());
  const std::string first = EventLine("kw1,kw2", "www.a.com/p.html", "first");
  log.Add(false, first, "kw1,kw2", "www.a.com/p.html");
  log.Add(false, EventLine("kw1,kw2", "www.a.com/p.html", "second"), "kw1,kw2", "www.a.com/p.html");
  EXPECT_EQ(log.PendingCount(), 1u);
  EXPECT_EQ(log.DroppedCount(), 1u);

  // Another URL, or another matched list, is a new event.
  log.Add(false, EventLine("kw1,kw2", "www.b.com/"), "kw1,kw2", "www.b.com/");
  log.Add(false, EventLine("kw3", "www.a.com/p.html"), "kw3", "www.a.com/p.html");
  EXPECT_EQ(log.PendingCount(), 3u);

  log.Add(true, "", "", "");
  const Lines lines = ReadLines(DayFile());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], first);
}

TEST_F(EventLogTest, RepeatTextsAreSubstringsAndEmptyOnesMatchEverything) {
  EventLog log(clock);
  // Both texts empty: nothing is a repeat, not even the identical line.
  log.Add(false, "same", "", "");
  log.Add(false, "same", "", "");
  EXPECT_EQ(log.PendingCount(), 2u);

  // An empty matched list is contained in every line: the URL alone decides.
  log.Add(false, EventLine("a", "www.c.com/x"), "", "www.c.com/x");
  log.Add(false, EventLine("b", "www.c.com/x"), "", "www.c.com/x");
  EXPECT_EQ(log.PendingCount(), 3u);

  // Substrings: "www.c.com/" is contained in the pending line of "www.c.com/x".
  log.Add(false, EventLine("a", "www.c.com/"), "a", "www.c.com/");
  EXPECT_EQ(log.PendingCount(), 3u);
  EXPECT_EQ(log.DroppedCount(), 2u);
}

TEST_F(EventLogTest, FullBatchIsWrittenWhenTheNextDistinctLineComes) {
  EventLog log(clock);
  log.SetDirectory(dir.Dir().string());
  AddDistinct(log, 0, 50);
  EXPECT_EQ(log.PendingCount(), 50u);
  EXPECT_FALSE(FileExists(DayFile())) << "lines alone do not flush below a full batch";

  // An unforced empty line is not an event and does nothing.
  log.Add(false, "", "", "");
  EXPECT_EQ(log.PendingCount(), 50u);

  clock->Advance(3);
  AddDistinct(log, 50, 1);
  Lines lines = ReadLines(DayFile());
  ASSERT_EQ(lines.size(), 50u);
  EXPECT_EQ(lines.back(), EventLine("kw", "/page-1049"));
  EXPECT_EQ(log.PendingCount(), 1u) << "the 51st line starts the next batch";
  EXPECT_EQ(log.DroppedCount(), 0u);
  EXPECT_EQ(log.LastFlush(), start + 3);

  // A burst of distinct events far beyond one batch loses nothing.
  AddDistinct(log, 51, 89);
  log.Add(true, "", "", "");
  lines = ReadLines(DayFile());
  ASSERT_EQ(lines.size(), 140u);
  EXPECT_EQ(lines[50], EventLine("kw", "/page-1050"));
  EXPECT_EQ(lines.back(), EventLine("kw", "/page-1139"));
  EXPECT_EQ(log.DroppedCount(), 0u);
}

TEST_F(EventLogTest, RepeatFlushesOnceThirtyLinesWait) {
  EventLog log(clock);
  log.SetDirectory(dir.Dir().string());
  AddDistinct(log, 0, 29);
  log.Add(false, EventLine("kw", "/page-1000"), "kw", "/page-1000");  // repeat, 29 wait
  EXPECT_EQ(log.PendingCount(), 29u);
  EXPECT_FALSE(FileExists(DayFile()));

  AddDistinct(log, 29, 1);
  EXPECT_EQ(log.PendingCount(), 30u);
  clock->Advance(10);
  log.Add(false, EventLine("kw", "/page-1000"), "kw", "/page-1000");  // repeat, 30 wait
  EXPECT_EQ(log.PendingCount(), 0u);
  EXPECT_EQ(ReadLines(DayFile()).size(), 30u);
  EXPECT_EQ(log.LastFlush(), start + 10);
}

TEST_F(EventLogTest, BatchIsOneAppendOfCrLfEndedLines) {
  std::vector<std::pair<std::string, std::string>> appends;
  EventLog log(clock, [&](const std::string& path, std::string_view text) {
    appends.emplace_back(path, std::string(text));
    return true;
  });
  log.SetDirectory(dir.Dir().string());
  log.Add(false, "a\tb", "a", "");
  log.Add(false, "c", "c", "");
  log.Add(true, "", "", "");
  ASSERT_EQ(appends.size(), 1u);
  EXPECT_EQ(appends[0].first, DayFile());
  EXPECT_EQ(appends[0].second, "a\tb\r\nc\r\n");

  // Nothing pending: no write, so no empty day file is created.
  log.Add(true, "", "", "");
  EXPECT_EQ(appends.size(), 1u);
}

TEST_F(EventLogTest, BatchesAreAppendedToTheDayFileWithOrWithoutTrailingSeparator) {
  for (const std::string& directory : {dir.Dir().string(), dir.Dir().string() + "/"}) {
    std::filesystem::remove(DayFile());
    EventLog log(clock);
    log.SetDirectory(directory);
    log.SetDirectory("");  // ignored: the folder stays
    log.Add(false, "one", "1", "");
    log.Add(true, "", "", "");
    log.Add(false, "two", "2", "");
    log.Add(true, "", "", "");
    EXPECT_EQ(ReadBytes(DayFile()), "one\r\ntwo\r\n") << directory;
  }
}

TEST_F(EventLogTest, DirectoryDeletedWhileRunningDiscardsPendingLines) {
  EventLog log(clock);
  const std::string logs = dir.File("logs");
  std::filesystem::create_directory(logs);
  log.SetDirectory(logs);
  AddDistinct(log, 0, 3);
  std::filesystem::remove_all(logs);

  clock->Advance(5);
  log.Add(true, "", "", "");
  EXPECT_EQ(log.PendingCount(), 0u);
  EXPECT_EQ(log.DroppedCount(), 3u);
  EXPECT_EQ(log.LastFlush(), start + 5);
  EXPECT_FALSE(FileExists(logs));

  // Once the folder is back, new lines are written; the discarded ones stay gone.
  std::filesystem::create_directory(logs);
  log.Add(false, "after", "a", "");
  log.Add(true, "", "", "");
  EXPECT_EQ(ReadBytes(logs + "/2012-10-31.log"), "after\r\n");
}

TEST_F(EventLogTest, UnopenableFileKeepsLinesPendingUntilALaterFlush) {
  EventLog log(clock);
  log.SetDirectory(dir.Dir().string());
  // A folder in the place of the day file: it cannot be opened for appending.
  std::filesystem::create_directory(DayFile());
  AddDistinct(log, 0, 49);
  clock->Advance(7);
  log.Add(true, "", "", "");
  EXPECT_EQ(log.PendingCount(), 49u);
  EXPECT_EQ(log.DroppedCount(), 0u);
  EXPECT_EQ(log.LastFlush(), start + 7);

  // Still waiting: the 50th is taken, and the 51st too after another failed attempt.
  AddDistinct(log, 49, 2);
  EXPECT_EQ(log.PendingCount(), 51u);
  EXPECT_EQ(log.DroppedCount(), 0u);

  std::filesystem::remove(DayFile());
  log.Add(true, "", "", "");
  const Lines lines = ReadLines(DayFile());
  ASSERT_EQ(lines.size(), 51u);
  EXPECT_EQ(lines.front(), EventLine("kw", "/page-1000"));
  EXPECT_EQ(lines.back(), EventLine("kw", "/page-1050"));
  EXPECT_EQ(log.PendingCount(), 0u);
}

TEST_F(EventLogTest, UnwritableLogHoldsABoundedNumberOfLines) {
  int attempts = 0;
  EventLog log(clock, [&](const std::string&, std::string_view) {
    ++attempts;
    return false;
  });
  log.SetDirectory(dir.Dir().string());
  AddDistinct(log, 0, static_cast<int>(kMaxQueuedLines) + 5);
  EXPECT_EQ(log.PendingCount(), kMaxQueuedLines);
  EXPECT_EQ(log.DroppedCount(), 5u);
  // Tried again as the lines double, not at every event: ten thousand events behind a file
  // that cannot be opened cost a handful of attempts, each joining every line waiting.
  EXPECT_GT(attempts, 0);
  EXPECT_LT(attempts, 16);
}

TEST_F(EventLogTest, FirstEventAfterMidnightFlushesPendingIntoTheNewDaysFile) {
  clock->Set(UtcSeconds(2012, 10, 31, 23, 59, 50));
  EventLog log(clock);
  log.SetDirectory(dir.Dir().string());
  log.Add(false, "late-1", "1", "");
  log.Add(false, "late-2", "2", "");

  clock->Set(UtcSeconds(2012, 11, 1, 0, 0, 5));
  log.Add(false, "early", "3", "");
  EXPECT_FALSE(FileExists(DayFile("2012-10-31.log")));
  EXPECT_EQ(ReadBytes(DayFile("2012-11-1.log")), "late-1\r\nlate-2\r\n");
  EXPECT_EQ(log.PendingCount(), 1u);

  log.Add(true, "", "", "");
  EXPECT_EQ(ReadBytes(DayFile("2012-11-1.log")), "late-1\r\nlate-2\r\nearly\r\n");
}

TEST_F(EventLogTest, ForcedFlushClockIsAPlainDifference) {
  EventLog log(clock);
  log.SetDirectory(dir.Dir().string());
  log.Add(false, "line", "l", "");

  clock->Advance(299);
  EXPECT_FALSE(log.ForceFlushIfDue());
  EXPECT_EQ(log.PendingCount(), 1u);
  EXPECT_EQ(log.LastFlush(), start);

  clock->Advance(1);
  EXPECT_TRUE(log.ForceFlushIfDue());
  EXPECT_EQ(log.PendingCount(), 0u);
  EXPECT_EQ(log.LastFlush(), start + 300);
  EXPECT_FALSE(log.ForceFlushIfDue());

  // Clock set back an hour: no flush until the stored time is passed by 300 s again.
  clock->Set(start + 300 - 3600);
  EXPECT_FALSE(log.ForceFlushIfDue());
  clock->Set(start + 599);
  EXPECT_FALSE(log.ForceFlushIfDue());
  clock->Set(start + 600);
  EXPECT_TRUE(log.ForceFlushIfDue());
}

TEST_F(EventLogTest, DestructorWritesPendingLines) {
  {
    EventLog log(clock);
    log.SetDirectory(dir.Dir().string());
    log.Add(false, "one", "1", "");
    log.Add(false, "two", "2", "");
    EXPECT_FALSE(FileExists(DayFile()));
  }
  EXPECT_EQ(ReadBytes(DayFile()), "one\r\ntwo\r\n");
}

// An append that holds the first batch until the test releases it, so that the test can act
// while a flush is running; every batch is kept in memory per path.
class GatedAppend {
 public:
  bool Append(const std::string& path, std::string_view text) {
    std::unique_lock lock(mutex_);
    if (!passedGate_) {
      entered_ = true;
      changed_.notify_all();
      changed_.wait(lock, [&] { return released_; });
      passedGate_ = true;
    }
    files_[path] += text;
    return true;
  }
  void WaitUntilHeld() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return entered_; });
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  std::string File(const std::string& path) {
    std::lock_guard lock(mutex_);
    return files_[path];
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_ = false;
  bool released_ = false;
  bool passedGate_ = false;
  std::map<std::string, std::string> files_;
};

class EventLogOverflowTest : public EventLogTest {
 protected:
  EventLog::AppendFunction Gate() {
    return
        [this](const std::string& path, std::string_view text) { return gate.Append(path, text); };
  }
  // Starts a forced flush on another thread and returns once it is writing.
  std::thread StartHeldFlush(EventLog& log) {
    std::thread flusher([&log] { log.Add(true, "", "", ""); });
    gate.WaitUntilHeld();
    return flusher;
  }

  GatedAppend gate;
};

TEST_F(EventLogOverflowTest, LinesDuringAFlushWaitInOverflowWithoutDuplicates) {
  EventLog log(clock, Gate());
  log.SetDirectory(dir.Dir().string());
  log.Add(false, "A", "A", "");
  log.Add(false, "B", "B", "");
  std::thread flusher = StartHeldFlush(log);

  log.Add(false, "C", "C", "");
  log.Add(false, "C", "C", "");   // identical: dropped
  log.Add(false, "AD", "A", "");  // would repeat A, but overflow only drops identical lines
  log.Add(true, "", "", "");      // a flush runs already
  EXPECT_EQ(log.OverflowCount(), 2u);
  EXPECT_EQ(log.PendingCount(), 2u);
  EXPECT_EQ(log.DroppedCount(), 1u);

  gate.Release();
  flusher.join();
  EXPECT_EQ(gate.File(DayFile()), "A\r\nB\r\n");
  EXPECT_EQ(log.PendingCount(), 0u);
  EXPECT_EQ(log.OverflowCount(), 2u);

  // A new line waits; its repeat moves the overflow behind it; the next flush writes them all.
  log.Add(false, "E", "E", "");
  log.Add(false, "E", "E", "");
  EXPECT_EQ(log.OverflowCount(), 0u);
  EXPECT_EQ(log.PendingCount(), 3u);
  log.Add(true, "", "", "");
  EXPECT_EQ(gate.File(DayFile()), "A\r\nB\r\nE\r\nC\r\nAD\r\n");
}

TEST_F(EventLogOverflowTest, OverflowKeepsMoreThanABatchAndGoesOutWithTheNextOne) {
  EventLog log(clock, Gate());
  log.SetDirectory(dir.Dir().string());
  log.Add(false, "A", "a", "");
  std::thread flusher = StartHeldFlush(log);
  AddDistinct(log, 0, 120);
  EXPECT_EQ(log.OverflowCount(), 120u);
  EXPECT_EQ(log.DroppedCount(), 0u);
  gate.Release();
  flusher.join();
  log.Add(true, "", "", "");
  EXPECT_EQ(log.OverflowCount(), 0u);
  const std::string file = gate.File(DayFile());
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 121);
}

TEST_F(EventLogOverflowTest, DestructorWritesOverflowLinesToo) {
  {
    EventLog log(clock, Gate());
    log.SetDirectory(dir.Dir().string());
    log.Add(false, "A", "a", "");
    std::thread flusher = StartHeldFlush(log);
    log.Add(false, "B", "b", "");
    gate.Release();
    flusher.join();
    EXPECT_EQ(log.OverflowCount(), 1u);
  }
  EXPECT_EQ(gate.File(DayFile()), "A\r\nB\r\n");
}

// The host's last call before its process may end: a forced Add while another thread writes
// returns at once, WriteAll waits for that write and then writes what it did not take.
TEST_F(EventLogOverflowTest, WriteAllWaitsForAWriteInProgressAndLeavesNoLineBehind) {
  EventLog log(clock, Gate());
  log.SetDirectory(dir.Dir().string());
  log.Add(false, "A", "a", "");
  std::thread flusher = StartHeldFlush(log);
  log.Add(false, "B", "b", "");
  log.Add(false, "C", "c", "");
  std::thread terminating([&log] { log.WriteAll(); });
  gate.Release();
  terminating.join();
  // Read before the flusher is joined and before the destructor could write anything.
  EXPECT_EQ(gate.File(DayFile()), "A\r\nB\r\nC\r\n");
  EXPECT_EQ(log.PendingCount() + log.OverflowCount(), 0u);
  flusher.join();
}

TEST_F(EventLogTest, WriteAllWritesOnTheCallingThreadWhenWritesAreDeferred) {
  std::string written;
  EventLog log(clock, [&](const std::string&, std::string_view text) {
    written += text;
    return true;
  });
  log.SetDirectory(dir.Dir().string());
  log.DeferWrites([] {});  // a writer thread that never comes
  AddDistinct(log, 0, 3);
  log.Add(true, "", "", "");
  EXPECT_TRUE(written.empty());
  log.WriteAll();
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 3);
  EXPECT_EQ(log.PendingCount(), 0u);
}

TEST_F(EventLogTest, DeferredWritesLeaveTheDiskToTheWriterThread) {
  int appends = 0;
  std::string written;
  EventLog log(clock, [&](const std::string&, std::string_view text) {
    ++appends;
    written += text;
    return true;
  });
  log.SetDirectory(dir.Dir().string());
  int wakes = 0;
  log.DeferWrites([&] { ++wakes; });

  AddDistinct(log, 0, 51);                                            // a full batch and one more
  log.Add(false, EventLine("kw", "/page-1000"), "kw", "/page-1000");  // a repeat
  clock->Advance(300);
  EXPECT_TRUE(log.ForceFlushIfDue());
  log.Add(true, "", "", "");
  EXPECT_EQ(appends, 0) << "no caller of Add writes";
  EXPECT_EQ(wakes, 1) << "woken once until it writes";
  EXPECT_EQ(log.PendingCount(), 51u);

  EXPECT_TRUE(log.WriteIfDue());
  EXPECT_EQ(appends, 1);
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 51);
  EXPECT_FALSE(log.WriteIfDue()) << "nothing asked for, clock not due";

  log.Add(false, "late", "late", "");
  EXPECT_FALSE(log.WriteIfDue());
  clock->Advance(300);
  EXPECT_TRUE(log.WriteIfDue()) << "the flush clock still applies";
  EXPECT_EQ(appends, 2);
  EXPECT_EQ(wakes, 1);
  AddDistinct(log, 100, 50);
  AddDistinct(log, 150, 1);
  EXPECT_EQ(wakes, 2);
}

}  // namespace
}  // namespace orv::store
