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
#include <type_traits>

#include "proxy/buffered_read.h"
#include "proxy/client_address.h"
#include "proxy/file_source.h"
#include "proxy/loop_stream.h"
#include "proxy/outcome_counts.h"
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

// A chunked body's framing beyond its data: each chunk's extensions (which nobody uses and
// nothing forwards), all of them together, and the trailer, which is held to the size of
// the head's fields. Beyond any of these the request is refused: Beast would otherwise keep
// an endless chunk line or trailer in memory while it waits for its end.
constexpr std::size_t kMaxChunkExtension = 256;
constexpr std::size_t kMaxChunkExtensions = 4 * 1024;
constexpr std::size_t kMaxPendingFraming = kMaxHeaderFields;
constexpr std::size_t kMaxTrailerFields = 32;

// Counts a request, and once it is over the response's status and how long it took from the
// head to the last byte written, whichever way the request ends.
class ResponseMeter {
 public:
  ResponseMeter(ProxyMetrics& metrics, const unsigned& status)
      : metrics_(metrics), status_(status), received_(std::chrono::steady_clock::now()) {
    metrics_.CountRequest();
  }
  ~ResponseMeter() {
    if (status_ != 0) metrics_.CountResponse(status_, std::chrono::steady_clock::now() - received_);
  }
  ResponseMeter(const ResponseMeter&) = delete;
  ResponseMeter& operator=(const ResponseMeter&) = delete;

 private:
  ProxyMetrics& metrics_;
  const unsigned& status_;
  std::chrono::steady_clock::time_point received_;
};

bool IsHttpParseError(const beast::error_code& ec) {
  return ec.category() == beast::http::make_error_code(http::error::bad_target).category() &&
         ec != http::error::end_of_stream && ec != http::error::partial_message;
}

// Reads the rest of a request whose head is in: the bytes already buffered first, then the
// socket. Whatever the parser cannot consume yet is framing (a chunk line, the trailer), and
// more of it than kMaxPendingFraming fails the read as a bad chunk.
template <class Stream, class Parser>
LoopAwaitable<void> ReadBody(Stream& socket, beast::flat_buffer& buffer, Parser& parser,
                             beast::error_code& ec) {
  ec = {};
  while (!parser.is_done()) {
    if (buffer.size() > 0) {
      buffer.consume(parser.put(buffer.data(), ec));
      if (ec == http::error::need_more) {
        ec = {};
        if (buffer.size() > kMaxPendingFraming) {
          ec = http::error::bad_chunk;
          co_return;
        }
      } else if (ec) {
        co_return;
      } else {
        continue;
      }
    }
    co_await ReadMore(socket, buffer, ec);
    if (ec == asio::error::eof) ec = http::error::partial_message;
    if (ec) co_return;
  }
}

// After a request is refused the client may still be sending it. Closing with its bytes
// unread would reset the connection, and a reset can destroy the refusal before the client
// has read it; so the sending side is closed and whatever still comes is read and dropped,
// for a short while and up to a bound, before the connection closes.
constexpr std::chrono::milliseconds kLingerAfterRefusal{1000};
constexpr std::size_t kMaxDiscardAfterRefusal = 1024 * 1024;

// Over TLS the sending side stays open (a TCP shutdown would come before our close_notify)
// and the client's records are read through the stream: the refusal says how long it is.
template <class Stream>
LoopAwaitable<void> LingerAfterRefusal(Stream& socket, Deadline& deadline) {
  beast::error_code ec;
  if constexpr (std::is_same_v<Stream, LoopSocket>) socket.shutdown(tcp::socket::shutdown_send, ec);
  std::array<char, 4096> sink;
  std::size_t discarded = 0;
  const auto armed = deadline.Arm(LowestLayer(socket), kLingerAfterRefusal);
  while (!ec && discarded < kMaxDiscardAfterRefusal) {
    auto room = asio::buffer(sink);
    discarded += co_await socket.async_read_some(room, asio::redirect_error(kUseLoopAwaitable, ec));
  }
}

// Beast adds a chunked body's trailer fields to the head's; the request goes on with the
// head's fields alone, so that nothing the engine did not see in the head arrives upstream
// as a header. False when the trailer held more fields than allowed.
bool DropTrailerFields(ForwardRequest& request, const std::vector<HeaderField>& headFields) {
  const auto fields = static_cast<std::size_t>(std::distance(request.begin(), request.end()));
  if (fields == headFields.size()) return true;
  if (fields > headFields.size() + kMaxTrailerFields) return false;
  request.clear();
  for (const HeaderField& field : headFields) request.insert(field.name, field.value);
  return true;
}

// SERVER_NAME and SERVER_PORT: from the Host field, or the authority of an absolute-form
// target, which must then name the same server; without either (HTTP/1.0), the listening
// address. False for a request whose host is missing, repeated, malformed or contradicted.
bool IdentifyServer(const ForwardRequest& header, const RequestTarget& target,
                    std::string_view localName, std::string_view localPort, bool tls,
                    RequestFacts& facts) {
  const std::size_t hostFields = header.count(http::field::host);
  if (hostFields > 1 || (hostFields == 0 && header.version() >= 11)) return false;
  std::optional<HostAndPort> host;
  if (hostFields == 1) {
    const auto value = header[http::field::host];
    host = ParseHost(std::string_view(value.data(), value.size()));
    if (!host) return false;
  }
  if (target.authority) {
    const std::string_view defaultPort = target.scheme == "https" ? "443" : "80";
    if (host && !SameServer(*host, *target.authority, defaultPort)) return false;
    host = target.authority;
  }
  if (host) {
    facts.serverName = host->name;
    // A Host without a port names the scheme's own, as a browser sends it for port 443.
    facts.serverPort = host->port.empty() ? (tls ? "443" : "80") : host->port;
  } else {
    facts.serverName = std::string(localName);
    facts.serverPort = std::string(localPort);
  }
  return true;
}

// Removes what belongs to the client's connection, applies the engine's header edits (an
// empty value removes the field: the engine takes Range off a request it screens) and frames
// the body afresh for the upstream connection.
void PrepareForward(ForwardRequest& request, const RequestFacts& facts) {
  for (const std::string& name : facts.editedHeaders) {
    std::optional<std::string> value = facts.Header(name);
    if (value && !value->empty())
      request.set(name, *value);
    else
      request.erase(name);
  }
  std::string listed(request[http::field::connection]);
  std::size_t pos = 0;
  while (pos < listed.size()) {
    std::size_t comma = listed.find(',', pos);
    std::string token =
        listed.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    token.erase(0, token.find_first_not_of(" \t"));
    token.erase(token.find_last_not_of(" \t") + 1);
    // A client cannot make Host hop-by-hop: the upstream would pick a site by default while
    // the engine judged the one the Host named.
    if (!token.empty() && !EqualsNoCase(token, "close") && !EqualsNoCase(token, "keep-alive") &&
        !EqualsNoCase(token, "host"))
      request.erase(token);
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  for (http::field field :
       {http::field::connection, http::field::keep_alive, http::field::proxy_connection,
        http::field::te, http::field::trailer, http::field::upgrade, http::field::expect,
        http::field::transfer_encoding, http::field::content_length})
    request.erase(field);
  if (!facts.forwardedFor.empty()) request.set("X-Forwarded-For", facts.forwardedFor);
  request.version(11);
  request.keep_alive(true);
  request.prepare_payload();
}

}  // namespace

template <class Stream>
Session<Stream>::Session(ServerContext& context, Stream stream)
    : context_(context), stream_(std::move(stream)), deadline_(Socket().get_executor()) {
  context_.metrics.ConnectionOpened();
}

template <class Stream>
Session<Stream>::Session(ServerContext& context, Stream stream,
                         std::shared_ptr<asio::ssl::context> certificate)
    : context_(context),
      certificate_(std::move(certificate)),
      stream_(std::move(stream)),
      deadline_(Socket().get_executor()) {
  context_.metrics.ConnectionOpened();
}

template <class Stream>
Session<Stream>::~Session() {
  context_.metrics.ConnectionClosed();
  std::lock_guard lock(context_.mutex);
  context_.sessions.erase(this);
}

template <class Stream>
void Session<Stream>::Stop() {
  asio::post(Socket().get_executor(),
             [self = std::static_pointer_cast<Session>(shared_from_this())] {
               beast::error_code ec;
               if (self->idle_) self->Socket().cancel(ec);
             });
}

// How long a TLS connection waits to hand over its close_notify before it closes anyway.
constexpr std::chrono::milliseconds kTlsCloseLimit{1000};

template <class Stream>
LoopAwaitable<void> Session<Stream>::SendCloseNotify() {
  // A client that reads to the end of the connection can tell it from a cut.
  if constexpr (std::is_same_v<Stream, TlsStream>) {
    if (!Socket().is_open()) co_return;
    CloseWithoutWaiting(stream_);
    beast::error_code ec;
    const auto armed =
        deadline_.Arm(Socket(), std::min(kTlsCloseLimit, context_.options.clientTimeout));
    co_await stream_.async_shutdown(asio::redirect_error(kUseLoopAwaitable, ec));
  }
  co_return;
}

template <class Stream>
LoopAwaitable<void> Session<Stream>::Run(std::shared_ptr<Session> self) {
  try {
    co_await self->Serve();
    if constexpr (std::is_same_v<Stream, TlsStream>) co_await self->SendCloseNotify();
  } catch (const std::exception&) {
    // One connection's failure ends that connection, never the process.
  }
  beast::error_code ec;
  self->Socket().shutdown(tcp::socket::shutdown_send, ec);
  self->Socket().close(ec);

  std::function<void()> lastGone;
  {
    std::lock_guard lock(self->context_.mutex);
    self->context_.sessions.erase(self.get());
    if (self->context_.stopping && self->context_.sessions.empty())
      lastGone = self->context_.lastSessionGone;
  }
  if (lastGone) lastGone();
}

template <class Stream>
LoopAwaitable<bool> Session<Stream>::Write(std::string_view first, std::string_view second) {
  beast::error_code ec;
  if constexpr (std::is_same_v<Stream, TlsStream>) {
    // The TLS stream writes one buffer per record and one record per send; a head and a
    // small body go out together instead.
    constexpr std::size_t kJoinBelow = 64 * 1024;
    if (!first.empty() && !second.empty() && first.size() + second.size() <= kJoinBelow) {
      joined_.assign(first);
      joined_.append(second);
      first = joined_;
      second = {};
    }
  }
  std::array<asio::const_buffer, 2> buffers{asio::buffer(first.data(), first.size()),
                                            asio::buffer(second.data(), second.size())};
  const auto armed = deadline_.Arm(Socket(), context_.options.clientTimeout);
  co_await asio::async_write(stream_, buffers, asio::redirect_error(kUseLoopAwaitable, ec));
  if (!ec && status_ == 0) status_ = FinalStatus(first);
  co_return !ec;
}

template <class Stream>
LoopAwaitable<void> Session<Stream>::Reject(unsigned status, std::string_view reason) {
  const std::string response = ErrorResponseText(status, reason);
  co_await Write(response);
}

template <class Stream>
LoopAwaitable<void> Session<Stream>::Serve() {
  const ProxyOptions& options = context_.options;
  beast::error_code ec;
  if constexpr (std::is_same_v<Stream, TlsStream>) {
    // Held to the same limit as a request's head: a client that trickles its hello must not
    // keep a connection forever.
    {
      const auto armed = deadline_.Arm(Socket(), options.clientTimeout);
      co_await stream_.async_handshake(asio::ssl::stream_base::server,
                                       asio::redirect_error(kUseLoopAwaitable, ec));
    }
    if (ec) {
      beast::error_code ignored;
      Socket().close(ignored);  // nothing was agreed: no close_notify to send
      co_return;
    }
  }
  asio::ip::address peer;
  std::string peerText, localName, localPort;
  {
    tcp::endpoint remote = Socket().remote_endpoint(ec);
    if (!ec) {
      peer = remote.address();
      peerText = AddressText(peer);
    }
    tcp::endpoint local = Socket().local_endpoint(ec);
    if (!ec) {
      localName = AddressText(local.address());
      localPort = std::to_string(local.port());
    }
  }

  beast::flat_buffer buffer;
  buffer.reserve(kReadBuffer);  // requests are read in as few reads as their size allows
  while (!context_.stopping) {
    std::size_t extensionBytes = 0;
    auto limitExtensions = [&extensionBytes](std::uint64_t, beast::string_view extensions,
                                             beast::error_code& error) {
      extensionBytes += extensions.size();
      if (extensions.size() > kMaxChunkExtension || extensionBytes > kMaxChunkExtensions)
        error = http::error::bad_chunk_extension;
    };
    http::request_parser<http::string_body> parser;
    parser.header_limit(kHeaderLimit);
    parser.body_limit(options.bodyLimit);
    parser.on_chunk_header(limitExtensions);

    idle_ = true;
    status_ = 0;
    {
      // One limit for the whole head: a client that sends a byte now and then must not keep
      // a connection forever.
      const auto armed = deadline_.Arm(Socket(), options.clientTimeout);
      co_await ReadHead(stream_, buffer, parser, ec);
    }
    idle_ = false;
    std::optional<ResponseMeter> meter;
    if (!ec || IsHttpParseError(ec)) meter.emplace(context_.metrics, status_);
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
    // One reading of the request for the engine and the upstream, or none: a target or host
    // that servers read in more than one way is refused. CONNECT would open a tunnel past
    // the screen, and "*" names no resource but the server's options.
    std::optional<RequestTarget> target =
        ParseRequestTarget(std::string_view(header.target().data(), header.target().size()));
    RequestFacts facts;
    if (!target || header.method() == http::verb::connect ||
        (target->path == "*" && header.method() != http::verb::options) ||
        !IdentifyServer(header, *target, localName, localPort, std::is_same_v<Stream, TlsStream>,
                        facts)) {
      co_await Reject(400, "Bad Request");
      co_return co_await LingerAfterRefusal(stream_, deadline_);
    }
    // The head's fields as they are now, before a chunked body's trailer adds to them.
    facts.headers.reserve(static_cast<std::size_t>(std::distance(header.begin(), header.end())));
    for (const auto& field : header)
      facts.headers.push_back({std::string(field.name_string()), std::string(field.value())});

    // Only now the body: parsed with the head, a chunked body's trailer would already have
    // been added to the fields read above.
    parser.eager(true);
    if (!parser.is_done()) {
      if (header.version() >= 11 && EqualsNoCase(header[http::field::expect], "100-continue") &&
          !co_await Write("HTTP/1.1 100 Continue\r\n\r\n"))
        co_return;
      {
        const auto armed = deadline_.Arm(Socket(), options.clientTimeout);
        co_await ReadBody(stream_, buffer, parser, ec);
      }
      if (ec == http::error::body_limit) {
        co_await Reject(413, "Content Too Large");
        co_return co_await LingerAfterRefusal(stream_, deadline_);
      }
      if (ec) {
        if (!IsHttpParseError(ec)) co_return;
        co_await Reject(400, "Bad Request");
        co_return co_await LingerAfterRefusal(stream_, deadline_);
      }
    }

    ForwardRequest request = parser.release();
    if (!DropTrailerFields(request, facts.headers)) {
      co_await Reject(400, "Bad Request");
      co_return co_await LingerAfterRefusal(stream_, deadline_);
    }
    facts.method = std::string(request.method_string());
    facts.url = target->path;
    facts.rawPath = target->rawPath;
    facts.query = target->query;
    const std::optional<std::string> forwardedFor = facts.Header("X-Forwarded-For");
    if (!peerText.empty()) {
      // The peer's own text is known already; the chain is read only for a trusted peer.
      facts.remoteAddr = forwardedFor && !options.trustedProxies.empty()
                             ? ClientAddress(peer, *forwardedFor, options.trustedProxies)
                             : peerText;
      facts.forwardedFor = forwardedFor ? *forwardedFor + ", " + peerText : peerText;
    } else {
      facts.forwardedFor = forwardedFor.value_or("");
    }
    facts.protocol = request.version() >= 11 ? "HTTP/1.1" : "HTTP/1.0";
    facts.body = std::move(request.body());
    facts.totalBytes = facts.body.size();

    bool keepAlive = request.keep_alive() && !context_.stopping;
    bool http10 = request.version() < 11;
    bool headOnly = request.method() == http::verb::head;

    RequestVerdict verdict = ScreenRequest(context_.engine, facts);
    CountRequestOutcome(&context_.metrics, verdict);
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

template <class Stream>
LoopAwaitable<bool> Session<Stream>::Respond(ForwardRequest& request, RequestFacts& facts,
                                             bool keepAlive, bool http10, bool headOnly) {
  const ProxyOptions& options = context_.options;
  if (!source_) {
    if (context_.pool && context_.pool->Tls())
      source_ = std::make_unique<TlsUpstreamSource>(*context_.pool, Socket().get_executor(),
                                                    options.upstreamTimeout);
    else if (context_.pool)
      source_ = std::make_unique<UpstreamSource>(*context_.pool, Socket().get_executor(),
                                                 options.upstreamTimeout);
    else
      source_ = std::make_unique<FileSource>(*context_.site);
  }
  RelayContext relay{options,
                     context_.engine,
                     *source_,
                     [this](std::string_view first, std::string_view second) { return Write(first, second); },
                     std::cerr,
                     &context_.metrics};
  co_return co_await RelayResponse(relay, request, facts, {keepAlive, http10, headOnly});
}

template class Session<LoopSocket>;
template class Session<TlsStream>;

}  // namespace orv::proxy
