#include "proxy/metrics.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "proxy/metrics_endpoint.h"

namespace orv::proxy {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// The samples of an exposition, keyed by name and labels as written ("a_total{k=\"v\"}").
// Fails the test on a line that is not a comment or a well-formed sample, or on a sample whose
// family was not declared by a TYPE line before it.
std::map<std::string, double> Samples(const std::string& text) {
  static const std::regex kSample(
      R"(^([a-zA-Z_:][a-zA-Z0-9_:]*)(\{[a-zA-Z_][a-zA-Z0-9_]*="(?:[^"\\\n]|\\[\\"n])*"\})? (\S+)$)");
  static const std::regex kType(R"(^# TYPE ([a-zA-Z_:][a-zA-Z0-9_:]*) (counter|gauge|histogram)$)");
  std::map<std::string, double> samples;
  std::set<std::string> families;
  std::istringstream lines(text);
  std::string line;
  EXPECT_TRUE(!text.empty() && text.back() == '\n');
  while (std::getline(lines, line)) {
    std::smatch match;
    if (std::regex_match(line, match, kType)) {
      EXPECT_TRUE(families.insert(match[1]).second) << "declared twice: " << line;
      continue;
    }
    if (line.rfind("# HELP ", 0) == 0) continue;
    if (!std::regex_match(line, match, kSample)) {
      ADD_FAILURE() << "not a sample: " << line;
      continue;
    }
    std::string family = match[1];
    for (std::string_view suffix : {"_bucket", "_sum", "_count"})
      if (!families.count(family) && family.ends_with(suffix))
        family.resize(family.size() - suffix.size());
    EXPECT_TRUE(families.count(family)) << "no TYPE before " << line;
    const std::string key = std::string(match[1]) + std::string(match[2]);
    EXPECT_TRUE(samples.emplace(key, std::stod(match[3])).second) << "repeated: " << line;
  }
  return samples;
}

TEST(ProxyMetrics, FreshRegistryShowsEveryFamilyAtZero) {
  const ProxyMetrics metrics(std::chrono::system_clock::time_point(std::chrono::seconds(1700)));
  const std::map<std::string, double> samples = Samples(metrics.Render());
  // A scraper sees each label value from the start, so that a rate over a new one is not lost.
  for (const char* key :
       {"orvproxy_requests_total", "orvproxy_responses_total{class=\"5xx\"}",
        "orvproxy_blocks_total{cause=\"url\"}", "orvproxy_blocks_total{cause=\"body\"}",
        "orvproxy_replaced_chunks_total", "orvproxy_replaced_words_total", "orvproxy_records_total",
        "orvproxy_passes_total{reason=\"switched_off\"}",
        "orvproxy_passes_total{reason=\"screened\"}",
        "orvproxy_upstream_errors_total{kind=\"connect\"}",
        "orvproxy_upstream_errors_total{kind=\"tls\"}", "orvproxy_reloads_total{outcome=\"ok\"}",
        "orvproxy_reloads_total{outcome=\"failed\"}",
        "orvproxy_request_duration_seconds_bucket{le=\"+Inf\"}",
        "orvproxy_request_duration_seconds_sum", "orvproxy_request_duration_seconds_count",
        "orvproxy_open_connections"}) {
    ASSERT_TRUE(samples.count(key)) << key;
    EXPECT_EQ(samples.at(key), 0) << key;
  }
  EXPECT_EQ(samples.at("orvproxy_start_time_seconds"), 1700);
}

TEST(ProxyMetrics, CountsLandOnTheirOwnLabel) {
  ProxyMetrics metrics;
  metrics.CountBlock(BlockCause::kKeyword);
  metrics.CountBlock(BlockCause::kKeyword);
  metrics.CountBlock(BlockCause::kIp);
  metrics.CountPass(PassReason::kUnmonitoredType);
  metrics.CountPass(PassReason::kUndecodable);
  metrics.CountReplacement(3);
  metrics.CountReplacement(1);
  metrics.CountRecord();
  metrics.CountUpstreamError(UpstreamError::kBadResponse);
  metrics.CountUpstreamError(UpstreamError::kTimeout);
  metrics.CountReload(ReloadOutcome::kFailed);
  metrics.ConnectionOpened();
  metrics.ConnectionOpened();
  metrics.ConnectionClosed();
  metrics.CountRequest();
  for (unsigned status : {200u, 204u, 301u, 404u, 502u, 504u, 199u, 700u})
    metrics.CountResponse(status, milliseconds(1));

  std::map<std::string, double> s = Samples(metrics.Render());
  EXPECT_EQ(s["orvproxy_blocks_total{cause=\"keyword\"}"], 2);
  EXPECT_EQ(s["orvproxy_blocks_total{cause=\"ip\"}"], 1);
  EXPECT_EQ(s["orvproxy_blocks_total{cause=\"url\"}"], 0);
  EXPECT_EQ(s["orvproxy_passes_total{reason=\"unmonitored_type\"}"], 1);
  EXPECT_EQ(s["orvproxy_passes_total{reason=\"undecodable\"}"], 1);
  EXPECT_EQ(s["orvproxy_passes_total{reason=\"binary\"}"], 0);
  EXPECT_EQ(s["orvproxy_replaced_chunks_total"], 2);
  EXPECT_EQ(s["orvproxy_replaced_words_total"], 4);
  EXPECT_EQ(s["orvproxy_records_total"], 1);
  EXPECT_EQ(s["orvproxy_upstream_errors_total{kind=\"bad_response\"}"], 1);
  EXPECT_EQ(s["orvproxy_upstream_errors_total{kind=\"timeout\"}"], 1);
  EXPECT_EQ(s["orvproxy_upstream_errors_total{kind=\"closed\"}"], 0);
  EXPECT_EQ(s["orvproxy_reloads_total{outcome=\"failed\"}"], 1);
  EXPECT_EQ(s["orvproxy_reloads_total{outcome=\"ok\"}"], 0);
  EXPECT_EQ(s["orvproxy_open_connections"], 1);
  EXPECT_EQ(s["orvproxy_requests_total"], 1);
  EXPECT_EQ(s["orvproxy_responses_total{class=\"1xx\"}"], 1);
  EXPECT_EQ(s["orvproxy_responses_total{class=\"2xx\"}"], 2);
  EXPECT_EQ(s["orvproxy_responses_total{class=\"3xx\"}"], 1);
  EXPECT_EQ(s["orvproxy_responses_total{class=\"4xx\"}"], 1);
  EXPECT_EQ(s["orvproxy_responses_total{class=\"5xx\"}"], 2);
  EXPECT_EQ(s["orvproxy_responses_total{class=\"other\"}"], 1);
}

TEST(ProxyMetrics, LatencyHistogramIsCumulativeWithBoundsInclusive) {
  ProxyMetrics metrics;
  metrics.CountResponse(200, nanoseconds(500'000));      // exactly 0.5 ms: the first bucket
  metrics.CountResponse(200, nanoseconds(500'001));      // just above: the second
  metrics.CountResponse(200, milliseconds(30));          // 0.05
  metrics.CountResponse(200, std::chrono::seconds(10));  // the last finite bound
  metrics.CountResponse(200, std::chrono::seconds(11));  // +Inf only
  metrics.CountResponse(200, nanoseconds(-5));           // a clock step back counts as 0

  std::map<std::string, double> s = Samples(metrics.Render());
  auto bucket = [&s](const char* le) {
    return s.at(std::string("orvproxy_request_duration_seconds_bucket{le=\"") + le + "\"}");
  };
  EXPECT_EQ(bucket("0.0005"), 2);
  EXPECT_EQ(bucket("0.001"), 3);
  EXPECT_EQ(bucket("0.025"), 3);
  EXPECT_EQ(bucket("0.05"), 4);
  EXPECT_EQ(bucket("5"), 4);
  EXPECT_EQ(bucket("10"), 5);
  EXPECT_EQ(bucket("+Inf"), 6);
  EXPECT_EQ(s.at("orvproxy_request_duration_seconds_count"), 6);
  EXPECT_NEAR(s.at("orvproxy_request_duration_seconds_sum"), 21.031000001, 1e-9);

  // Buckets in ascending order of their bounds, never falling.
  const std::string text = metrics.Render();
  double last = -1;
  std::size_t buckets = 0;
  for (std::size_t at = text.find("_bucket{"); at != std::string::npos;
       at = text.find("_bucket{", at + 1)) {
    const double value = std::stod(text.substr(text.find("} ", at) + 2));
    EXPECT_GE(value, last);
    last = value;
    ++buckets;
  }
  EXPECT_EQ(buckets, kLatencyBounds.size() + 1);
}

TEST(ProxyMetrics, CountsFromManyThreadsAreNotLost) {
  ProxyMetrics metrics;
  constexpr int kThreads = 4;
  constexpr int kEach = 20000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&metrics, t] {
      for (int i = 0; i < kEach; ++i) {
        metrics.CountRequest();
        metrics.CountResponse(200 + 100 * (i % 4), nanoseconds(i * 1000));
        metrics.CountBlock(static_cast<BlockCause>(t % 4));
        metrics.ConnectionOpened();
        metrics.ConnectionClosed();
      }
    });
  }
  // Scrapes while the counts go on are well-formed, and each value only grows.
  double requests = 0;
  for (int i = 0; i < 20; ++i) {
    std::map<std::string, double> s = Samples(metrics.Render());
    EXPECT_GE(s["orvproxy_requests_total"], requests);
    requests = s["orvproxy_requests_total"];
    EXPECT_EQ(s["orvproxy_request_duration_seconds_bucket{le=\"+Inf\"}"],
              s["orvproxy_request_duration_seconds_count"]);
  }
  for (std::thread& thread : threads) thread.join();
  std::map<std::string, double> s = Samples(metrics.Render());
  EXPECT_EQ(s["orvproxy_requests_total"], kThreads * kEach);
  EXPECT_EQ(s["orvproxy_responses_total{class=\"5xx\"}"], kThreads * kEach / 4);
  EXPECT_EQ(s["orvproxy_request_duration_seconds_count"], kThreads * kEach);
  EXPECT_EQ(s["orvproxy_blocks_total{cause=\"url\"}"], kEach);
  EXPECT_EQ(s["orvproxy_open_connections"], 0);
}

TEST(ProxyMetrics, LabelValuesAreEscaped) {
  EXPECT_EQ(EscapeLabelValue("plain/path 1.0"), "plain/path 1.0");
  EXPECT_EQ(EscapeLabelValue(R"(C:\dir "x")"), R"(C:\\dir \"x\")");
  EXPECT_EQ(EscapeLabelValue("a\nb"), "a\\nb");
  EXPECT_EQ(EscapeLabelValue("\xe6\x8b\xa6"), "\xe6\x8b\xa6");  // UTF-8 passes as it is
}

TEST(ProxyMetrics, FinalStatusOfWrittenResponses) {
  EXPECT_EQ(FinalStatus("HTTP/1.1 200 OK\r\n\r\n"), 200u);
  EXPECT_EQ(FinalStatus("HTTP/1.0 404 Not Found\r\n"), 404u);
  EXPECT_EQ(FinalStatus("HTTP/1.1 502\r\n"), 502u);
  EXPECT_EQ(FinalStatus("HTTP/1.1 100 Continue\r\n\r\n"), 0u);  // interim: not the answer
  EXPECT_EQ(FinalStatus("data: two\n\n"), 0u);                  // a later piece of a body
  EXPECT_EQ(FinalStatus("HTTP/1.1 2000 OK\r\n"), 0u);
  EXPECT_EQ(FinalStatus("HTTP/1.1 20"), 0u);
  EXPECT_EQ(FinalStatus(""), 0u);
}

TEST(MetricsReply, OnlyMetricsPathAnswersCounters) {
  ProxyMetrics metrics;
  metrics.CountRequest();
  const std::string get = MetricsReply("GET", "/metrics", true, metrics);
  EXPECT_EQ(get.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << get;
  EXPECT_NE(get.find("Content-Type: text/plain; version=0.0.4"), std::string::npos);
  EXPECT_EQ(get.find("Connection: close"), std::string::npos);
  const std::string body = get.substr(get.find("\r\n\r\n") + 4);
  EXPECT_NE(body.find("orvproxy_requests_total 1\n"), std::string::npos);
  EXPECT_NE(get.find("Content-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos);

  // HEAD: the same head, no body.
  const std::string head = MetricsReply("HEAD", "/metrics", true, metrics);
  EXPECT_EQ(head, get.substr(0, get.find("\r\n\r\n") + 4));
  // A query string is the scraper's own business.
  EXPECT_EQ(MetricsReply("GET", "/metrics?name[]=x", false, metrics).rfind("HTTP/1.1 200", 0), 0u);

  for (auto [method, target] :
       std::vector<std::pair<const char*, const char*>>{{"GET", "/"},
                                                        {"GET", "/metrics/"},
                                                        {"GET", "/metricsx"},
                                                        {"GET", "/METRICS"},
                                                        {"POST", "/metrics"},
                                                        {"GET", "http://host/metrics"},
                                                        {"GET", "*"}}) {
    const std::string reply = MetricsReply(method, target, false, metrics);
    EXPECT_EQ(reply.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u) << method << " " << target;
    EXPECT_NE(reply.find("Connection: close\r\n"), std::string::npos);
    EXPECT_EQ(reply.find("orvproxy_"), std::string::npos) << method << " " << target;
  }
}

}  // namespace
}  // namespace orv::proxy
