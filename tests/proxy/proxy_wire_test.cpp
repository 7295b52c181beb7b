// What reaches the engine and the upstream when real bytes come in over a socket.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>

#include "filter/host.h"
#include "tests/proxy/proxy_harness.h"

namespace orv::proxy {
namespace {

using testing::FakeUpstream;
using testing::FieldValue;
using testing::RunningProxy;
using testing::UpstreamOptions;

// Records what the engine is told of each request; takes Range off every request, as the
// engine does for pages it screens. Reload waits until the test lets it finish.
class RecordingEngine final : public ScreeningEngine {
 public:
  struct Seen {
    std::string siteUrl, clientAddress;
  };

  filter::RequestResult RequestPhase(const filter::RequestDescription& request,
                                     filter::RequestMemo&) override {
    {
      std::lock_guard lock(mutex_);
      seen_.push_back({std::string(request.siteUrl), std::string(request.clientAddress)});
    }
    filter::RequestResult result;
    result.edits = {{"Range", {}}, {"If-Range", {}}};
    return result;
  }
  filter::BodyResult BodyPhase(const filter::RequestDescription&, filter::RequestMemo&) override {
    return {};
  }
  filter::ChunkResult ChunkPhase(const filter::RequestDescription&, std::string_view,
                                 filter::RequestMemo&) override {
    return {};
  }
  void LoggedPhase(filter::RequestMemo&) override {}
  filter::LoadOutcome Reload() override {
    std::unique_lock lock(mutex_);
    reloading_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return releaseReload_; });
    reloading_ = false;
    ++reloads_;
    changed_.notify_all();
    return {};
  }
  void FlushLog() override {}
  bool FilteringOn() const override { return true; }

  std::vector<Seen> SeenRequests() {
    std::lock_guard lock(mutex_);
    return seen_;
  }
  void AwaitReloadStarted() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return reloading_; });
  }
  void FinishReloads() {
    std::unique_lock lock(mutex_);
    releaseReload_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return reloads_ > 0 && !reloading_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Seen> seen_;
  bool reloading_ = false;
  bool releaseReload_ = false;
  int reloads_ = 0;
};

std::string StatusOf(const std::string& reply) {
  return reply.substr(0, reply.find("\r\n"));
}

class ProxyWire : public ::testing::Test {
 protected:
  RecordingEngine engine_;
};

TEST_F(ProxyWire, TargetsAndHostsReadTwoWaysAreRefusedBeforeAnyoneSeesThem) {
  FakeUpstream upstream;
  RunningProxy proxy(UpstreamOptions(upstream), engine_);
  ASSERT_TRUE(proxy.Listening());
  for (const char* request : {
           "GET /blocked/#/../.. HTTP/1.1\r\nHost: a\r\n\r\n",
           "GET /page.html;.jpg HTTP/1.1\r\nHost: a\r\n\r\n",
           "GET /a%2fb HTTP/1.1\r\nHost: a\r\n\r\n",
           "GET /a\\b HTTP/1.1\r\nHost: a\r\n\r\n",
           "GET / HTTP/1.1\r\n\r\n",
           "GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n",
           "GET / HTTP/1.1\r\nHost: a\r\nHost: a\r\n\r\n",
           "GET / HTTP/1.1\r\nHost: name?\r\n\r\n",
           "GET / HTTP/1.1\r\nHost: a@b\r\n\r\n",
           "GET / HTTP/1.1\r\nHost: a:\r\n\r\n",
           "GET / HTTP/1.0\r\nHost: a/b\r\n\r\n",
           "GET http://other.example/ HTTP/1.1\r\nHost: site.example\r\n\r\n",
           "GET http://u@site.example/ HTTP/1.1\r\nHost: site.example\r\n\r\n",
           "GET * HTTP/1.1\r\nHost: a\r\n\r\n",
           "CONNECT /x HTTP/1.1\r\nHost: a\r\n\r\n",
       }) {
    EXPECT_EQ(StatusOf(proxy.Exchange(request)), "HTTP/1.1 400 Bad Request") << request;
  }
  EXPECT_TRUE(engine_.SeenRequests().empty());
  EXPECT_TRUE(upstream.Requests().empty());

  // Accepted: the engine reads what the upstream will serve, with the host as it compares.
  std::string reply = proxy.Exchange(
      "GET http://Site.Example.:080//blocked//a.html HTTP/1.1\r\nHost: site.example\r\n"
      "Connection: close\r\n\r\n");
  EXPECT_EQ(StatusOf(reply), "HTTP/1.1 200 OK");
  ASSERT_EQ(engine_.SeenRequests().size(), 1u);
  // Host "site.example", port 80 (which the URL leaves out), the resolved path.
  EXPECT_EQ(engine_.SeenRequests()[0].siteUrl, "site.example/blocked/a.html");
  ASSERT_EQ(upstream.Requests().size(), 1u);
  EXPECT_EQ(upstream.Requests()[0].head.substr(0, 50),
            "GET http://Site.Example.:080//blocked//a.html HTTP");
}

TEST_F(ProxyWire, ForwardedForIsBelievedOnlyFromTrustedProxies) {
  FakeUpstream upstream;
  const std::string forged =
      "GET / HTTP/1.1\r\nHost: a\r\nVia: 1.1 cache\r\nX-Forwarded-For: 10.0.0.1\r\n"
      "Connection: close\r\n\r\n";
  {
    RunningProxy proxy(UpstreamOptions(upstream), engine_);
    ASSERT_EQ(StatusOf(proxy.Exchange(forged)), "HTTP/1.1 200 OK");
  }
  ProxyOptions options = UpstreamOptions(upstream);
  options.trustedProxies.push_back(*ParseAddressBlock("127.0.0.0/8"));
  {
    RunningProxy proxy(options, engine_);
    ASSERT_EQ(StatusOf(proxy.Exchange("GET / HTTP/1.1\r\nHost: a\r\n"
                                      "X-Forwarded-For: 10.0.0.1, 203.0.113.9\r\n"
                                      "X-Forwarded-For: 127.0.0.5\r\nConnection: close\r\n\r\n")),
              "HTTP/1.1 200 OK");
  }
  const auto seen = engine_.SeenRequests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].clientAddress, "127.0.0.1");
  EXPECT_EQ(seen[1].clientAddress, "203.0.113.9");

  // The upstream learns the whole chain with the real peer appended.
  const auto received = upstream.Requests();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(FieldValue(received[0].head, "X-Forwarded-For"), "10.0.0.1, 127.0.0.1");
  EXPECT_EQ(FieldValue(received[1].head, "X-Forwarded-For"),
            "10.0.0.1, 203.0.113.9, 127.0.0.5, 127.0.0.1");
  EXPECT_EQ(FieldValue(received[0].head, "Via"), "1.1 cache");
}

TEST_F(ProxyWire, ChunkedBodiesKeepTheirFramingSmallAndTheirTrailersToThemselves) {
  FakeUpstream upstream;
  RunningProxy proxy(UpstreamOptions(upstream), engine_);
  const std::string head =
      "POST /form.php HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n"
      "\r\n";
  std::string reply = proxy.Exchange(head +
                                     "3;name=value\r\nabc\r\n2\r\nde\r\n0\r\n"
                                     "X-Injected: 1\r\nRange: bytes=0-0\r\nHost: evil\r\n\r\n");
  EXPECT_EQ(StatusOf(reply), "HTTP/1.1 200 OK");
  auto received = upstream.Requests();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].body, "abcde");
  EXPECT_EQ(FieldValue(received[0].head, "Content-Length"), "5");
  EXPECT_EQ(FieldValue(received[0].head, "X-Injected"), "");
  EXPECT_EQ(FieldValue(received[0].head, "Range"), "");
  EXPECT_EQ(FieldValue(received[0].head, "Host"), "a");
  EXPECT_EQ(received[0].head.find("evil"), std::string::npos);

  std::string manyFields;
  for (int i = 0; i < 40; ++i) manyFields += "X-T" + std::to_string(i) + ": 1\r\n";
  for (const std::string& body : {
           "1;" + std::string(300, 'x') + "\r\na\r\n0\r\n\r\n",  // one extension
           [] {                                                  // all of them
             std::string chunks;
             for (int i = 0; i < 40; ++i) chunks += "1;" + std::string(200, 'x') + "\r\na\r\n";
             return chunks + "0\r\n\r\n";
           }(),
           "1;" + std::string(40000, 'x'),            // endless line
           "0\r\nX-Big: " + std::string(40000, 'x'),  // endless trailer
           "0\r\n" + manyFields + "\r\n",             // many fields
       }) {
    EXPECT_EQ(StatusOf(proxy.Exchange(head + body)), "HTTP/1.1 400 Bad Request")
        << body.substr(0, 40);
  }
  EXPECT_EQ(upstream.Requests().size(), 1u);
}

TEST_F(ProxyWire, RangeTakenOffByTheEngineNeverReachesTheUpstream) {
  FakeUpstream upstream;
  RunningProxy proxy(UpstreamOptions(upstream), engine_);
  proxy.Exchange(
      "GET /a.html HTTP/1.1\r\nHost: a\r\nRange: bytes=0-1\r\nIf-Range: \"x\"\r\n"
      "Connection: close\r\n\r\n");
  auto received = upstream.Requests();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].head.find("Range"), std::string::npos) << received[0].head;
}

TEST_F(ProxyWire, OnlyIdempotentRequestsGoOnKeptConnections) {
  // Each upstream connection answers one request and drops the next after reading it.
  FakeUpstream upstream(1);
  RunningProxy proxy(UpstreamOptions(upstream), engine_);
  std::string reply = proxy.Exchange(
      "GET /1 HTTP/1.1\r\nHost: a\r\n\r\n"
      "POST /2 HTTP/1.1\r\nHost: a\r\nContent-Length: 3\r\n\r\nabc"
      "GET /3 HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n");
  std::size_t answered = 0;
  for (std::size_t at = 0; (at = reply.find("HTTP/1.1 200 OK", at)) != std::string::npos; ++at)
    ++answered;
  EXPECT_EQ(answered, 3u) << reply;
  int posts = 0;
  for (const auto& request : upstream.Requests())
    if (request.head.rfind("POST", 0) == 0) ++posts;
  // A POST the upstream read and dropped would be done twice if it were sent again.
  EXPECT_EQ(posts, 1);
}

TEST_F(ProxyWire, ConnectionsBeyondTheLimitAreClosedAtOnce) {
  FakeUpstream upstream;
  ProxyOptions options = UpstreamOptions(upstream);
  options.maxConnections = 2;
  RunningProxy proxy(options, engine_);
  const std::string_view get = "GET / HTTP/1.1\r\nHost: a\r\n\r\n";
  std::string pending, head, body;
  auto first = proxy.Connect();
  auto second = proxy.Connect();
  for (auto* socket : {&first, &second}) {
    boost::asio::write(*socket, boost::asio::buffer(get));
    ASSERT_TRUE(testing::ReadMessage(*socket, pending, head, body));
  }
  auto third = proxy.Connect();
  boost::system::error_code ec;
  boost::asio::write(third, boost::asio::buffer(get), ec);
  EXPECT_FALSE(testing::ReadMessage(third, pending, head, body));

  // Once one leaves, a new connection is served again (when the proxy has seen it go).
  first.close();
  bool served = false;
  for (int attempt = 0; attempt < 200 && !served; ++attempt) {
    served = StatusOf(proxy.Exchange("GET / HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n")) ==
             "HTTP/1.1 200 OK";
    if (!served) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(served);
}

TEST_F(ProxyWire, ReloadLeavesTheEventLoopServing) {
  FakeUpstream upstream;
  RunningProxy proxy(UpstreamOptions(upstream), engine_);  // one event loop
  proxy.Server().Reload();
  engine_.AwaitReloadStarted();
  // Were the reload on the loop, this request would wait for it.
  EXPECT_EQ(StatusOf(proxy.Exchange("GET / HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n")),
            "HTTP/1.1 200 OK");
  engine_.FinishReloads();
}

}  // namespace
}  // namespace orv::proxy
