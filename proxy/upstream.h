// The upstream server of --upstream: HTTP/1.1 over a pool of keep-alive connections.
#pragma once

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "proxy/deadline.h"
#include "proxy/loop_stream.h"
#include "proxy/response_source.h"
#include "proxy/tls.h"
#include "proxy/upstream_parser.h"

namespace orv::proxy {

// Idle connections to the upstream. Plain ones are kept as bare descriptors so that any
// connection's loop can adopt one without sharing an executor with the connection that
// opened it. TLS ones carry their session state in the stream, which is bound to its loop;
// they are kept whole and handed out on that loop only.
class UpstreamPool {
 public:
  UpstreamPool(std::vector<boost::asio::ip::tcp::endpoint> endpoints, std::size_t maxIdle)
      : endpoints_(std::move(endpoints)), maxIdle_(maxIdle) {}
  // An https:// upstream: its certificate must verify in `tls` and name `host`.
  UpstreamPool(std::vector<boost::asio::ip::tcp::endpoint> endpoints, std::size_t maxIdle,
               std::shared_ptr<boost::asio::ssl::context> tls, std::string host)
      : endpoints_(std::move(endpoints)),
        maxIdle_(maxIdle),
        tls_(std::move(tls)),
        host_(std::move(host)) {}
  ~UpstreamPool();
  UpstreamPool(const UpstreamPool&) = delete;
  UpstreamPool& operator=(const UpstreamPool&) = delete;

  const std::vector<boost::asio::ip::tcp::endpoint>& Endpoints() const { return endpoints_; }

  // An idle connection bound to `executor`, if there is one.
  std::optional<LoopSocket> Take(const LoopExecutor& executor);
  // Keeps a connection whose last response was read to its end.
  void Give(LoopSocket socket);

  bool Tls() const { return tls_ != nullptr; }
  boost::asio::ssl::context& TlsContext() { return *tls_; }
  const std::string& Host() const { return host_; }
  std::optional<TlsStream> TakeTls(const LoopExecutor& executor);
  void Give(TlsStream stream);
  // Closes every idle connection (at shutdown); connections given back later are closed too.
  void Clear();

 private:
  struct Idle {
    int descriptor;
    boost::asio::ip::tcp protocol;
  };
  std::vector<boost::asio::ip::tcp::endpoint> endpoints_;
  std::size_t maxIdle_;
  struct IdleTls {
    boost::asio::execution_context* loop;
    std::unique_ptr<TlsStream> stream;
  };
  std::shared_ptr<boost::asio::ssl::context> tls_;
  std::string host_;
  std::mutex mutex_;
  std::vector<Idle> idle_;
  std::vector<IdleTls> idleTls_;
  // Cleared at shutdown: a TLS stream kept past its loop's end would outlive the loop.
  bool closed_ = false;
};

// The responses of one client connection's requests, over a plain socket (LoopSocket) or TLS
// (TlsStream) to the upstream.
template <class Stream>
class BasicUpstreamSource final : public ResponseSource {
 public:
  BasicUpstreamSource(UpstreamPool& pool, LoopExecutor executor, std::chrono::milliseconds timeout)
      : pool_(pool),
        executor_(std::move(executor)),
        timeout_(timeout),
        deadline_(executor_),
        pauseTimer_(executor_),
        pause_(std::make_shared<PauseWatch>()) {}
  ~BasicUpstreamSource() override;
  BasicUpstreamSource(const BasicUpstreamSource&) = delete;
  BasicUpstreamSource& operator=(const BasicUpstreamSource&) = delete;

  LoopAwaitable<SourceResult> Start(ForwardRequest& request, const RequestFacts& facts,
                                    ResponseHead& head) override;
  LoopAwaitable<SourceResult> Read(std::string& out, std::size_t limit, bool& complete,
                                   std::chrono::milliseconds pause) override;
  void Finish(bool complete) override;

 private:
  enum class Attempt { kDone, kRetry };
  LoopAwaitable<Attempt> Exchange(ForwardRequest& request, bool headOnly, bool reused,
                                  SourceResult& result);
  std::optional<Stream> TakeIdle();
  LoopAwaitable<SourceResult> Connect();

  UpstreamPool& pool_;
  LoopExecutor executor_;
  std::chrono::milliseconds timeout_;
  std::optional<Stream> stream_;
  Deadline deadline_;  // the limit on the current connect, write or read of stream_
  boost::beast::flat_buffer buffer_;
  std::optional<UpstreamParser> parser_;
  bool keptIdle_ = false;  // stream_ finished its last response whole and waits for the next

  // A read that may end at a pause: the timer cancels it when nothing came in time. The
  // timer's handler may already be on its way when the read completes or the source goes,
  // so it finds what to cancel through this watch, which only the current read's timer
  // matches.
  struct PauseWatch {
    std::uint64_t read = 0;  // the read being watched; bumped when it ends
    bool fired = false;      // its pause ran out and the read was cancelled
    LoopSocket* socket = nullptr;
  };
  boost::asio::steady_timer pauseTimer_;
  std::shared_ptr<PauseWatch> pause_;
};

using UpstreamSource = BasicUpstreamSource<LoopSocket>;
using TlsUpstreamSource = BasicUpstreamSource<TlsStream>;
extern template class BasicUpstreamSource<LoopSocket>;
extern template class BasicUpstreamSource<TlsStream>;

}  // namespace orv::proxy
