#include "filter/isapi/own_write_guard.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace orv::isapi {
namespace {

struct Write {
  const HTTP_FILTER_CONTEXT* context;
  DWORD thread;
};

struct Writes {
  // Writes under way; block pages are rare, so every other notification only reads this.
  std::atomic<int> count{0};
  std::mutex mutex;
  std::vector<Write> list;
};

Writes& AllWrites() {
  // Never deleted: nothing of the module may run, or wait, at process exit.
  static Writes* const writes = new Writes();
  return *writes;
}

}  // namespace

OwnWriteGuard::OwnWriteGuard(const HTTP_FILTER_CONTEXT* context)
    : context_(context), thread_(GetCurrentThreadId()) {
  Writes& writes = AllWrites();
  std::lock_guard lock(writes.mutex);
  writes.list.push_back({context_, thread_});
  writes.count.fetch_add(1);
}

OwnWriteGuard::~OwnWriteGuard() {
  Writes& writes = AllWrites();
  std::lock_guard lock(writes.mutex);
  const auto found = std::find_if(writes.list.begin(), writes.list.end(), [&](const Write& w) {
    return w.context == context_ && w.thread == thread_;
  });
  if (found != writes.list.end()) writes.list.erase(found);
  writes.count.fetch_sub(1);
}

bool OwnWriteGuard::Inside(const HTTP_FILTER_CONTEXT* context) {
  Writes& writes = AllWrites();
  if (writes.count.load() == 0) return false;
  const DWORD thread = GetCurrentThreadId();
  std::lock_guard lock(writes.mutex);
  return std::any_of(writes.list.begin(), writes.list.end(), [&](const Write& w) {
    return w.thread == thread || (context != nullptr && w.context == context);
  });
}

}  // namespace orv::isapi
