#include "store/event_log.h"

#include <algorithm>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "store/time_format.h"

namespace orv::store {

// One mutex guards every list and field. A flush copies the pending lines while holding it and
// writes them with it released, so the request threads never wait for the disk: while the
// `flushing` mark is set they put their lines into `overflow` instead of `pending`, which keeps
// `pending` unchanged until the writer comes back to settle the batch. The next flush takes the
// overflow in first, so a line set aside is written with the next batch at the latest.
struct EventLog::State {
  std::shared_ptr<const Clock> clock;
  AppendFunction append;

  mutable std::mutex mutex;
  std::condition_variable flushDone;
  std::vector<std::string> pending;
  std::vector<std::string> overflow;
  bool flushing = false;
  std::time_t lastFlush = 0;
  std::string fileName;
  std::string previousFileName;
  std::string directory;
  std::size_t dropped = 0;
  // Set when the writes are left to a writer thread (DeferWrites).
  std::function<void()> wake;
  bool writeWanted = false;
  // After a file that could not be opened, the next full batch is tried only once the lines
  // waiting have doubled (or the flush clock comes): the same failure is not paid for at
  // every further event.
  std::size_t retryAt = 0;
};

namespace {

using Lock = std::unique_lock<std::mutex>;

// A pending line that contains both the matched list and the URL stands for the new one: the
// same hit on the same page is logged once per batch. With both texts empty nothing repeats.
// Only the last few batches' worth of lines are looked at: that is all there is while the file
// can be written (or a writer thread catches up), and it keeps each event cheap while lines
// pile up in front of a file that cannot be opened.
constexpr std::size_t kRepeatWindow = 10 * kMaxPendingLines;

bool IsRepeat(const std::vector<std::string>& pending, std::string_view matched,
              std::string_view url) {
  if (matched.empty() && url.empty()) return false;
  const std::size_t from = pending.size() > kRepeatWindow ? pending.size() - kRepeatWindow : 0;
  return std::any_of(pending.begin() + static_cast<std::ptrdiff_t>(from), pending.end(),
                     [&](const std::string& line) {
                       return line.find(matched) != std::string::npos &&
                              line.find(url) != std::string::npos;
                     });
}

void MoveOverflowToPending(EventLog::State& s) {
  s.pending.insert(s.pending.end(), std::make_move_iterator(s.overflow.begin()),
                   std::make_move_iterator(s.overflow.end()));
  s.overflow.clear();
}

// A new local date switches the day file. Lines still pending from the day before are flushed
// by the caller into the new file, as the writer has always done.
bool DayChanged(EventLog::State& s) {
  std::string today = LogFileName(s.clock->Now());
  if (today == s.previousFileName) return false;
  s.previousFileName = today;
  s.fileName = std::move(today);
  return true;
}

enum class FlushOutcome { Written, NoDirectory, NotOpened };

// Writes the pending lines as one batch. Called with `lock` held and no flush running; returns
// with `lock` held again. The file I/O runs unlocked.
void Flush(EventLog::State& s, Lock& lock) {
  s.lastFlush = s.clock->Now();
  MoveOverflowToPending(s);
  if (s.pending.empty()) return;  // nothing to write: no empty day file is created

  std::string text;
  for (const std::string& line : s.pending) {
    text += line;
    text += "\r\n";
  }
  const std::size_t batch = s.pending.size();
  const std::string directory = s.directory;
  const std::string fileName = s.fileName;
  s.flushing = true;
  lock.unlock();

  FlushOutcome outcome = FlushOutcome::NotOpened;
  try {
    if (!files::IsDirectory(directory)) {
      outcome = FlushOutcome::NoDirectory;
    } else if (s.append(files::JoinPath(directory, fileName), text)) {
      outcome = FlushOutcome::Written;
    }
  } catch (...) {
    // A failed write keeps the lines pending; the host never sees an error.
  }

  lock.lock();
  if (outcome == FlushOutcome::NoDirectory) s.dropped += batch;
  if (outcome != FlushOutcome::NotOpened) {
    s.pending.erase(s.pending.begin(), s.pending.begin() + static_cast<std::ptrdiff_t>(batch));
    s.retryAt = 0;
  } else {
    s.retryAt = 2 * batch;
  }
  s.flushing = false;
  s.flushDone.notify_all();
}

std::size_t Queued(const EventLog::State& s) {
  return s.pending.size() + s.overflow.size();
}

// Writes the batch now, or, when a writer thread does the writes, asks it to. True when that
// thread has to be woken (the first request since its last write).
bool FlushOrAsk(EventLog::State& s, Lock& lock) {
  if (!s.wake) {
    Flush(s, lock);
    return false;
  }
  return !std::exchange(s.writeWanted, true);
}

// Returns true when the writer thread has to be woken.
bool AddLocked(EventLog::State& s, Lock& lock, bool force, std::string_view line,
               std::string_view matched, std::string_view url) {
  if (!force && line.empty()) return false;

  if (s.flushing) {
    // Another thread is writing: keep the line aside rather than wait for the disk.
    if (line.empty()) return false;
    if (std::find(s.overflow.begin(), s.overflow.end(), line) != s.overflow.end() ||
        Queued(s) >= kMaxQueuedLines) {
      ++s.dropped;
      return false;
    }
    s.overflow.emplace_back(line);
    return false;
  }

  bool wake = false;
  if (DayChanged(s)) wake |= FlushOrAsk(s, lock);

  if (!line.empty()) {
    if (!IsRepeat(s.pending, matched, url)) {
      // A full batch is written before the line joins the next one: a burst of distinct
      // events must not be thrown away while it waits for the flush clock.
      if (s.pending.size() >= kMaxPendingLines && s.pending.size() >= s.retryAt)
        wake |= FlushOrAsk(s, lock);
      if (Queued(s) >= kMaxQueuedLines) {
        ++s.dropped;
        return wake;
      }
      s.pending.emplace_back(line);
      return wake;
    }
    ++s.dropped;
  }

  // An empty (flush-only) call or a repeat: the moments at which a batch is written.
  if (force || (s.pending.size() >= kFlushAtPendingLines && s.pending.size() >= s.retryAt)) {
    wake |= FlushOrAsk(s, lock);
  } else if (!s.overflow.empty()) {
    MoveOverflowToPending(s);
  }
  return wake;
}

}  // namespace

namespace {

bool AppendToLogFile(const std::string& path, std::string_view text) {
  return files::AppendToFile(path, text);
}

}  // namespace

EventLog::EventLog(std::shared_ptr<const Clock> clock)
    : EventLog(std::move(clock), AppendToLogFile) {}

EventLog::EventLog(std::shared_ptr<const Clock> clock, AppendFunction append)
    : state_(std::make_unique<State>()) {
  state_->clock = clock ? std::move(clock) : MakeSystemClock();
  state_->append = append ? std::move(append) : AppendFunction(AppendToLogFile);
  const std::time_t now = state_->clock->Now();
  state_->lastFlush = now;
  state_->fileName = LogFileName(now);
  state_->previousFileName = state_->fileName;
}

EventLog::~EventLog() {
  // An orderly unload writes everything still waiting, so that no event of the last minutes
  // is lost.
  WriteAll();
}

void EventLog::WriteAll() {
  try {
    State& s = *state_;
    Lock lock(s.mutex);
    // A forced Add returns at once while another thread writes; this waits for that write,
    // or the lines it did not take would stay behind.
    s.flushDone.wait(lock, [&] { return !s.flushing; });
    DayChanged(s);
    Flush(s, lock);
    // Lines that came in during the write just made.
    if (!s.overflow.empty()) Flush(s, lock);
  } catch (...) {
    // Never fails: the host is going away.
  }
}

void EventLog::Add(bool force, std::string_view line, std::string_view matched,
                   std::string_view url) {
  bool wake = false;
  try {
    Lock lock(state_->mutex);
    wake = AddLocked(*state_, lock, force, line, matched, url);
  } catch (...) {
    // Out of memory: the line is lost, the request goes on.
  }
  if (wake) state_->wake();
}

void EventLog::DeferWrites(std::function<void()> wake) {
  Lock lock(state_->mutex);
  state_->wake = std::move(wake);
}

bool EventLog::WriteIfDue() {
  State& s = *state_;
  try {
    Lock lock(s.mutex);
    s.flushDone.wait(lock, [&] { return !s.flushing; });
    if (!s.writeWanted && s.clock->Now() - s.lastFlush < kForcedFlushSeconds) return false;
    s.writeWanted = false;
    Flush(s, lock);
    // Lines set aside during the write that already fill a batch go out at once.
    if (s.overflow.size() >= kMaxPendingLines) Flush(s, lock);
    return true;
  } catch (...) {
    return false;
  }
}

void EventLog::SetDirectory(std::string_view directory) {
  if (directory.empty()) return;
  std::string copy(directory);
  Lock lock(state_->mutex);
  state_->directory = std::move(copy);
}

bool EventLog::ForceFlushIfDue() {
  {
    Lock lock(state_->mutex);
    const std::time_t now = state_->clock->Now();
    // A plain difference: after the clock is set back the next forced flush waits until the
    // stored time is passed by the full interval again.
    if (now - state_->lastFlush < kForcedFlushSeconds) return false;
    state_->lastFlush = now;
  }
  Add(true, {}, {}, {});
  return true;
}

std::time_t EventLog::LastFlush() const {
  Lock lock(state_->mutex);
  return state_->lastFlush;
}

std::size_t EventLog::PendingCount() const {
  Lock lock(state_->mutex);
  return state_->pending.size();
}

std::size_t EventLog::OverflowCount() const {
  Lock lock(state_->mutex);
  return state_->overflow.size();
}

std::size_t EventLog::DroppedCount() const {
  Lock lock(state_->mutex);
  return state_->dropped;
}

std::string LogFileName(std::time_t t) {
  return FormatTime(t, TimePart::Date, TimeStyle::Numeric) + ".log";
}

}  // namespace orv::store
