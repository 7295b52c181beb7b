#include "proxy/deadline.h"

#include <algorithm>
#include <boost/asio/io_context.hpp>
#include <boost/beast/core/error.hpp>

namespace orv::proxy {

namespace asio = boost::asio;
using Clock = std::chrono::steady_clock;

asio::execution_context::id DeadlineSweeper::id;

Deadline::Deadline(const LoopExecutor& executor)
    : sweeper_(&asio::use_service<DeadlineSweeper>(executor.context())) {}

Deadline::~Deadline() {
  Disarm();
}

Deadline::Armed Deadline::Arm(LoopSocket& socket, std::chrono::milliseconds limit) {
  expired_ = false;
  due_ = Clock::now() + limit;
  if (socket_ == nullptr && sweeper_ != nullptr) sweeper_->Link(*this, limit);
  socket_ = &socket;
  return Armed(*this);
}

void Deadline::Disarm() {
  if (socket_ != nullptr && sweeper_ != nullptr) sweeper_->Unlink(*this);
  socket_ = nullptr;
}

DeadlineSweeper::DeadlineSweeper(asio::execution_context& context)
    : asio::execution_context::service(context), timer_(static_cast<asio::io_context&>(context)) {}

void DeadlineSweeper::shutdown() {
  // The loop is going away: its connections are closed with it, not by the sweep.
  stopped_ = true;
  timer_.cancel();
  while (first_ != nullptr) {
    Deadline* deadline = first_;
    Unlink(*deadline);
    deadline->socket_ = nullptr;
    deadline->sweeper_ = nullptr;
  }
}

void DeadlineSweeper::Link(Deadline& deadline, std::chrono::milliseconds limit) {
  deadline.previous_ = nullptr;
  deadline.next_ = first_;
  if (first_ != nullptr) first_->previous_ = &deadline;
  first_ = &deadline;
  // Eight sweeps per limit; the shortest limit seen sets the pace (see the header).
  const auto tick = std::clamp<std::chrono::milliseconds>(limit / 8, std::chrono::milliseconds(10),
                                                          std::chrono::seconds(1));
  if (tick < tick_) {
    tick_ = tick;
    if (scheduled_) {
      timer_.cancel();  // rescheduled at the new pace by the cancelled wait
      return;
    }
  }
  Schedule();
}

void DeadlineSweeper::Unlink(Deadline& deadline) {
  if (deadline.previous_ != nullptr) {
    deadline.previous_->next_ = deadline.next_;
  } else {
    first_ = deadline.next_;
  }
  if (deadline.next_ != nullptr) deadline.next_->previous_ = deadline.previous_;
  deadline.previous_ = deadline.next_ = nullptr;
}

void DeadlineSweeper::Schedule() {
  if (scheduled_ || stopped_ || first_ == nullptr) return;
  scheduled_ = true;
  timer_.expires_after(tick_);
  timer_.async_wait([this](const boost::system::error_code&) {
    scheduled_ = false;
    if (stopped_) return;
    Sweep();
    Schedule();
  });
}

void DeadlineSweeper::Sweep() {
  const Clock::time_point now = Clock::now();
  for (Deadline* deadline = first_; deadline != nullptr;) {
    Deadline* next = deadline->next_;
    if (deadline->due_ <= now) {
      LoopSocket* socket = deadline->socket_;
      deadline->expired_ = true;
      deadline->Disarm();
      // The pending read or write fails; its owner sees Expired() and takes it as a timeout.
      boost::beast::error_code ec;
      socket->close(ec);
    }
    deadline = next;
  }
}

}  // namespace orv::proxy
