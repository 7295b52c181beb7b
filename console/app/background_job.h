// One piece of background work of the main window: it runs once on its own thread after a
// pause and hands its result to the user-interface thread by a queued call.
#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace orv::console {

class BackgroundJob {
 public:
  // What the worker thread does; it returns what then runs on the receiver's thread.
  using Work = std::function<std::function<void()>()>;

  // Starts at once; `work` begins after `delayMs`.
  BackgroundJob(QObject* receiver, int delayMs, Work work);
  // Cuts the pause short, drops a result not yet handed over, and waits for the thread (a
  // download under way ends within its time bound).
  ~BackgroundJob();
  BackgroundJob(const BackgroundJob&) = delete;
  BackgroundJob& operator=(const BackgroundJob&) = delete;

 private:
  void Run(int delayMs, Work work);

  std::mutex mutex_;
  std::condition_variable wake_;
  bool cancelled_ = false;
  QObject* receiver_;
  std::thread thread_;
};

}  // namespace orv::console
