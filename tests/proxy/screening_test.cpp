#include "proxy/screening.h"

#include <gtest/gtest.h>

#include <functional>

namespace orv::proxy {
namespace {

// Each test scripts what the engine does with each notification.
class ScriptedEngine final : public ScreeningEngine {
 public:
  std::function<void(filter::FilterHost&, std::uint32_t)> onFilter;
  std::function<void(filter::ExtensionHost&)> onExtension;
  std::vector<std::uint32_t> seen;

  std::uint32_t HttpFilterProc(filter::FilterHost& host, std::uint32_t type) override {
    seen.push_back(type);
    if (onFilter) onFilter(host, type);
    return filter::kStatusNextNotification;
  }
  std::uint32_t HttpExtensionProc(filter::ExtensionHost& host) override {
    seen.push_back(0);
    if (onExtension) {
      onExtension(host);
      return filter::kExtensionSuccess;
    }
    host.SetIoCompletion();
    host.ExecuteUrl();
    return filter::kExtensionPending;
  }
  void Reload() override {}
  void FlushLog() override {}
  bool FilteringOn() const override { return true; }
};

TEST(ScreenRequest, NotificationsInIisOrder) {
  ScriptedEngine engine;
  RequestFacts facts;
  facts.headers = {{"Accept-Encoding", "gzip"}};
  engine.onFilter = [](filter::FilterHost& host, std::uint32_t type) {
    if (type == filter::kNotifyPreprocHeaders) host.SetHeader("Accept-Encoding:", "    ");
  };
  RequestVerdict verdict = ScreenRequest(engine, facts);
  EXPECT_FALSE(verdict.blocked);
  EXPECT_EQ(engine.seen,
            (std::vector<std::uint32_t>{filter::kNotifyPreprocHeaders, filter::kNotifyUrlMap, 0}));
  EXPECT_EQ(facts.Header("Accept-Encoding"), "    ");
}

TEST(ScreenRequest, BlockPageFromUrlMapStopsThere) {
  ScriptedEngine engine;
  engine.onFilter = [](filter::FilterHost& host, std::uint32_t type) {
    if (type == filter::kNotifyUrlMap) host.WriteClient("<html>url</html>");
  };
  RequestFacts facts;
  RequestVerdict verdict = ScreenRequest(engine, facts);
  EXPECT_TRUE(verdict.blocked);
  EXPECT_EQ(verdict.blockBytes, "<html>url</html>");
  EXPECT_EQ(engine.seen.size(), 2u);  // the extension never ran
}

TEST(ScreenRequest, BodyBlockPage) {
  ScriptedEngine engine;
  engine.onExtension = [](filter::ExtensionHost& host) {
    if (host.AvailableData().find("bad") != std::string_view::npos) host.WriteClient("<p>no</p>");
  };
  RequestFacts facts;
  facts.method = "POST";
  facts.body = "x=bad";
  EXPECT_TRUE(ScreenRequest(engine, facts).blocked);
  facts.body = "x=good";
  EXPECT_FALSE(ScreenRequest(engine, facts).blocked);
}

TEST(ScreenChunk, ReadsTheEnginesDecision) {
  ScriptedEngine engine;
  RequestFacts facts;
  const std::string chunk = "HTTP/1.1 200 OK\r\n\r\nsome badword here";

  EXPECT_EQ(ScreenChunk(engine, facts, chunk).kind, ChunkVerdict::Kind::kPass);

  engine.onFilter = [](filter::FilterHost& host, std::uint32_t) {
    std::string copy(host.RawData());
    copy.replace(copy.find("badword"), 7, "*******");
    host.ReplaceRawData(copy);
  };
  ChunkVerdict rewritten = ScreenChunk(engine, facts, chunk);
  EXPECT_EQ(rewritten.kind, ChunkVerdict::Kind::kRewritten);
  EXPECT_EQ(rewritten.bytes, "HTTP/1.1 200 OK\r\n\r\nsome ******* here");

  engine.onFilter = [](filter::FilterHost& host, std::uint32_t) {
    host.ReplaceRawData("HTTP/1.1 200 OK\n\n<html>blocked</html>");
    host.SendResponseHeader("401 Access Denied");
  };
  ChunkVerdict denied = ScreenChunk(engine, facts, chunk);
  EXPECT_EQ(denied.kind, ChunkVerdict::Kind::kBlockPage);
  EXPECT_TRUE(denied.accessDenied);

  // A replacement of another length is a block page even without the status request.
  engine.onFilter = [](filter::FilterHost& host, std::uint32_t) { host.ReplaceRawData("x"); };
  EXPECT_EQ(ScreenChunk(engine, facts, chunk).kind, ChunkVerdict::Kind::kBlockPage);

  // The same length with the status request is a block page too.
  engine.onFilter = [&](filter::FilterHost& host, std::uint32_t) {
    host.ReplaceRawData(std::string(chunk.size(), 'z'));
    host.SendResponseHeader("401 Access Denied");
  };
  EXPECT_EQ(ScreenChunk(engine, facts, chunk).kind, ChunkVerdict::Kind::kBlockPage);

  // Asking for a status without a page changes nothing.
  engine.onFilter = [](filter::FilterHost& host, std::uint32_t) {
    host.SendResponseHeader("401 Access Denied");
  };
  ChunkVerdict statusOnly = ScreenChunk(engine, facts, chunk);
  EXPECT_EQ(statusOnly.kind, ChunkVerdict::Kind::kPass);
  EXPECT_FALSE(statusOnly.accessDenied);

  engine.onFilter = [](filter::FilterHost& host, std::uint32_t) { host.WriteClient("<list/>"); };
  ChunkVerdict listed = ScreenChunk(engine, facts, chunk);
  EXPECT_EQ(listed.kind, ChunkVerdict::Kind::kBlockPage);
  EXPECT_EQ(listed.bytes, "<list/>");
}

TEST(LogRequest, RaisesTheLogNotification) {
  ScriptedEngine engine;
  RequestFacts facts;
  LogRequest(engine, facts);
  EXPECT_EQ(engine.seen, std::vector<std::uint32_t>{filter::kNotifyLog});
}

}  // namespace
}  // namespace orv::proxy
