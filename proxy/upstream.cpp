#include "proxy/upstream.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <boost/asio/connect.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/ssl/error.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/error.hpp>
#include <charconv>
#include <cstdio>
#include <limits>
#include <type_traits>

#include "proxy/buffered_read.h"
#include "proxy/loop_stream.h"
#include "proxy/upstream_head.h"
#include "proxy/upstream_parser.h"

namespace orv::proxy {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

constexpr std::size_t kUpstreamHeaderLimit = 64 * 1024;

// A failed connect, handshake, write or read: a timeout when the deadline closed the
// connection, malformed when the parser refused what came, `otherwise` when the connection
// failed in the step's own way.
SourceResult Classify(const Deadline& deadline, const beast::error_code& ec,
                      SourceResult otherwise) {
  if (deadline.Expired()) return SourceResult::kTimeout;
  const bool parse = ec.category() == http::make_error_code(http::error::bad_target).category();
  if (parse && ec != http::error::end_of_stream && ec != http::error::partial_message)
    return SourceResult::kMalformed;
  return otherwise;
}

// A pooled connection the upstream closed while it sat idle fails at once with one of these;
// the request then goes once more on a fresh connection.
bool StaleConnection(const beast::error_code& ec) {
  return ec == http::error::end_of_stream || ec == http::error::partial_message ||
         ec == asio::error::eof || ec == asio::error::connection_reset ||
         ec == asio::error::broken_pipe || ec == asio::ssl::error::stream_truncated;
}

// Methods a server may receive twice to the same effect (RFC 9110, 9.2.2). Any other
// request is sent on a fresh connection, never on a kept one: a kept connection may be
// closed by the upstream just as the request arrives, and whether it was acted on cannot be
// known, so it could not be sent again, and failing it would fail requests at random.
bool Idempotent(http::verb method) {
  switch (method) {
    case http::verb::get:
    case http::verb::head:
    case http::verb::options:
    case http::verb::trace:
    case http::verb::put:
    case http::verb::delete_:
      return true;
    default:
      return false;
  }
}

}  // namespace

UpstreamPool::~UpstreamPool() {
  Clear();
}

std::optional<LoopSocket> UpstreamPool::Take(const LoopExecutor& executor) {
  for (;;) {
    std::optional<Idle> idle;
    {
      std::lock_guard lock(mutex_);
      if (idle_.empty()) return std::nullopt;
      idle = idle_.back();
      idle_.pop_back();
    }
    beast::error_code ec;
    LoopSocket socket(executor);
    socket.assign(idle->protocol, idle->descriptor, ec);
    if (!ec) return socket;
    ::close(idle->descriptor);
  }
}

void UpstreamPool::Give(LoopSocket socket) {
  beast::error_code ec;
  tcp::endpoint local = socket.local_endpoint(ec);
  if (ec) return;
  std::lock_guard lock(mutex_);
  if (closed_ || idle_.size() >= maxIdle_) return;  // the socket closes as it goes out of scope
  int descriptor = socket.release(ec);
  if (!ec) idle_.push_back({descriptor, local.protocol()});
}

void UpstreamPool::Clear() {
  std::lock_guard lock(mutex_);
  for (const Idle& idle : idle_) ::close(idle.descriptor);
  idle_.clear();
  idleTls_.clear();
  closed_ = true;
}

std::optional<TlsStream> UpstreamPool::TakeTls(const LoopExecutor& executor) {
  std::unique_ptr<TlsStream> found;
  {
    std::lock_guard lock(mutex_);
    for (std::size_t i = idleTls_.size(); i-- > 0;) {
      if (idleTls_[i].loop != &executor.context()) continue;
      found = std::move(idleTls_[i].stream);
      idleTls_.erase(idleTls_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  if (!found) return std::nullopt;
  return std::optional<TlsStream>(std::move(*found));
}

void UpstreamPool::Give(TlsStream stream) {
  auto kept = std::make_unique<TlsStream>(std::move(stream));
  asio::execution_context* loop = &kept->next_layer().get_executor().context();
  {
    std::lock_guard lock(mutex_);
    if (!closed_ && idleTls_.size() < maxIdle_) {
      idleTls_.push_back({loop, std::move(kept)});
      return;
    }
  }
  // Closed here, outside the lock, as the plain side closes its socket.
}

template <class Stream>
std::optional<Stream> BasicUpstreamSource<Stream>::TakeIdle() {
  if constexpr (std::is_same_v<Stream, TlsStream>)
    return pool_.TakeTls(executor_);
  else
    return pool_.Take(executor_);
}

template <class Stream>
LoopAwaitable<SourceResult> BasicUpstreamSource<Stream>::Connect() {
  beast::error_code ec;
  if constexpr (std::is_same_v<Stream, TlsStream>)
    stream_.emplace(executor_, pool_.TlsContext());
  else
    stream_.emplace(executor_);
  LoopSocket& socket = LowestLayer(*stream_);
  {
    const auto armed = deadline_.Arm(socket, timeout_);
    co_await asio::async_connect(socket, pool_.Endpoints(),
                                 asio::redirect_error(kUseLoopAwaitable, ec));
  }
  if (ec) {
    stream_.reset();
    co_return Classify(deadline_, ec, SourceResult::kUnreachable);
  }
  // The request head and body may leave in separate writes; do not let the body wait for
  // the head's acknowledgement.
  socket.set_option(tcp::no_delay(true), ec);
  if constexpr (std::is_same_v<Stream, TlsStream>) {
    if (!ExpectUpstreamName(*stream_, pool_.Host())) {
      std::fprintf(stderr, "orvproxy: upstream name %s cannot be checked\n", pool_.Host().c_str());
      stream_.reset();
      co_return SourceResult::kTlsFailed;
    }
    {
      const auto armed = deadline_.Arm(socket, timeout_);
      co_await stream_->async_handshake(asio::ssl::stream_base::client,
                                        asio::redirect_error(kUseLoopAwaitable, ec));
    }
    if (ec) {
      const SourceResult result = Classify(deadline_, ec, SourceResult::kTlsFailed);
      if (result != SourceResult::kTimeout) {
        // The administrator's to fix (a certificate that does not verify, or no TLS at all):
        // said where they look, while the client gets 502.
        const std::string reason = HandshakeErrorText(*stream_, ec);
        beast::error_code ignored;
        const unsigned port = socket.remote_endpoint(ignored).port();
        std::fprintf(stderr, "orvproxy: TLS to upstream %s port %u failed: %s\n",
                     pool_.Host().c_str(), port, reason.c_str());
        std::fflush(stderr);
      }
      stream_.reset();
      co_return result;
    }
  }
  co_return SourceResult::kOk;
}

template <class Stream>
LoopAwaitable<SourceResult> BasicUpstreamSource<Stream>::Start(ForwardRequest& request,
                                                               const RequestFacts& facts,
                                                               ResponseHead& head) {
  // A connection kept from this client's last request is used first; anything else the last
  // request left behind is closed.
  const bool mayReuse = Idempotent(request.method());
  bool kept = stream_ && keptIdle_;
  if (kept && !mayReuse) {
    pool_.Give(std::move(*stream_));  // for another request that may use it
    stream_.reset();
    kept = false;
  }
  if (!kept) Finish(false);
  keptIdle_ = false;
  bool headOnly = facts.method == "HEAD";
  SourceResult result = SourceResult::kUnreachable;
  for (int attempt = 0; attempt < 2; ++attempt) {
    bool reused = false;
    if (attempt == 0 && kept) {
      reused = true;
    } else if (std::optional<Stream> pooled =
                   attempt == 0 && mayReuse ? TakeIdle() : std::nullopt) {
      stream_.emplace(std::move(*pooled));
      reused = true;
    }
    if (!reused) {
      const SourceResult connected = co_await Connect();
      if (connected != SourceResult::kOk) co_return connected;
    }
    if (co_await Exchange(request, headOnly, reused, result) == Attempt::kDone) break;
  }
  if (result != SourceResult::kOk) co_return result;

  head = std::move(parser_->Head());  // the status stays behind for Finish to read
  co_return SourceResult::kOk;
}

template <class Stream>
LoopAwaitable<typename BasicUpstreamSource<Stream>::Attempt> BasicUpstreamSource<Stream>::Exchange(
    ForwardRequest& request, bool headOnly, bool reused, SourceResult& result) {
  beast::error_code ec;
  buffer_.clear();
  // A read takes as much as the buffer has room for; a buffer left at its first small size
  // would take a page in hundreds of reads. The head and every body read after it use it.
  if (buffer_.capacity() < kReadStep) buffer_.reserve(kReadStep);
  // Head and body in one gathered write; the head is built by hand because Beast's
  // serializer costs several times more for the same bytes.
  const std::string head = RequestHeadText(request);
  const std::array<asio::const_buffer, 2> out{asio::buffer(head), asio::buffer(request.body())};
  {
    const auto armed = deadline_.Arm(LowestLayer(*stream_), timeout_);
    co_await asio::async_write(*stream_, out, asio::redirect_error(kUseLoopAwaitable, ec));
  }
  if (ec) {
    if (reused) co_return Attempt::kRetry;
    result = Classify(deadline_, ec, SourceResult::kBrokenOff);
    co_return Attempt::kDone;
  }
  for (;;) {
    parser_.emplace();
    parser_->header_limit(kUpstreamHeaderLimit);
    parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
    if (headOnly) parser_->skip(true);
    {
      const auto armed = deadline_.Arm(LowestLayer(*stream_), timeout_);
      co_await ReadHead(*stream_, buffer_, *parser_, ec);
    }
    if (ec) {
      if (reused && buffer_.size() == 0 && StaleConnection(ec)) co_return Attempt::kRetry;
      result = Classify(deadline_, ec, SourceResult::kBrokenOff);
      co_return Attempt::kDone;
    }
    unsigned status = parser_->Head().status;
    // Interim answers (100 Continue, 103 Early Hints) are the upstream's business alone.
    if (status < 100 || status >= 200 || status == 101) break;
  }
  result = SourceResult::kOk;
  co_return Attempt::kDone;
}

template <class Stream>
LoopAwaitable<SourceResult> BasicUpstreamSource<Stream>::Read(std::string& out, std::size_t limit,
                                                              bool& complete,
                                                              std::chrono::milliseconds pause) {
  complete = false;
  const std::size_t before = out.size();
  // A page usually arrives with its head and is then parsed straight from the buffer.
  parser_->BodyInto(out, limit);
  beast::error_code ec;
  bool paused = false;
  while (!parser_->is_done() && out.size() < limit && !paused) {
    bool needBytes = buffer_.size() == 0;
    if (!needBytes) {
      buffer_.consume(parser_->put(buffer_.data(), ec));
      // A piece of framing (a chunk size, say) cut off at the end of what has come.
      if (ec == http::error::need_more) {
        ec = {};
        needBytes = true;
      }
    }
    if (needBytes && !ec) {
      // With bytes in hand, the wait for more is cut short at a pause. Cancelling a read
      // loses nothing: the bytes that come later stay in the socket for the next one.
      const bool watched = pause.count() > 0 && out.size() > before;
      if (watched) {
        pause_->fired = false;
        pause_->socket = &LowestLayer(*stream_);
        pauseTimer_.expires_after(pause);
        pauseTimer_.async_wait(
            [watch = pause_, read = pause_->read](const beast::error_code& waited) {
              if (waited || watch->read != read || !watch->socket) return;
              watch->fired = true;
              beast::error_code ignored;
              watch->socket->cancel(ignored);
            });
      }
      {
        const auto armed = deadline_.Arm(LowestLayer(*stream_), timeout_);
        co_await ReadMore(*stream_, buffer_, ec);
      }
      if (watched) {
        ++pause_->read;
        pause_->socket = nullptr;
        pauseTimer_.cancel();
        if (ec == asio::error::operation_aborted && pause_->fired && !deadline_.Expired()) {
          ec = {};
          paused = true;
        }
      }
      // The end of the connection completes a body that runs until it, and cuts short any
      // other.
      // A TLS upstream that just closes its socket ends such a body the same way.
      if (ec == asio::ssl::error::stream_truncated) ec = asio::error::eof;
      if (ec == asio::error::eof) parser_->put_eof(ec);
    }
    if (ec == http::error::need_buffer) ec = {};
    if (ec) break;
  }
  parser_->TakeBody();
  if (ec) co_return Classify(deadline_, ec, SourceResult::kBrokenOff);
  complete = parser_->is_done();
  co_return SourceResult::kOk;
}

template <class Stream>
BasicUpstreamSource<Stream>::~BasicUpstreamSource() {
  pause_->socket = nullptr;
  // The client has gone; its upstream connection serves other clients from the pool.
  if (stream_ && keptIdle_) pool_.Give(std::move(*stream_));
}

template <class Stream>
void BasicUpstreamSource<Stream>::Finish(bool complete) {
  if (!stream_ || keptIdle_) return;
  bool reusable = complete && parser_ && parser_->is_done() && parser_->keep_alive() &&
                  parser_->Head().status != 101 && buffer_.size() == 0;
  if (reusable) {
    // Kept for this client's next request, which saves handing the descriptor to the pool
    // and back; it goes to the pool when the client leaves.
    keptIdle_ = true;
    return;
  } else {
    beast::error_code ec;
    LowestLayer(*stream_).shutdown(tcp::socket::shutdown_both, ec);
    LowestLayer(*stream_).close(ec);
  }
  stream_.reset();
}

template class BasicUpstreamSource<LoopSocket>;
template class BasicUpstreamSource<TlsStream>;

}  // namespace orv::proxy
