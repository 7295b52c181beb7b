// The scrape endpoint of --metrics: a plain-HTTP listener of its own, apart from the proxy's
// listeners, so that the counters are never served to the clients of the site. GET or HEAD of
// /metrics answers the counters; every other request gets 404. Heads are held to a size and a
// time as the proxy's are, and only a few scrapers are served at once.
#pragma once

// clang-format off
#include <utility>  // first: Boost 1.74's awaitable.hpp uses std::exchange without including it
// clang-format on
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "proxy/loop_stream.h"
#include "proxy/metrics.h"
#include "proxy/options.h"

namespace orv::proxy {

// The reply to one scrape request; `keepAlive` false adds "Connection: close".
std::string MetricsReply(std::string_view method, std::string_view target, bool keepAlive,
                         const ProxyMetrics& metrics);

class MetricsEndpoint {
 public:
  // Lives on `loop`: every call but the constructor is made on that loop's thread, or before
  // it runs.
  MetricsEndpoint(boost::asio::io_context& loop, const ProxyMetrics& metrics,
                  std::chrono::milliseconds timeout);
  MetricsEndpoint(const MetricsEndpoint&) = delete;
  MetricsEndpoint& operator=(const MetricsEndpoint&) = delete;

  // Binds and listens; false, with the reason on stderr, when it cannot.
  bool Open(const ListenAddress& address);
  // "ADDR:PORT" as bound, for the startup line.
  std::string BoundAddress() const;
  std::uint16_t Port() const;
  // Starts accepting scrapers.
  void Start();
  // Stops accepting; connections in hand end with the loop.
  void Close();

 private:
  LoopAwaitable<void> Accept();
  LoopAwaitable<void> Serve(LoopSocket socket);

  boost::asio::io_context& loop_;
  const ProxyMetrics& metrics_;
  std::chrono::milliseconds timeout_;
  boost::asio::basic_socket_acceptor<boost::asio::ip::tcp, LoopExecutor> acceptor_;
  std::size_t connections_ = 0;  // scrapers served now
};

}  // namespace orv::proxy
