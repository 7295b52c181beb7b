#include "proxy/session.h"

#include <algorithm>
#include <array>
#include <boost/asio/post.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <iostream>

#include "proxy/buffered_read.h"
#include "proxy/file_source.h"
#include "proxy/loop_stream.h"
#include "proxy/request_target.h"
#include "proxy/response_relay.h"
#include "proxy/upstream_head.h"

namespace orv::proxy {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// Every buffer handed to a co_await below is a named local: GCC 12 mishandles temporaries
// that live across a suspension point inside one full-expression.

constexpr std::size_t kMaxTarget = 8 * 1024;
constexpr std::size_t kMaxHeaderFields = 16 * 1024;
// Room for the longest acceptable request line plus the largest acceptable fields, so that
// the two limits can be told apart after the parse.
constexpr std::size_t kHeaderLimit = kMaxTarget + kMaxHeaderFields + 1024;
constexpr std::size_t kReadBuffer = 16 * 1024;

bool IsHttpParseError(const beast::error_code& ec) {
  return ec.category() == beast::http::make_error_code(http::error::bad_target).category() &&
         ec != http::error::end_of_stream && ec != http::error::partial_message;
}

std::string AddressText(const asio::ip::address& address) {
  if (address.is_v6() && address.to_v6().is_v4_mapped())
    return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).to_string();
  return address.to_string();
}

// Removes what belongs to the client's connection, applies the engine's header edits and
// frames the body afresh for the upstream connection.
void PrepareForward(ForwardRequest& request, const RequestFacts& facts) {
  for (const std::string& name : facts.editedHeaders) {
    std::optional<std::string> value = facts.Header(name);
    request.set(name, value.value_or(""));
  }
  std::string listed(request[http::field::connection]);
  std::size_t pos = 0;
  while (pos < listed.size()) {
    std::size_t comma = listed.find(',', pos);
    std::string token =
        listed.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    token.erase(0, token.find_first_not_of(" \t"));
    token.erase(token.find_last_not_of(" \t") + 1);
    if (!token.empty() && !EqualsNoCase(token, "close") && !EqualsNoCase(token, "keep-alive"))
      request.erase(token);
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  for (http::field field :
       {http::field::connection, http::field::keep_alive, http::field::proxy_connection,
        http::field::te, http::field::trailer, http::field::upgrade, http::field::expect,
        http::field::transfer_encoding, http::field::content_length})
    request.erase(field);
  request.version(11);
  request.keep_alive(true);
  request.prepare_payload();
}

}  // namespace

Session::Session(ServerContext& context, LoopSocket socket)
    : context_(context), socket_(std::move(socket)), deadline_(socket_.get_executor()) {}

Session::~Session() {
  std::lock_guard lock(context_.mutex);
  context_.sessions.erase(this);
}

void Session::Stop() {
  asio::post(socket_.get_executor(), [self = shared_from_this()] {
    beast::error_code ec;
    if (self->idle_) self->socket_.cancel(ec);
  });
}

LoopAwaitable<void> Session::Run(std::shared_ptr<Session> self) {
  try {
    co_await self->Serve();
  } catch (const std::exception&) {
    // One connection's failure ends that connection, never the process.
  }
  beast::error_code ec;
  self->socket_.shutdown(tcp::socket::shutdown_send, ec);
  self->socket_.close(ec);

  std::function<void()> lastGone;
  {
    std::lock_guard lock(self->context_.mutex);
    self->context_.sessions.erase(self.get());
    if (self->context_.stopping && self->context_.sessions.empty())
      lastGone = self->context_.lastSessionGone;
  }
  if (lastGone) lastGone();
}

LoopAwaitable<bool> Session::Write(std::string_view first, std::string_view second) {
  beast::error_code ec;
  std::array<asio::const_buffer, 2> buffers{asio::buffer(first.data(), first.size()),
                                            asio::buffer(second.data(), second.size())};
  const auto armed = deadline_.Arm(socket_, context_.options.clientTimeout);
  co_await asio::async_write(socket_, buffers, asio::redirect_error(kUseLoopAwaitable, ec));
  co_return !ec;
}

LoopAwaitable<void> Session::Reject(unsigned status, std::string_view reason) {
  const std::string response = ErrorResponseText(status, reason);
  co_await Write(response);
}

LoopAwaitable<void> Session::Serve() {
  const ProxyOptions& options = context_.options;
  beast::error_code ec;
  std::string remoteAddr, localName, localPort;
  {
    tcp::endpoint peer = socket_.remote_endpoint(ec);
    if (!ec) remoteAddr = AddressText(peer.address());
    tcp::endpoint local = socket_.local_endpoint(ec);
    if (!ec) {
      localName = AddressText(local.address());
      localPort = std::to_string(local.port());
    }
  }

  beast::flat_buffer buffer;
  buffer.reserve(kReadBuffer);  // requests are read in as few reads as their size allows
  while (!context_.stopping) {
    http::request_parser<http::string_body> parser;
    parser.header_limit(kHeaderLimit);
    parser.body_limit(options.bodyLimit);

    idle_ = true;
    {
      // One limit for the whole head: a client that sends a byte now and then must not keep
      // a connection forever.
      const auto armed = deadline_.Arm(socket_, options.clientTimeout);
      co_await ReadHead(socket_, buffer, parser, ec);
    }
    idle_ = false;
    if (ec == http::error::header_limit) {
      std::string_view received(static_cast<const char*>(buffer.data().data()), buffer.size());
      // The parser may already have taken the request line off the buffer; what is left
      // then starts with a field, and the fields are what overflowed.
      std::size_t space = received.find(' ');
      bool requestLine = space != std::string_view::npos && space > 0 && space < 24 &&
                         std::all_of(received.begin(), received.begin() + space,
                                     [](char c) { return c >= 'A' && c <= 'Z'; });
      std::size_t lineEnd = received.find('\n');
      bool longTarget =
          requestLine && (lineEnd == std::string_view::npos ? received.size() > kMaxTarget
                                                            : lineEnd > kMaxTarget + 16);
      if (longTarget)
        co_await Reject(414, "URI Too Long");
      else
        co_await Reject(431, "Request Header Fields Too Large");
      co_return;
    }
    if (ec == http::error::body_limit) co_return co_await Reject(413, "Content Too Large");
    if (ec) {
      if (IsHttpParseError(ec)) co_await Reject(400, "Bad Request");
      co_return;  // closed, timed out or stopped: nothing to answer
    }

    ForwardRequest& header = parser.get();
    if (header.target().size() > kMaxTarget) co_return co_await Reject(414, "URI Too Long");
    if (FieldBytes(header) > kMaxHeaderFields)
      co_return co_await Reject(431, "Request Header Fields Too Large");
    std::optional<RequestTarget> target =
        ParseRequestTarget(std::string_view(header.target().data(), header.target().size()));
    bool missingHost = header.version() >= 11 && header.find(http::field::host) == header.end();
    if (!target || missingHost) co_return co_await Reject(400, "Bad Request");

    if (!parser.is_done()) {
      if (header.version() >= 11 && EqualsNoCase(header[http::field::expect], "100-continue") &&
          !co_await Write("HTTP/1.1 100 Continue\r\n\r\n"))
        co_return;
      {
        const auto armed = deadline_.Arm(socket_, options.clientTimeout);
        co_await http::async_read(socket_, buffer, parser,
                                  asio::redirect_error(kUseLoopAwaitable, ec));
      }
      if (ec == http::error::body_limit) co_return co_await Reject(413, "Content Too Large");
      if (ec) {
        if (IsHttpParseError(ec)) co_await Reject(400, "Bad Request");
        co_return;
      }
    }

    ForwardRequest request = parser.release();
    RequestFacts facts;
    facts.method = std::string(request.method_string());
    facts.url = target->path;
    facts.rawPath = target->rawPath;
    facts.query = target->query;
    facts.remoteAddr = remoteAddr;
    facts.protocol = request.version() >= 11 ? "HTTP/1.1" : "HTTP/1.0";
    facts.headers.reserve(static_cast<std::size_t>(std::distance(request.begin(), request.end())));
    for (const auto& field : request)
      facts.headers.push_back({std::string(field.name_string()), std::string(field.value())});
    std::string host =
        target->authority.empty() ? std::string(request[http::field::host]) : target->authority;
    std::tie(facts.serverName, facts.serverPort) = ServerNameAndPort(host, localName, localPort);
    facts.body = std::move(request.body());
    facts.totalBytes = facts.body.size();

    bool keepAlive = request.keep_alive() && !context_.stopping;
    bool http10 = request.version() < 11;
    bool headOnly = request.method() == http::verb::head;

    RequestVerdict verdict = ScreenRequest(context_.engine, facts);
    if (verdict.blocked) {
      const std::string response =
          BlockPageText(ReadBlockPage(verdict.blockBytes, false), headOnly);
      co_await Write(response);
      LogRequest(context_.engine, facts);
      co_return;
    }
    request.body() = facts.body;
    PrepareForward(request, facts);
    bool reusable = co_await Respond(request, facts, keepAlive, http10, headOnly);
    LogRequest(context_.engine, facts);
    if (!reusable || !keepAlive) co_return;
  }
}

LoopAwaitable<bool> Session::Respond(ForwardRequest& request, RequestFacts& facts, bool keepAlive,
                                     bool http10, bool headOnly) {
  const ProxyOptions& options = context_.options;
  if (!source_) {
    if (context_.pool)
      source_ = std::make_unique<UpstreamSource>(*context_.pool, socket_.get_executor(),
                                                 options.upstreamTimeout);
    else
      source_ = std::make_unique<FileSource>(*context_.site);
  }
  RelayContext relay{
      options, context_.engine, *source_,
      [this](std::string_view first, std::string_view second) { return Write(first, second); },
      std::cerr};
  co_return co_await RelayResponse(relay, request, facts, {keepAlive, http10, headOnly});
}

}  // namespace orv::proxy
