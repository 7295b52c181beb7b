// Time limits on a connection's reads and writes without a timer per operation.
//
// Beast's stream timeouts arm a timer for every read and write, cancel it when the operation
// completes and then run the cancelled timer's handler: three passes through the loop's
// timer queue and one through its handler queue for each operation, which cost a proxied
// request more than screening its headers. Here a wait only writes down when it is due; one
// timer per event loop (DeadlineSweeper) wakes a few times per timeout and closes the
// connections that are overdue, which fails their pending operation. A limit thus ends late
// rather than early: by up to an eighth of itself or 10 ms, whichever is more, and by a
// second at most.
#pragma once

#include <boost/asio/execution_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>

#include "proxy/loop_stream.h"

namespace orv::proxy {

class DeadlineSweeper;

// The limit on one connection's current wait. Lives on the connection's loop and is only
// touched there.
class Deadline {
 public:
  explicit Deadline(const LoopExecutor& executor);
  ~Deadline();
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

  // Disarms the deadline when the wait it limits is over.
  class Armed {
   public:
    explicit Armed(Deadline& deadline) : deadline_(deadline) {}
    ~Armed() { deadline_.Disarm(); }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;

   private:
    Deadline& deadline_;
  };

  // `socket` is closed if it is still waiting `limit` from now, until the returned guard
  // goes. Between waits a connection has no limit of this kind (Beast's streams too time
  // only operations in progress).
  [[nodiscard]] Armed Arm(LoopSocket& socket, std::chrono::milliseconds limit);
  // The stream was closed for being overdue: the failed operation was a timeout.
  bool Expired() const { return expired_; }

 private:
  friend class DeadlineSweeper;
  void Disarm();
  DeadlineSweeper* sweeper_;
  LoopSocket* socket_ = nullptr;  // null: disarmed
  std::chrono::steady_clock::time_point due_{};
  bool expired_ = false;
  Deadline* previous_ = nullptr;  // the sweeper's list of armed deadlines
  Deadline* next_ = nullptr;
};

// One per event loop (an Asio service of its io_context): the list of armed deadlines and
// the timer that sweeps it.
class DeadlineSweeper : public boost::asio::execution_context::service {
 public:
  using key_type = DeadlineSweeper;
  static boost::asio::execution_context::id id;

  explicit DeadlineSweeper(boost::asio::execution_context& context);

 private:
  friend class Deadline;
  void shutdown() override;
  void Link(Deadline& deadline, std::chrono::milliseconds limit);
  void Unlink(Deadline& deadline);
  void Schedule();
  void Sweep();

  boost::asio::steady_timer timer_;
  Deadline* first_ = nullptr;
  std::chrono::milliseconds tick_ = std::chrono::seconds(1);
  bool scheduled_ = false;
  bool stopped_ = false;
};

}  // namespace orv::proxy
