#include "tools/keyd_server.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <csignal>

namespace orv::tools {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using boost::system::error_code;

struct KeyServer::Impl {
  // Declared first: the sessions that the io_context destroys with it still count down.
  std::size_t connections = 0;
  std::shared_ptr<const KeyData> data;
  asio::io_context ioc{1};
  tcp::acceptor acceptor{ioc};

  void Accept();
};

namespace {

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, std::shared_ptr<const KeyData> data, std::size_t& connections)
      : stream_(std::move(socket)), data_(std::move(data)), connections_(connections) {
    ++connections_;
  }
  ~Session() { --connections_; }

  void Start() {
    stream_.expires_after(std::chrono::seconds(KeyServer::kExchangeTimeoutSeconds));
    parser_.header_limit(KeyServer::kMaxRequestHeadBytes);
    parser_.body_limit(0);
    http::async_read(stream_, buffer_, parser_,
                     [self = shared_from_this()](error_code ec, std::size_t) { self->Answer(ec); });
  }

 private:
  void Answer(error_code ec) {
    if (ec == http::error::end_of_stream || ec == beast::error::timeout) return;
    response_.version(11);
    response_.keep_alive(false);
    response_.set(http::field::server, "orvkeyd");
    if (ec) {
      response_.result(http::status::bad_request);
      response_.set(http::field::content_type, "text/plain");
      response_.body() = "bad request\n";
    } else if (parser_.get().method() != http::verb::get) {
      response_.result(http::status::method_not_allowed);
      response_.set(http::field::allow, "GET");
      response_.set(http::field::content_type, "text/plain");
      response_.body() = "only GET\n";
    } else {
      KeyAnswer answer = AnswerRequest(*data_, parser_.get().target());
      response_.result(answer.status);
      response_.set(http::field::content_type, "text/plain; charset=gbk");
      response_.set(http::field::cache_control, "no-store");
      response_.body() = std::move(answer.body);
    }
    response_.prepare_payload();
    http::async_write(stream_, response_, [self = shared_from_this()](error_code, std::size_t) {
      error_code ignored;
      self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    });
  }

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_{KeyServer::kMaxRequestHeadBytes};
  http::request_parser<http::empty_body> parser_;
  http::response<http::string_body> response_;
  std::shared_ptr<const KeyData> data_;
  std::size_t& connections_;
};

bool SplitListenAddress(const std::string& text, std::string& host, std::string& port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon + 1 == text.size()) return false;
  host = text.substr(0, colon);
  port = text.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
  return !host.empty() && std::stoul(port) <= 65535;
}

}  // namespace

void KeyServer::Impl::Accept() {
  acceptor.async_accept([this](error_code ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted) return;
    if (!ec && connections < kMaxConnections) {
      std::make_shared<Session>(std::move(socket), data, connections)->Start();
    }
    Accept();
  });
}

KeyServer::KeyServer(std::shared_ptr<const KeyData> data) : impl_(std::make_unique<Impl>()) {
  impl_->data = std::move(data);
}

KeyServer::~KeyServer() = default;

bool KeyServer::Listen(const std::string& addressAndPort, std::string& error) {
  std::string host;
  std::string port;
  if (!SplitListenAddress(addressAndPort, host, port)) {
    error = "not ADDR:PORT: " + addressAndPort;
    return false;
  }
  error_code ec;
  const asio::ip::address address = asio::ip::make_address(host, ec);
  if (ec) {
    error = "not an IP address: " + host;
    return false;
  }
  const tcp::endpoint endpoint(address, static_cast<unsigned short>(std::stoul(port)));
  impl_->acceptor.open(endpoint.protocol(), ec);
  if (!ec) impl_->acceptor.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) impl_->acceptor.bind(endpoint, ec);
  if (!ec) impl_->acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    error = "cannot listen on " + addressAndPort + ": " + ec.message();
    return false;
  }
  return true;
}

unsigned short KeyServer::Port() const {
  error_code ec;
  return impl_->acceptor.local_endpoint(ec).port();
}

void KeyServer::Run(std::function<std::shared_ptr<const KeyData>()> reload) {
  std::unique_ptr<asio::signal_set> signals;
  std::function<void()> waitForSignal;
  if (reload) {
    signals = std::make_unique<asio::signal_set>(impl_->ioc, SIGHUP, SIGTERM, SIGINT);
    waitForSignal = [&] {
      signals->async_wait([&](error_code ec, int number) {
        if (ec) return;
        if (number != SIGHUP) {
          impl_->ioc.stop();
          return;
        }
        if (auto fresh = reload()) impl_->data = std::move(fresh);
        waitForSignal();
      });
    };
    waitForSignal();
  }
  impl_->Accept();
  impl_->ioc.run();
}

void KeyServer::Stop() {
  asio::post(impl_->ioc, [this] { impl_->ioc.stop(); });
}

void KeyServer::Replace(std::shared_ptr<const KeyData> data) {
  asio::post(impl_->ioc,
             [this, data = std::move(data)]() mutable { impl_->data = std::move(data); });
}

}  // namespace orv::tools
