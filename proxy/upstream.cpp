#include "proxy/upstream.h"

#include <unistd.h>

#include <algorithm>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <charconv>
#include <limits>

namespace orv::proxy {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

constexpr std::size_t kUpstreamHeaderLimit = 64 * 1024;
constexpr std::size_t kMaxReadStep = 256 * 1024;

SourceResult Classify(const beast::error_code& ec) {
  return ec == beast::error::timeout ? SourceResult::kTimeout : SourceResult::kUnreachable;
}

// A pooled connection the upstream closed while it sat idle fails at once with one of these;
// the request then goes once more on a fresh connection.
bool StaleConnection(const beast::error_code& ec) {
  return ec == http::error::end_of_stream || ec == http::error::partial_message ||
         ec == asio::error::eof || ec == asio::error::connection_reset ||
         ec == asio::error::broken_pipe;
}

}  // namespace

UpstreamPool::~UpstreamPool() {
  Clear();
}

std::optional<tcp::socket> UpstreamPool::Take(const asio::any_io_executor& executor) {
  for (;;) {
    std::optional<Idle> idle;
    {
      std::lock_guard lock(mutex_);
      if (idle_.empty()) return std::nullopt;
      idle = idle_.back();
      idle_.pop_back();
    }
    beast::error_code ec;
    tcp::socket socket(executor);
    socket.assign(idle->protocol, idle->descriptor, ec);
    if (!ec) return socket;
    ::close(idle->descriptor);
  }
}

void UpstreamPool::Give(tcp::socket socket) {
  beast::error_code ec;
  tcp::endpoint local = socket.local_endpoint(ec);
  if (ec) return;
  std::lock_guard lock(mutex_);
  if (idle_.size() >= maxIdle_) return;  // the socket closes as it goes out of scope
  int descriptor = socket.release(ec);
  if (!ec) idle_.push_back({descriptor, local.protocol()});
}

void UpstreamPool::Clear() {
  std::lock_guard lock(mutex_);
  for (const Idle& idle : idle_) ::close(idle.descriptor);
  idle_.clear();
}

asio::awaitable<SourceResult> UpstreamSource::Start(ForwardRequest& request,
                                                    const RequestFacts& facts, ResponseHead& head) {
  bool headOnly = facts.method == "HEAD";
  SourceResult result = SourceResult::kUnreachable;
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::optional<tcp::socket> pooled;
    if (attempt == 0) pooled = pool_.Take(executor_);
    bool reused = pooled.has_value();
    if (reused) {
      stream_.emplace(std::move(*pooled));
    } else {
      stream_.emplace(executor_);
      beast::error_code ec;
      stream_->expires_after(timeout_);
      co_await stream_->async_connect(pool_.Endpoints(),
                                      asio::redirect_error(asio::use_awaitable, ec));
      if (ec) {
        stream_.reset();
        co_return Classify(ec);
      }
    }
    if (co_await Exchange(request, headOnly, reused, result) == Attempt::kDone) break;
  }
  if (result != SourceResult::kOk) co_return result;

  const auto& message = parser_->get();
  head = ResponseHead{};
  head.status = message.result_int();
  head.reason = std::string(message.reason());
  if (head.reason.empty()) head.reason = std::string(http::obsolete_reason(message.result()));
  bool chunked = false;
  for (const auto& field : message) {
    head.fields.push_back({std::string(field.name_string()), std::string(field.value())});
    if (field.name() == http::field::transfer_encoding) chunked = true;
  }
  auto length = message.find(http::field::content_length);
  if (length != message.end() && !chunked) {
    std::uint64_t value = 0;
    std::string_view text = length->value();
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc() && end == text.data() + text.size()) head.contentLength = value;
  }
  co_return SourceResult::kOk;
}

asio::awaitable<UpstreamSource::Attempt> UpstreamSource::Exchange(ForwardRequest& request,
                                                                  bool headOnly, bool reused,
                                                                  SourceResult& result) {
  beast::error_code ec;
  buffer_.clear();
  stream_->expires_after(timeout_);
  co_await http::async_write(*stream_, request, asio::redirect_error(asio::use_awaitable, ec));
  if (ec) {
    if (reused) co_return Attempt::kRetry;
    result = Classify(ec);
    co_return Attempt::kDone;
  }
  for (;;) {
    parser_.emplace();
    parser_->header_limit(kUpstreamHeaderLimit);
    parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
    if (headOnly) parser_->skip(true);
    stream_->expires_after(timeout_);
    co_await http::async_read_header(*stream_, buffer_, *parser_,
                                     asio::redirect_error(asio::use_awaitable, ec));
    if (ec) {
      if (reused && buffer_.size() == 0 && StaleConnection(ec)) co_return Attempt::kRetry;
      result = Classify(ec);
      co_return Attempt::kDone;
    }
    unsigned status = parser_->get().result_int();
    // Interim answers (100 Continue, 103 Early Hints) are the upstream's business alone.
    if (status < 100 || status >= 200 || status == 101) break;
  }
  result = SourceResult::kOk;
  co_return Attempt::kDone;
}

asio::awaitable<SourceResult> UpstreamSource::Read(std::string& out, std::size_t limit,
                                                   bool& complete) {
  complete = false;
  while (!parser_->is_done() && out.size() < limit) {
    std::size_t old = out.size();
    std::size_t want = std::min(limit - old, kMaxReadStep);
    out.resize(old + want);
    auto& body = parser_->get().body();
    body.data = out.data() + old;
    body.size = want;
    beast::error_code ec;
    stream_->expires_after(timeout_);
    co_await http::async_read(*stream_, buffer_, *parser_,
                              asio::redirect_error(asio::use_awaitable, ec));
    out.resize(old + (want - body.size));
    body.data = nullptr;
    if (ec == http::error::need_buffer) ec = {};
    if (ec) co_return Classify(ec);
  }
  complete = parser_->is_done();
  co_return SourceResult::kOk;
}

void UpstreamSource::Finish(bool complete) {
  if (!stream_) return;
  bool reusable = complete && parser_ && parser_->is_done() && parser_->keep_alive() &&
                  parser_->get().result_int() != 101 && buffer_.size() == 0;
  if (reusable) {
    stream_->expires_never();
    pool_.Give(stream_->release_socket());
  } else {
    beast::error_code ec;
    stream_->socket().shutdown(tcp::socket::shutdown_both, ec);
    stream_->close();
  }
  stream_.reset();
}

}  // namespace orv::proxy
