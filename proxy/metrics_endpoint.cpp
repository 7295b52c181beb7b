#include "proxy/metrics_endpoint.h"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <cstdio>

#include "proxy/buffered_read.h"
#include "proxy/deadline.h"
#include "proxy/wire_format.h"

namespace orv::proxy {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// A scraper's request is one short line and a few fields.
constexpr std::size_t kMaxHead = 8 * 1024;
// Scrapers served at once; more are closed as they come. A handful of Prometheus servers
// scrape a target, each on one connection.
constexpr std::size_t kMaxConnections = 16;

}  // namespace

std::string MetricsReply(std::string_view method, std::string_view target, bool keepAlive,
                         const ProxyMetrics& metrics) {
  const std::string_view path = target.substr(0, target.find('?'));
  const bool head = method == "HEAD";
  const bool found = path == "/metrics" && (head || method == "GET");
  const std::string body =
      found ? metrics.Render() : std::string("Not Found: the counters are at /metrics\n");
  std::string out = found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n";
  out += found ? "Content-Type: text/plain; version=0.0.4; charset=utf-8\r\n"
               : "Content-Type: text/plain; charset=utf-8\r\n";
  out += "Cache-Control: no-store\r\n";
  out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  if (!keepAlive) out += "Connection: close\r\n";
  out += "\r\n";
  if (!head) out += body;
  return out;
}

MetricsEndpoint::MetricsEndpoint(asio::io_context& loop, const ProxyMetrics& metrics,
                                 std::chrono::milliseconds timeout)
    : loop_(loop), metrics_(metrics), timeout_(timeout), acceptor_(loop.get_executor()) {}

bool MetricsEndpoint::Open(const ListenAddress& address) {
  beast::error_code ec;
  tcp::resolver resolver(loop_);
  auto found = resolver.resolve(address.host, std::to_string(address.port),
                                tcp::resolver::passive | tcp::resolver::numeric_service, ec);
  if (!ec && found.empty()) ec = asio::error::host_not_found;
  if (!ec) {
    const tcp::endpoint endpoint = found.begin()->endpoint();
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec) acceptor_.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec) acceptor_.bind(endpoint, ec);
    if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
  }
  if (ec) {
    std::fprintf(stderr, "orvproxy: cannot serve metrics on %s:%u: %s\n", address.host.c_str(),
                 address.port, ec.message().c_str());
    return false;
  }
  return true;
}

std::string MetricsEndpoint::BoundAddress() const {
  beast::error_code ec;
  const tcp::endpoint bound = acceptor_.local_endpoint(ec);
  if (ec) return {};
  const std::string address = bound.address().is_v6() ? "[" + bound.address().to_string() + "]"
                                                      : bound.address().to_string();
  return address + ":" + std::to_string(bound.port());
}

std::uint16_t MetricsEndpoint::Port() const {
  beast::error_code ec;
  const tcp::endpoint bound = acceptor_.local_endpoint(ec);
  return ec ? 0 : bound.port();
}

void MetricsEndpoint::Start() {
  asio::co_spawn(loop_, Accept(), asio::detached);
}

void MetricsEndpoint::Close() {
  beast::error_code ec;
  acceptor_.close(ec);
}

LoopAwaitable<void> MetricsEndpoint::Accept() {
  for (;;) {
    beast::error_code ec;
    LoopSocket socket =
        co_await acceptor_.async_accept(asio::redirect_error(kUseLoopAwaitable, ec));
    if (ec == asio::error::operation_aborted || !acceptor_.is_open()) co_return;
    if (ec) {
      // Out of descriptors or a connection reset before it was taken: wait a moment, go on.
      asio::steady_timer pause(loop_, std::chrono::milliseconds(50));
      co_await pause.async_wait(asio::redirect_error(kUseLoopAwaitable, ec));
      continue;
    }
    if (connections_ >= kMaxConnections) continue;  // closed as it goes out of scope
    ++connections_;
    asio::co_spawn(loop_, Serve(std::move(socket)), asio::detached);
  }
}

LoopAwaitable<void> MetricsEndpoint::Serve(LoopSocket socket) {
  Deadline deadline(socket.get_executor());
  beast::flat_buffer buffer;
  beast::error_code ec;
  for (;;) {
    http::request_parser<http::empty_body> parser;
    parser.header_limit(kMaxHead);
    {
      const auto armed = deadline.Arm(socket, timeout_);
      co_await ReadHead(socket, buffer, parser, ec);
    }
    std::string reply;
    bool keepAlive = false;
    if (ec == http::error::header_limit) {
      reply = ErrorResponseText(431, "Request Header Fields Too Large");
    } else if (ec && (ec == http::error::end_of_stream || ec == http::error::partial_message ||
                      ec.category() != http::make_error_code(http::error::bad_target).category())) {
      break;  // closed, timed out or reset: nothing to answer
    } else if (ec) {
      reply = ErrorResponseText(400, "Bad Request");
    } else {
      const auto& request = parser.get();
      // A request with a body is answered, then the connection closes rather than read it.
      keepAlive = request.keep_alive() && parser.is_done();
      const std::string_view method(request.method_string().data(), request.method_string().size());
      const std::string_view target(request.target().data(), request.target().size());
      reply = MetricsReply(method, target, keepAlive, metrics_);
    }
    {
      const auto armed = deadline.Arm(socket, timeout_);
      auto out = asio::buffer(reply);
      co_await asio::async_write(socket, out, asio::redirect_error(kUseLoopAwaitable, ec));
    }
    if (ec || !keepAlive) break;
  }
  beast::error_code ignored;
  socket.shutdown(tcp::socket::shutdown_send, ignored);
  socket.close(ignored);
  --connections_;
}

}  // namespace orv::proxy
