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
#include "proxy/metrics.h"
#include "proxy/options.h"
#include "proxy/response_source.h"
#include "proxy/screening.h"
#include "proxy/screening_engine.h"
#include "proxy/static_site.h"
#include "proxy/tls.h"
#include "proxy/upstream.h"

namespace orv::proxy {

// What the server needs of a connection whatever its stream.
class SessionBase : public std::enable_shared_from_this<SessionBase> {
 public:
  virtual ~SessionBase() = default;
  // From any thread: finish the request in hand, or close at once when between requests.
  virtual void Stop() = 0;
};

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
  std::unordered_map<SessionBase*, std::weak_ptr<SessionBase>> sessions;
  std::function<void()> lastSessionGone;  // called once stopping and none is left

  ProxyMetrics metrics;  // what every connection counts, for --metrics
};

// One connection over a plain socket (LoopSocket) or TLS (TlsStream). A template rather than
// a stream behind a virtual interface: a plain connection's reads and writes stay direct
// calls on its socket.
template <class Stream>
class Session final : public SessionBase {
 public:
  Session(ServerContext& context, Stream stream);
  // A TLS connection keeps the certificate's context it was accepted with alive, whatever a
  // reload publishes meanwhile.
  Session(ServerContext& context, Stream stream,
          std::shared_ptr<boost::asio::ssl::context> certificate);
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Serves the connection to its end. The coroutine holds `self` for its whole life.
  static LoopAwaitable<void> Run(std::shared_ptr<Session> self);

  void Stop() override;

 private:
  LoopAwaitable<void> Serve();
  LoopAwaitable<bool> Respond(ForwardRequest& request, RequestFacts& facts, bool keepAlive,
                              bool http10, bool headOnly);
  LoopAwaitable<bool> Write(std::string_view first, std::string_view second = {});
  LoopAwaitable<void> Reject(unsigned status, std::string_view reason);
  LoopAwaitable<void> SendCloseNotify();  // TLS only
  LoopSocket& Socket() { return LowestLayer(stream_); }

  ServerContext& context_;
  std::shared_ptr<boost::asio::ssl::context> certificate_;  // declared before the stream
  Stream stream_;
  Deadline deadline_;                       // the limit on the client's current read or write
  std::unique_ptr<ResponseSource> source_;  // made at the first request, kept for the next
  bool idle_ = true;     // waiting for the next request; only touched on the connection's loop
  unsigned status_ = 0;  // the status of the current request's response, once it went out
  std::string joined_;   // TLS: the two parts of a write in one record
};

extern template class Session<LoopSocket>;
extern template class Session<TlsStream>;

}  // namespace orv::proxy
