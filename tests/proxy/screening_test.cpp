#include "proxy/screening.h"

#include <gtest/gtest.h>

#include <functional>

namespace orv::proxy {
namespace {

// Each test scripts what the engine answers in each phase and sees what it was told.
class ScriptedEngine final : public ScreeningEngine {
 public:
  std::function<filter::RequestResult(const filter::RequestDescription&)> onRequest;
  std::function<filter::BodyResult(const filter::RequestDescription&)> onBody;
  std::function<filter::ChunkResult(std::string_view)> onChunk;
  std::vector<std::string> seen;

  filter::RequestResult RequestPhase(const filter::RequestDescription& request,
                                     filter::RequestMemo&) override {
    seen.push_back("request");
    return onRequest ? onRequest(request) : filter::RequestResult{};
  }
  filter::BodyResult BodyPhase(const filter::RequestDescription& request,
                               filter::RequestMemo&) override {
    seen.push_back("body");
    return onBody ? onBody(request) : filter::BodyResult{};
  }
  filter::ChunkResult ChunkPhase(const filter::RequestDescription&, std::string_view chunk,
                                 filter::RequestMemo&) override {
    seen.push_back("chunk");
    return onChunk ? onChunk(chunk) : filter::ChunkResult{};
  }
  void LoggedPhase(filter::RequestMemo&) override { seen.push_back("logged"); }
  filter::LoadOutcome Reload() override { return {}; }
  void FlushLog() override {}
  bool FilteringOn() const override { return true; }
};

filter::BlockPage Page(filter::BlockCause cause, std::string bytes) {
  return {cause, "403 Forbidden", std::move(bytes)};
}

TEST(ScreenRequest, PhasesInOrderAndEditsApplied) {
  ScriptedEngine engine;
  RequestFacts facts;
  facts.headers = {{"Accept-Encoding", "gzip"}, {"Range", "bytes=1-"}};
  engine.onRequest = [](const filter::RequestDescription&) {
    filter::RequestResult result;
    result.edits = {{"Accept-Encoding", "identity"}, {"Range", {}}};
    return result;
  };
  engine.onBody = [&](const filter::RequestDescription&) {
    // The body phase runs on the request as it now goes upstream.
    EXPECT_EQ(facts.Header("Accept-Encoding"), "identity");
    filter::BodyResult result;
    result.pass = filter::PassReason::kNotScreened;
    return result;
  };
  RequestVerdict verdict = ScreenRequest(engine, facts);
  EXPECT_FALSE(verdict.blocked);
  EXPECT_EQ(verdict.bodyPass, filter::PassReason::kNotScreened);
  EXPECT_EQ(engine.seen, (std::vector<std::string>{"request", "body"}));
  EXPECT_EQ(facts.Header("Range"), std::nullopt);
  EXPECT_EQ(facts.clientAcceptEncoding, "gzip");  // what the response may still be encoded in
}

TEST(ScreenRequest, AnEditWithALineBreakIsNotApplied) {
  ScriptedEngine engine;
  RequestFacts facts;
  engine.onRequest = [](const filter::RequestDescription&) {
    filter::RequestResult result;
    result.edits = {{"Accept-Encoding", "x\r\nInjected: 1"}};
    return result;
  };
  ScreenRequest(engine, facts);
  EXPECT_EQ(facts.Header("Injected"), std::nullopt);
  EXPECT_EQ(facts.Header("Accept-Encoding"), std::nullopt);
}

TEST(ScreenRequest, BlockCarriesItsCauseAndStopsThere) {
  ScriptedEngine engine;
  engine.onRequest = [](const filter::RequestDescription&) {
    filter::RequestResult result;
    result.action = filter::Action::kBlock;
    result.block = Page(filter::BlockCause::kIp, "<html>ip</html>");
    return result;
  };
  RequestFacts facts;
  RequestVerdict verdict = ScreenRequest(engine, facts);
  EXPECT_TRUE(verdict.blocked);
  EXPECT_EQ(verdict.cause, filter::BlockCause::kIp);
  EXPECT_EQ(verdict.blockBytes, "<html>ip</html>");
  EXPECT_EQ(engine.seen, std::vector<std::string>{"request"});  // the body phase never ran

  // A pass reason from the request phase reaches the verdict.
  engine.onRequest = [](const filter::RequestDescription&) {
    filter::RequestResult result;
    result.pass = filter::PassReason::kSafeCode;
    return result;
  };
  EXPECT_EQ(ScreenRequest(engine, facts).pass, filter::PassReason::kSafeCode);
}

TEST(ScreenRequest, BodyBlockPage) {
  ScriptedEngine engine;
  engine.onBody = [](const filter::RequestDescription& request) {
    filter::BodyResult result;
    if (request.body.find("bad") != std::string_view::npos) {
      result.action = filter::Action::kBlock;
      result.block = Page(filter::BlockCause::kBody, "<p>no</p>");
    }
    return result;
  };
  RequestFacts facts;
  facts.method = "POST";
  facts.body = "x=bad";
  const RequestVerdict blocked = ScreenRequest(engine, facts);
  EXPECT_TRUE(blocked.blocked);
  EXPECT_EQ(blocked.cause, filter::BlockCause::kBody);
  facts.body = "x=good";
  EXPECT_FALSE(ScreenRequest(engine, facts).blocked);
}

TEST(ScreenChunk, ReadsTheEnginesDecision) {
  ScriptedEngine engine;
  RequestFacts facts;
  const std::string chunk = "HTTP/1.1 200 OK\r\n\r\nsome badword here";

  engine.onChunk = [](std::string_view) {
    filter::ChunkResult result;
    result.pass = filter::PassReason::kBinary;
    return result;
  };
  const ChunkVerdict passed = ScreenChunk(engine, facts, chunk);
  EXPECT_EQ(passed.kind, ChunkVerdict::Kind::kPass);
  EXPECT_EQ(passed.pass, filter::PassReason::kBinary);

  engine.onChunk = [](std::string_view piece) {
    filter::ChunkResult result;
    result.action = filter::Action::kReplaceChunk;
    result.chunk = std::string(piece);
    result.chunk.replace(result.chunk.find("badword"), 7, "*******");
    result.wordsReplaced = 1;
    result.recorded = true;
    return result;
  };
  ChunkVerdict rewritten = ScreenChunk(engine, facts, chunk);
  EXPECT_EQ(rewritten.kind, ChunkVerdict::Kind::kRewritten);
  EXPECT_EQ(rewritten.bytes, "HTTP/1.1 200 OK\r\n\r\nsome ******* here");
  EXPECT_EQ(rewritten.wordsReplaced, 1u);
  EXPECT_TRUE(rewritten.recorded);

  engine.onChunk = [](std::string_view) {
    filter::ChunkResult result;
    result.action = filter::Action::kBlock;
    result.block = {filter::BlockCause::kKeyword, "401 Access Denied",
                    "HTTP/1.1 200 OK\n\n<html>blocked</html>"};
    return result;
  };
  ChunkVerdict denied = ScreenChunk(engine, facts, chunk);
  EXPECT_EQ(denied.kind, ChunkVerdict::Kind::kBlockPage);
  EXPECT_TRUE(denied.accessDenied);
  EXPECT_EQ(denied.cause, filter::BlockCause::kKeyword);

  // A rewrite of another length cannot go out in place: it ends the response instead.
  engine.onChunk = [](std::string_view) {
    filter::ChunkResult result;
    result.action = filter::Action::kReplaceChunk;
    result.chunk = "x";
    return result;
  };
  EXPECT_EQ(ScreenChunk(engine, facts, chunk).kind, ChunkVerdict::Kind::kBlockPage);

  // A list's page is no access denial.
  engine.onChunk = [](std::string_view) {
    filter::ChunkResult result;
    result.action = filter::Action::kBlock;
    result.block = Page(filter::BlockCause::kUrl, "<list/>");
    return result;
  };
  ChunkVerdict listed = ScreenChunk(engine, facts, chunk);
  EXPECT_EQ(listed.kind, ChunkVerdict::Kind::kBlockPage);
  EXPECT_FALSE(listed.accessDenied);
  EXPECT_EQ(listed.bytes, "<list/>");
}

TEST(LogRequest, RunsTheLoggedPhase) {
  ScriptedEngine engine;
  RequestFacts facts;
  LogRequest(engine, facts);
  EXPECT_EQ(engine.seen, std::vector<std::string>{"logged"});
}

}  // namespace
}  // namespace orv::proxy
