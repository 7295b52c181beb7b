// One client connection: reads requests one after the other, runs each through the engine,
// fetches the response from the source and frames what the engine lets through.
#pragma once

#include <atomic>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "proxy/deadline.h"
#include "proxy/loop_stream.h"
#include "proxy/options.h"
#include "proxy/response_source.h"
#include "proxy/screening.h"
#include "proxy/screening_engine.h"
#include "proxy/static_site.h"
#include "proxy/upstream.h"

namespace orv::proxy {

class Session;

// What all connections share.
struct ServerContext {
  ServerContext(const ProxyOptions& opts, ScreeningEngine& eng) : options(opts), engine(eng) {}

  const ProxyOptions& options;
  ScreeningEngine& engine;
  UpstreamPool* pool = nullptr;      // --upstream
  const StaticSite* site = nullptr;  // --root
  std::atomic<bool> stopping{false};

  // Open connections, so that a stop can close the idle ones.
  std::mutex mutex;
  std::unordered_map<Session*, std::weak_ptr<Session>> sessions;
  std::function<void()> lastSessionGone;  // called once stopping and none is left
};

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(ServerContext& context, LoopSocket socket);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Serves the connection to its end. The coroutine holds `self` for its whole life.
  static LoopAwaitable<void> Run(std::shared_ptr<Session> self);

  // From any thread: finish the request in hand, or close at once when between requests.
  void Stop();

 private:
  LoopAwaitable<void> Serve();
  LoopAwaitable<bool> Respond(ForwardRequest& request, RequestFacts& facts, bool keepAlive,
                              bool http10, bool headOnly);
  LoopAwaitable<bool> Write(std::string_view first, std::string_view second = {});
  LoopAwaitable<void> Reject(unsigned status, std::string_view reason);

  ServerContext& context_;
  LoopSocket socket_;
  Deadline deadline_;                       // the limit on the client's current read or write
  std::unique_ptr<ResponseSource> source_;  // made at the first request, kept for the next
  bool idle_ = true;  // waiting for the next request; only touched on the connection's loop
};

}  // namespace orv::proxy
