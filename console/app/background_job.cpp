#include "console/app/background_job.h"

#include <chrono>

namespace orv::console {

BackgroundJob::BackgroundJob(QObject* receiver, int delayMs, Work work) : receiver_(receiver) {
  thread_ = std::thread([this, delayMs, work = std::move(work)] { Run(delayMs, work); });
}

BackgroundJob::~BackgroundJob() {
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    receiver_ = nullptr;
  }
  wake_.notify_all();
  thread_.join();
}

void BackgroundJob::Run(int delayMs, Work work) {
  {
    std::unique_lock lock(mutex_);
    if (wake_.wait_for(lock, std::chrono::milliseconds(delayMs), [this] { return cancelled_; })) {
      return;
    }
  }
  std::function<void()> deliver = work();
  // Posted under the lock: the receiver cannot go away meanwhile, and a receiver destroyed
  // later takes its pending calls with it.
  std::lock_guard lock(mutex_);
  if (!cancelled_ && receiver_ != nullptr && deliver) {
    QMetaObject::invokeMethod(receiver_, std::move(deliver), Qt::QueuedConnection);
  }
}

}  // namespace orv::console
