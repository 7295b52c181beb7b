// The event log writer: one per loaded filter. Lines are queued in memory, repeats dropped,
// and appended to the day's file ("2012-10-31.log" in the log directory) in batches.
// Every method may be called from many threads at once.
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "store/clock.h"

namespace orv::store {

// A batch: once this many distinct lines wait, the next one has them written first.
inline constexpr std::size_t kMaxPendingLines = 50;
inline constexpr std::size_t kFlushAtPendingLines = 30;
// Lines held in memory at most (waiting, and set aside during a write); beyond it a line is
// dropped and counted. Reached only when the disk cannot keep up or the file cannot be opened.
inline constexpr std::size_t kMaxQueuedLines = 10000;
inline constexpr int kForcedFlushSeconds = 300;

class EventLog {
 public:
  // Appends `text` to the file at `path`, creating it when missing; false when the file cannot
  // be opened or written. The writer uses files::AppendToFile unless given another.
  using AppendFunction = std::function<bool(const std::string& path, std::string_view text)>;

  explicit EventLog(std::shared_ptr<const Clock> clock);
  EventLog(std::shared_ptr<const Clock> clock, AppendFunction append);
  // Orderly unload: lines still pending are written.
  ~EventLog();

  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  // Queues one line. `matched` and `url` only serve to recognise repeats. A forced call with
  // an empty line only flushes. When kMaxPendingLines distinct lines already wait, they are
  // written as a batch first and the new line starts the next one.
  void Add(bool force, std::string_view line, std::string_view matched, std::string_view url);

  // Hands every file write to a writer thread: from now on Add and ForceFlushIfDue never touch
  // the disk, but note that a batch is due and call `wake` (without the writer's lock held),
  // and the writer thread calls WriteIfDue. Set once, before the log is shared.
  void DeferWrites(std::function<void()> wake);
  // For the writer thread: writes the waiting lines when a write was asked for or the forced
  // flush clock (kForcedFlushSeconds since the last flush) is due. True when a write ran.
  bool WriteIfDue();

  // Writes every line waiting (the lines set aside during a write included) on the calling
  // thread, once a write another thread has begun is over: for a host's last call before its
  // process may end. Also when the writes are left to a writer thread.
  void WriteAll();

  // Ignored when `directory` is empty.
  void SetDirectory(std::string_view directory);

  // The request handling's flush clock: when now - last flush >= kForcedFlushSeconds (a plain
  // difference, so a clock set back waits until the stored time is reached again), the last
  // flush time becomes now and a forced flush runs. True when it ran. Only one of several
  // threads that find it due at once runs it.
  bool ForceFlushIfDue();

  std::time_t LastFlush() const;
  std::size_t PendingCount() const;
  // Lines that arrived while a flush ran, waiting to join the pending ones.
  std::size_t OverflowCount() const;
  // Lines the rules dropped since construction: repeats, identical lines while a flush runs,
  // lines beyond kMaxQueuedLines, and lines discarded because the log directory was missing.
  std::size_t DroppedCount() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// Day file name for a time: "%d-%d-%d.log" of the local date.
std::string LogFileName(std::time_t t);

}  // namespace orv::store
