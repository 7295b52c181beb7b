// A running orvproxy in front of a scripted upstream, both on loopback, and a client that
// speaks raw bytes, for the tests of what reaches the engine and the upstream over the wire.
#pragma once

#include <sys/socket.h>
#include <sys/time.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "proxy/options.h"
#include "proxy/server.h"

namespace orv::proxy::testing {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

// Case-insensitive search for a field's value in a head ("" when absent; the first one).
inline std::string FieldValue(const std::string& head, std::string name) {
  std::string lowered = head;
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t at = lowered.find("\r\n" + name + ":");
  if (at == std::string::npos) return "";
  std::size_t begin = head.find_first_not_of(' ', at + name.size() + 3);
  return head.substr(begin, head.find("\r\n", begin) - begin);
}

// Gives the socket a receive limit, so that a test that would wait forever fails instead.
inline void LimitWaits(tcp::socket& socket) {
  timeval limit{10, 0};
  ::setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

// Reads one HTTP message with Content-Length framing (or none); empty when the peer closed
// first. `head` receives the head with its blank line.
inline bool ReadMessage(tcp::socket& socket, std::string& pending, std::string& head,
                        std::string& body) {
  boost::system::error_code ec;
  char chunk[4096];
  std::size_t end;
  while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
    std::size_t got = socket.read_some(asio::buffer(chunk), ec);
    if (ec) return false;
    pending.append(chunk, got);
  }
  head = pending.substr(0, end + 4);
  const std::string length = FieldValue(head, "Content-Length");
  const std::size_t size = length.empty() ? 0 : std::stoul(length);
  while (pending.size() < end + 4 + size) {
    std::size_t got = socket.read_some(asio::buffer(chunk), ec);
    if (ec) return false;
    pending.append(chunk, got);
  }
  body = pending.substr(end + 4, size);
  pending.erase(0, end + 4 + size);
  return true;
}

// The upstream: each connection answers its first `answered` requests with "ok", then reads
// the next one whole and closes without a word, as a server whose keep-alive time ran out
// just as the request came.
class FakeUpstream {
 public:
  struct Received {
    int connection;
    std::string head;
    std::string body;
  };

  explicit FakeUpstream(int answered = 1000)
      : answered_(answered), acceptor_(io_, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {
    acceptor_.listen();
    acceptThread_ = std::thread([this] { AcceptAll(); });
  }
  ~FakeUpstream() {
    ::shutdown(acceptor_.native_handle(), SHUT_RDWR);
    acceptThread_.join();
    std::lock_guard lock(mutex_);
    for (auto& socket : sockets_) ::shutdown(socket->native_handle(), SHUT_RDWR);
    for (auto& worker : workers_) worker.join();
  }
  std::uint16_t Port() const { return acceptor_.local_endpoint().port(); }
  std::vector<Received> Requests() {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  void AcceptAll() {
    for (int connection = 0;; ++connection) {
      auto socket = std::make_shared<tcp::socket>(io_);
      boost::system::error_code ec;
      acceptor_.accept(*socket, ec);
      if (ec) return;
      std::lock_guard lock(mutex_);
      sockets_.push_back(socket);
      workers_.emplace_back([this, socket, connection] { Serve(*socket, connection); });
    }
  }
  void Serve(tcp::socket& socket, int connection) {
    std::string pending, head, body;
    for (int served = 0; ReadMessage(socket, pending, head, body); ++served) {
      {
        std::lock_guard lock(mutex_);
        received_.push_back({connection, head, body});
      }
      boost::system::error_code ec;
      if (served >= answered_) {
        socket.shutdown(tcp::socket::shutdown_both, ec);
        return;
      }
      asio::write(socket,
                  asio::buffer(std::string_view("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")),
                  ec);
    }
  }

  int answered_;
  asio::io_context io_;
  tcp::acceptor acceptor_;
  std::thread acceptThread_;
  std::mutex mutex_;
  std::vector<std::shared_ptr<tcp::socket>> sockets_;
  std::vector<std::thread> workers_;
  std::vector<Received> received_;
};

class RunningProxy {
 public:
  RunningProxy(ProxyOptions options, ScreeningEngine& engine)
      : options_(std::move(options)), server_(options_, engine, false) {
    listening_ = server_.Listen();
    if (listening_) thread_ = std::thread([this] { server_.Run(); });
  }
  ~RunningProxy() {
    if (!listening_) return;
    server_.Stop();
    thread_.join();
  }
  bool Listening() const { return listening_; }
  std::uint16_t Port() const { return server_.Port(); }
  ProxyServer& Server() { return server_; }

  tcp::socket Connect() {
    tcp::socket socket(io_);
    socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), Port()));
    LimitWaits(socket);
    return socket;
  }
  // Sends the bytes, ends the sending side and returns all that comes back.
  std::string Exchange(std::string_view request) {
    tcp::socket socket = Connect();
    boost::system::error_code ec;
    // A refused request may be answered before all of it is sent.
    asio::write(socket, asio::buffer(request), ec);
    socket.shutdown(tcp::socket::shutdown_send, ec);
    std::string reply;
    asio::read(socket, asio::dynamic_buffer(reply), ec);
    return reply;
  }

 private:
  ProxyOptions options_;
  ProxyServer server_;
  bool listening_ = false;
  std::thread thread_;
  asio::io_context io_;
};

inline ProxyOptions UpstreamOptions(const FakeUpstream& upstream) {
  ProxyOptions options;
  options.settingsDirectory = ".";
  options.listeners = {{"127.0.0.1", 0, false}};
  options.upstreamHost = "127.0.0.1";
  options.upstreamPort = std::to_string(upstream.Port());
  options.threads = 1;
  options.clientTimeout = std::chrono::milliseconds(10000);
  options.shutdownGrace = std::chrono::milliseconds(1000);
  return options;
}

}  // namespace orv::proxy::testing
