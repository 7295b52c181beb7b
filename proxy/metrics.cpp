#include "proxy/metrics.h"

#include <charconv>
#include <initializer_list>
#include <utility>

namespace orv::proxy {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

constexpr std::array<std::string_view, 6> kResponseClasses{"1xx", "2xx", "3xx",
                                                           "4xx", "5xx", "other"};
constexpr std::array<std::string_view, kBlockCauses> kBlockCauseNames{"url", "ip", "keyword",
                                                                      "body"};
constexpr std::array<std::string_view, kPassReasons> kPassReasonNames{
    "switched_off", "safe_code", "white_list", "unmonitored_type", "binary",
    "undecodable",  "free_word", "no_body",    "screened"};
constexpr std::array<std::string_view, kUpstreamErrors> kUpstreamErrorNames{
    "connect", "timeout", "closed", "bad_response", "tls"};
constexpr std::array<std::string_view, 2> kReloadOutcomeNames{"ok", "failed"};
// The bucket bounds as the scraper reads them, in seconds.
constexpr std::array<std::string_view, kLatencyBounds.size()> kLatencyBoundNames{
    "0.0005", "0.001", "0.0025", "0.005", "0.01", "0.025", "0.05",
    "0.1",    "0.25",  "0.5",    "1",     "2.5",  "5",     "10"};

std::size_t ResponseClass(unsigned status) {
  return status >= 100 && status < 600 ? status / 100 - 1 : kResponseClasses.size() - 1;
}

template <typename Number>
void AppendNumber(std::string& out, Number value) {
  char digits[32];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  if (ec == std::errc()) out.append(digits, end);
}

class Exposition {
 public:
  void Family(std::string_view name, std::string_view type, std::string_view help) {
    out_.append("# HELP ").append(name).append(" ").append(help).append("\n");
    out_.append("# TYPE ").append(name).append(" ").append(type).append("\n");
  }
  template <typename Number>
  void Sample(std::string_view name, Number value) {
    out_.append(name).append(" ");
    AppendNumber(out_, value);
    out_.append("\n");
  }
  template <typename Number>
  void Sample(std::string_view name, std::string_view label, std::string_view labelValue,
              Number value) {
    out_.append(name).append("{").append(label).append("=\"");
    out_.append(EscapeLabelValue(labelValue)).append("\"} ");
    AppendNumber(out_, value);
    out_.append("\n");
  }
  // One sample per label value, in the order of the names.
  template <std::size_t N>
  void Labelled(std::string_view name, std::string_view label,
                const std::array<std::string_view, N>& values,
                const std::array<std::atomic<std::uint64_t>, N>& counters) {
    for (std::size_t i = 0; i < N; ++i) Sample(name, label, values[i], counters[i].load(kRelaxed));
  }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace

ProxyMetrics::ProxyMetrics(std::chrono::system_clock::time_point started)
    : startedSeconds_(std::chrono::duration<double>(started.time_since_epoch()).count()) {}

void ProxyMetrics::CountRequest() {
  requests_.fetch_add(1, kRelaxed);
}

void ProxyMetrics::CountResponse(unsigned status, std::chrono::nanoseconds latency) {
  responses_[ResponseClass(status)].fetch_add(1, kRelaxed);
  const std::uint64_t nanoseconds =
      latency.count() > 0 ? static_cast<std::uint64_t>(latency.count()) : 0;
  std::size_t bucket = 0;
  while (bucket < kLatencyBounds.size() && nanoseconds > kLatencyBounds[bucket]) ++bucket;
  latencyBuckets_[bucket].fetch_add(1, kRelaxed);
  latencySumNanoseconds_.fetch_add(nanoseconds, kRelaxed);
}

void ProxyMetrics::CountBlock(BlockCause cause) {
  blocks_[static_cast<std::size_t>(cause)].fetch_add(1, kRelaxed);
}

void ProxyMetrics::CountReplacement(std::uint64_t words) {
  replacedChunks_.fetch_add(1, kRelaxed);
  replacedWords_.fetch_add(words, kRelaxed);
}

void ProxyMetrics::CountRecord() {
  records_.fetch_add(1, kRelaxed);
}

void ProxyMetrics::CountPass(PassReason reason) {
  passes_[static_cast<std::size_t>(reason)].fetch_add(1, kRelaxed);
}

void ProxyMetrics::CountRefusal() {
  refusals_.fetch_add(1, kRelaxed);
}

void ProxyMetrics::CountUpstreamError(UpstreamError kind) {
  upstreamErrors_[static_cast<std::size_t>(kind)].fetch_add(1, kRelaxed);
}

void ProxyMetrics::CountReload(ReloadOutcome outcome) {
  reloads_[static_cast<std::size_t>(outcome)].fetch_add(1, kRelaxed);
}

void ProxyMetrics::ConnectionOpened() {
  openConnections_.fetch_add(1, kRelaxed);
}

void ProxyMetrics::ConnectionClosed() {
  openConnections_.fetch_sub(1, kRelaxed);
}

std::string ProxyMetrics::Render() const {
  Exposition text;
  text.Family("orvproxy_requests_total", "counter", "Requests read and answered.");
  text.Sample("orvproxy_requests_total", requests_.load(kRelaxed));
  text.Family("orvproxy_responses_total", "counter", "Responses sent whole, by status class.");
  text.Labelled("orvproxy_responses_total", "class", kResponseClasses, responses_);

  text.Family("orvproxy_blocks_total", "counter",
              "Requests refused and responses replaced by a block page, by cause.");
  text.Labelled("orvproxy_blocks_total", "cause", kBlockCauseNames, blocks_);
  text.Family("orvproxy_replaced_chunks_total", "counter",
              "Response chunks in which replace words were overwritten.");
  text.Sample("orvproxy_replaced_chunks_total", replacedChunks_.load(kRelaxed));
  text.Family("orvproxy_replaced_words_total", "counter", "Replace words overwritten.");
  text.Sample("orvproxy_replaced_words_total", replacedWords_.load(kRelaxed));
  text.Family("orvproxy_records_total", "counter", "Record events written.");
  text.Sample("orvproxy_records_total", records_.load(kRelaxed));
  text.Family("orvproxy_passes_total", "counter", "Responses passed unchanged, by reason.");
  text.Labelled("orvproxy_passes_total", "reason", kPassReasonNames, passes_);
  text.Family("orvproxy_refusals_total", "counter",
              "Responses refused with 502 because the screen could not read them.");
  text.Sample("orvproxy_refusals_total", refusals_.load(kRelaxed));

  text.Family("orvproxy_upstream_errors_total", "counter", "Upstream failures, by kind.");
  text.Labelled("orvproxy_upstream_errors_total", "kind", kUpstreamErrorNames, upstreamErrors_);
  text.Family("orvproxy_reloads_total", "counter", "Settings reloads, by outcome.");
  text.Labelled("orvproxy_reloads_total", "outcome", kReloadOutcomeNames, reloads_);

  // Each bucket is read once; the count is the sum of what was read, so that +Inf and
  // _count agree even while requests finish during the scrape.
  text.Family("orvproxy_request_duration_seconds", "histogram",
              "Time from a request's head to its response's last byte, in seconds.");
  std::uint64_t cumulative = 0;
  for (std::size_t i = 0; i < latencyBuckets_.size(); ++i) {
    cumulative += latencyBuckets_[i].load(kRelaxed);
    const std::string_view bound = i < kLatencyBoundNames.size() ? kLatencyBoundNames[i] : "+Inf";
    text.Sample("orvproxy_request_duration_seconds_bucket", "le", bound, cumulative);
  }
  text.Sample("orvproxy_request_duration_seconds_sum",
              static_cast<double>(latencySumNanoseconds_.load(kRelaxed)) / 1e9);
  text.Sample("orvproxy_request_duration_seconds_count", cumulative);

  text.Family("orvproxy_open_connections", "gauge", "Client connections open now.");
  text.Sample("orvproxy_open_connections", openConnections_.load(kRelaxed));
  text.Family("orvproxy_start_time_seconds", "gauge",
              "When the process started, in seconds since the Unix epoch.");
  text.Sample("orvproxy_start_time_seconds", startedSeconds_);
  return text.Take();
}

unsigned FinalStatus(std::string_view response) {
  // "HTTP/1.1 " or "HTTP/1.0 ", then three digits and a space or the line's end.
  if (response.size() < 12 || response.substr(0, 5) != "HTTP/" || response[8] != ' ') return 0;
  unsigned status = 0;
  for (std::size_t i = 9; i < 12; ++i) {
    if (response[i] < '0' || response[i] > '9') return 0;
    status = status * 10 + static_cast<unsigned>(response[i] - '0');
  }
  if (response.size() > 12 && response[12] != ' ' && response[12] != '\r') return 0;
  return status >= 200 ? status : 0;
}

std::string EscapeLabelValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '"')
      out += "\\\"";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

}  // namespace orv::proxy
