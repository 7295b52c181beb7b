// Working objects (scan arrays, text buffers) lent to one caller at a time and given back to
// be reused, instead of one kept per thread.
//
// Per-thread objects with destructors are what a library loaded into someone else's server
// must not have: the host's threads come and go, each would keep its copy until it ends, and
// on Windows each one pins the module and runs its destructor in the thread-exit path under
// the runtime's locks, where an unload can deadlock. A pool holds as many objects as callers
// ever used it at once, and nothing of it belongs to a thread.
//
// A pool is meant to live as long as the process: make it with `new` and never delete it, so
// that no exit-time destructor touches it. ReleaseIdle frees what is not lent out (an engine
// does so when it is torn down).
#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace orv {

template <class T>
class ScratchPool {
 public:
  // One object on loan; back to the pool when the lease ends.
  class Lease {
   public:
    explicit Lease(ScratchPool& pool) : pool_(&pool), item_(pool.Take()) {}
    ~Lease() {
      if (item_) pool_->Give(std::move(item_));
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    T& operator*() const { return *item_; }
    T* operator->() const { return item_.get(); }

   private:
    ScratchPool* pool_;
    std::unique_ptr<T> item_;
  };

  // Frees the objects not lent out now.
  void ReleaseIdle() {
    std::vector<std::unique_ptr<T>> idle;
    {
      std::lock_guard lock(mutex_);
      idle.swap(idle_);
    }
  }

  std::size_t IdleCount() const {
    std::lock_guard lock(mutex_);
    return idle_.size();
  }

  // For callers that manage the loan themselves. The object given back last comes out first:
  // a caller that takes and gives back in turn keeps getting the one it had (warm, and with
  // what it kept from its last use).
  std::unique_ptr<T> Take() {
    {
      std::lock_guard lock(mutex_);
      if (!idle_.empty()) {
        std::unique_ptr<T> item = std::move(idle_.back());
        idle_.pop_back();
        return item;
      }
    }
    return std::make_unique<T>();
  }

  void Give(std::unique_ptr<T> item) noexcept {
    try {
      std::lock_guard lock(mutex_);
      idle_.push_back(std::move(item));
    } catch (...) {
      // No room to keep it: it is freed here instead.
    }
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<T>> idle_;
};

}  // namespace orv
