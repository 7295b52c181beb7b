// What orvproxy has done since it started, counted for a Prometheus scraper: requests and their
// response classes, the screen's outcomes, upstream failures, reloads and a latency histogram.
//
// Every count is a relaxed atomic: the connections of all event loops add to the same
// registry without a lock, and a scrape reads each value once. A scrape taken while requests
// finish may see one counter a step ahead of another; each one on its own only ever grows.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::proxy {

// Why the screen refused a request or replaced a response by a block page.
enum class BlockCause { kUrl, kIp, kKeyword, kBody };
inline constexpr std::size_t kBlockCauses = 4;

// Why a response went to the client unchanged.
enum class PassReason {
  kSwitchedOff,      // filtering is off
  kSafeCode,         // the query string carries the safe code
  kWhiteList,        // the URL or the client is on a white list
  kUnmonitoredType,  // not one of the monitored file types
  kBinary,           // not text
  kUndecodable,      // text that cannot be decoded for the screen (orvproxy refuses those
                     // instead: CountRefusal)
  kFreeWord,         // a free keyword let the page through unscreened
  kNoBody,           // nothing to screen: a HEAD request, a 204 or 304
  kScreened,         // screened, and nothing in it had to change
};
inline constexpr std::size_t kPassReasons = 9;

// How the upstream failed a request the proxy then answered with 502 or 504 (or cut short,
// once the response had begun).
enum class UpstreamError {
  kConnect,      // no connection could be made
  kTimeout,      // no answer in time
  kClosed,       // reset or closed before the response was whole
  kBadResponse,  // a head or body framing that is not HTTP/1.1
  kTls,          // the TLS handshake or the certificate check failed
};
inline constexpr std::size_t kUpstreamErrors = 5;

enum class ReloadOutcome { kOk, kFailed };

// Upper bounds of the latency histogram's buckets, in nanoseconds (0.5 ms to 10 s); the last
// bucket, +Inf, is implicit.
inline constexpr std::array<std::uint64_t, 14> kLatencyBounds{
    500'000,       1'000'000,     2'500'000,     5'000'000,     10'000'000,
    25'000'000,    50'000'000,    100'000'000,   250'000'000,   500'000'000,
    1'000'000'000, 2'500'000'000, 5'000'000'000, 10'000'000'000};

class ProxyMetrics {
 public:
  // `started` is the process's start as wall-clock time, reported as a gauge.
  explicit ProxyMetrics(
      std::chrono::system_clock::time_point started = std::chrono::system_clock::now());
  ProxyMetrics(const ProxyMetrics&) = delete;
  ProxyMetrics& operator=(const ProxyMetrics&) = delete;

  // A request head was read and will be answered.
  void CountRequest();
  // A response went out whole: its status (1xx interim answers are not responses) and the
  // time from the request's head to the response's last byte.
  void CountResponse(unsigned status, std::chrono::nanoseconds latency);

  // The screen's outcomes.
  void CountBlock(BlockCause cause);
  // One chunk of a response had `words` replace words overwritten.
  void CountReplacement(std::uint64_t words);
  void CountRecord();
  void CountPass(PassReason reason);
  // A response refused with 502 because the screen could not read it (a content coding that
  // cannot be decoded, a page in UTF-16 or UTF-32, a part of a page asked for whole).
  void CountRefusal();

  void CountUpstreamError(UpstreamError kind);
  void CountReload(ReloadOutcome outcome);

  void ConnectionOpened();
  void ConnectionClosed();

  // The text exposition format, version 0.0.4.
  std::string Render() const;

 private:
  using Counter = std::atomic<std::uint64_t>;

  double startedSeconds_;
  Counter requests_{0};
  // 1xx (final ones only, which a proxy rarely sees), 2xx .. 5xx, and anything else.
  std::array<Counter, 6> responses_{};
  std::array<Counter, kBlockCauses> blocks_{};
  Counter replacedChunks_{0};
  Counter replacedWords_{0};
  Counter records_{0};
  std::array<Counter, kPassReasons> passes_{};
  Counter refusals_{0};
  std::array<Counter, kUpstreamErrors> upstreamErrors_{};
  std::array<Counter, 2> reloads_{};
  std::atomic<std::int64_t> openConnections_{0};
  // Per bucket, not cumulative: an observation adds to one bucket only. The rendering sums.
  std::array<Counter, kLatencyBounds.size() + 1> latencyBuckets_{};
  Counter latencySumNanoseconds_{0};
};

// The status of a response from its first bytes ("HTTP/1.1 200 OK..."): 0 when they do not
// begin with a status line, or begin with an interim (1xx) one.
unsigned FinalStatus(std::string_view response);

// A label value as the exposition format writes it between quotes: backslash, double quote
// and line feed escaped.
std::string EscapeLabelValue(std::string_view value);

}  // namespace orv::proxy
