#include "online/beast_transport.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <random>

namespace orv::online {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using boost::system::error_code;

constexpr std::size_t kMaxHeaderBytes = 64 * 1024;

int CacheBusterNumber() {
  static thread_local std::minstd_rand generator{std::random_device{}()};
  return 1 + static_cast<int>(generator() % 998);
}

HttpReply Failure(std::string detail) {
  HttpReply reply;
  reply.outcome = GetOutcome::NetworkFailure;
  reply.detail = std::move(detail);
  return reply;
}

// Runs one asynchronous operation to its end on `ioc` (the stream's deadline bounds it).
template <class Start>
error_code RunOne(asio::io_context& ioc, Start start) {
  error_code result = asio::error::operation_aborted;
  start([&result](error_code ec, auto&&...) { result = ec; });
  ioc.restart();
  ioc.run();
  return result;
}

template <class Stream>
HttpReply Exchange(asio::io_context& ioc, Stream& stream, const ServiceUrlParts& parts,
                   const std::string& userAgent, std::size_t maxReplyBytes) {
  http::request<http::empty_body> request{http::verb::get, parts.target, 11};
  const bool defaultPort = parts.port == (parts.tls ? "443" : "80");
  const std::string hostField =
      (parts.host.find(':') != std::string::npos ? "[" + parts.host + "]" : parts.host) +
      (defaultPort ? "" : ":" + parts.port);
  request.set(http::field::host, hostField);
  request.set(http::field::user_agent, userAgent);
  request.set(http::field::connection, "close");
  if (error_code ec =
          RunOne(ioc, [&](auto handler) { http::async_write(stream, request, handler); })) {
    return Failure("cannot send the request: " + ec.message());
  }
  beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.header_limit(kMaxHeaderBytes);
  parser.body_limit(maxReplyBytes);
  const std::string tooLarge =
      "the reply is larger than " + std::to_string(maxReplyBytes) + " bytes";
  error_code ec =
      RunOne(ioc, [&](auto handler) { http::async_read_header(stream, buffer, parser, handler); });
  // A length announced beyond the bound ends the exchange before any of the body is read.
  if (!ec && parser.content_length() && *parser.content_length() > maxReplyBytes) {
    return Failure(tooLarge);
  }
  if (!ec) {
    ec = RunOne(ioc, [&](auto handler) { http::async_read(stream, buffer, parser, handler); });
  }
  if (ec == http::error::body_limit) return Failure(tooLarge);
  if (ec) return Failure("cannot read the reply: " + ec.message());
  HttpReply reply;
  const unsigned status = parser.get().result_int();
  if (status == 200 || status == 500) {
    reply.outcome = GetOutcome::Answered;
    reply.body = std::move(parser.get().body());
  } else {
    reply.outcome = GetOutcome::OtherStatus;
    reply.detail = "status " + std::to_string(status);
  }
  return reply;
}

bool IsPortText(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value >= 1 && value <= 65535;
}

}  // namespace

bool SplitServiceUrl(std::string_view url, ServiceUrlParts& parts) {
  parts = ServiceUrlParts{};
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f || c == '#') return false;
  }
  if (url.starts_with("http://")) {
    url.remove_prefix(7);
    parts.port = "80";
  } else if (url.starts_with("https://")) {
    url.remove_prefix(8);
    parts.tls = true;
    parts.port = "443";
  } else {
    return false;
  }
  const std::size_t authorityEnd = url.find_first_of("/?");
  std::string_view authority = url.substr(0, authorityEnd);
  parts.target =
      authorityEnd == std::string_view::npos ? "/" : std::string(url.substr(authorityEnd));
  if (parts.target.front() == '?') parts.target.insert(0, "/");
  if (authority.find('@') != std::string_view::npos) return false;
  std::string_view port;
  if (authority.starts_with("[")) {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    parts.host = std::string(authority.substr(1, close - 1));
    std::string_view rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return false;
      port = rest.substr(1);
      if (!IsPortText(port)) return false;
    }
  } else {
    const std::size_t colon = authority.find(':');
    parts.host = std::string(authority.substr(0, colon));
    if (colon != std::string_view::npos) {
      port = authority.substr(colon + 1);
      if (!IsPortText(port)) return false;
    }
  }
  if (!port.empty()) parts.port = std::string(port);
  return !parts.host.empty();
}

HttpReply BeastTransport::HttpGet(const std::string& url) {
  if (url.empty()) return Failure("no address");
  ServiceUrlParts parts;
  if (!SplitServiceUrl(WithCacheBuster(url, CacheBusterNumber()), parts)) {
    return Failure("not an http:// or https:// address: " + url);
  }
  try {
    asio::io_context ioc;
    tcp::resolver resolver(ioc);
    beast::tcp_stream tcpStream(ioc);
    tcpStream.expires_after(timeout_);
    tcp::resolver::results_type endpoints;
    // The lookup has no stream deadline of its own: a timer cancels it.
    asio::steady_timer lookupDeadline(ioc, timeout_);
    lookupDeadline.async_wait([&resolver](error_code ec) {
      if (!ec) resolver.cancel();
    });
    error_code ec = RunOne(ioc, [&](auto handler) {
      resolver.async_resolve(parts.host, parts.port,
                             [&endpoints, &lookupDeadline, handler](
                                 error_code resolved, tcp::resolver::results_type results) mutable {
                               lookupDeadline.cancel();
                               endpoints = std::move(results);
                               handler(resolved);
                             });
    });
    if (ec) return Failure("cannot find " + parts.host + ": " + ec.message());
    ec = RunOne(ioc, [&](auto handler) { tcpStream.async_connect(endpoints, handler); });
    if (ec)
      return Failure("cannot connect to " + parts.host + ":" + parts.port + ": " + ec.message());
    if (!parts.tls) return Exchange(ioc, tcpStream, parts, userAgent_, maxReplyBytes_);

    asio::ssl::context tls(asio::ssl::context::tls_client);
    tls.set_default_verify_paths();
    tls.set_verify_mode(asio::ssl::verify_peer);
    beast::ssl_stream<beast::tcp_stream> stream(std::move(tcpStream), tls);
    stream.set_verify_callback(asio::ssl::host_name_verification(parts.host));
    if (!SSL_set_tlsext_host_name(stream.native_handle(), parts.host.c_str())) {
      return Failure("cannot set the TLS server name");
    }
    ec = RunOne(ioc, [&](auto handler) {
      stream.async_handshake(asio::ssl::stream_base::client, handler);
    });
    if (ec) return Failure("TLS handshake with " + parts.host + " failed: " + ec.message());
    return Exchange(ioc, stream, parts, userAgent_, maxReplyBytes_);
  } catch (const std::exception& error) {
    return Failure(error.what());
  }
}

}  // namespace orv::online
