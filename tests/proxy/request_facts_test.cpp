#include "proxy/request_facts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "proxy/screening.h"

namespace orv::proxy {
namespace {

RequestFacts SampleFacts() {
  RequestFacts facts;
  facts.method = "GET";
  facts.url = "/news/a.html";
  facts.query = "id=1";
  facts.remoteAddr = "192.0.2.7";
  facts.serverName = "example.com";
  facts.serverPort = "80";
  facts.headers = {
      {"Host", "example.com"},         {"Accept-Encoding", "gzip, deflate"},
      {"X-Forwarded-For", "10.0.0.1"}, {"x-forwarded-for", "10.0.0.2"},
      {"X-Rewrite-URL", "/admin/"},    {"User-Agent", "Mozilla/4.0 (compatible; MSIE 6.0)"},
      {"Accept-Language", "zh"},       {"accept-language", "en"}};
  return facts;
}

// Captures the description each phase is given.
class DescriptionProbe final : public ScreeningEngine {
 public:
  struct Told {
    std::string method, url, siteUrl, query, clientAddress, userAgent, body;
    bool hasAcceptEncoding = false;
    std::string acceptEncoding;
    bool hasRange = false, hasIfRange = false, hasRequestRange = false;
    std::uint64_t declaredBodyLength = 0;
  };
  std::vector<Told> told;

  filter::RequestResult RequestPhase(const filter::RequestDescription& request,
                                     filter::RequestMemo&) override {
    Keep(request);
    return {};
  }
  filter::BodyResult BodyPhase(const filter::RequestDescription& request,
                               filter::RequestMemo&) override {
    Keep(request);
    return {};
  }
  filter::ChunkResult ChunkPhase(const filter::RequestDescription& request, std::string_view,
                                 filter::RequestMemo&) override {
    Keep(request);
    return {};
  }
  void LoggedPhase(filter::RequestMemo&) override {}
  filter::LoadOutcome Reload() override { return {}; }
  void FlushLog() override {}
  bool FilteringOn() const override { return true; }

 private:
  void Keep(const filter::RequestDescription& request) {
    Told t;
    t.method = request.method;
    t.url = request.url;
    t.siteUrl = request.siteUrl;
    t.query = request.query;
    t.clientAddress = request.clientAddress;
    t.userAgent = request.userAgent;
    t.body = request.body;
    t.hasAcceptEncoding = request.fields.hasAcceptEncoding;
    t.acceptEncoding = request.fields.acceptEncoding;
    t.hasRange = request.fields.hasRange;
    t.hasIfRange = request.fields.hasIfRange;
    t.hasRequestRange = request.fields.hasRequestRange;
    t.declaredBodyLength = request.declaredBodyLength;
    told.push_back(std::move(t));
  }
};

TEST(EngineDescription, TheRequestAsTheListsSpellIt) {
  RequestFacts facts = SampleFacts();
  DescriptionProbe engine;
  ScreenRequest(engine, facts);
  ASSERT_EQ(engine.told.size(), 2u);  // request and body phases
  const DescriptionProbe::Told& told = engine.told[0];
  EXPECT_EQ(told.method, "GET");
  EXPECT_EQ(told.url, "example.com/news/a.html?id=1");  // port 80 left out
  EXPECT_EQ(told.siteUrl, "example.com/news/a.html");
  EXPECT_EQ(told.query, "id=1");
  EXPECT_EQ(told.userAgent, "Mozilla/4.0 (compatible; MSIE 6.0)");
  EXPECT_TRUE(told.hasAcceptEncoding);
  EXPECT_EQ(told.acceptEncoding, "gzip, deflate");
  EXPECT_FALSE(told.hasRange);

  // Another port is named; repeated fields are joined, whatever their case.
  facts.serverPort = "8080";
  facts.query.clear();
  facts.headers.push_back({"accept-encoding", "br"});
  facts.headers.push_back({"If-Range", "x"});
  engine.told.clear();
  ScreenChunk(engine, facts, "HTTP/1.1 200 OK\r\n\r\n");
  ASSERT_EQ(engine.told.size(), 1u);
  EXPECT_EQ(engine.told[0].url, "example.com:8080/news/a.html");
  EXPECT_EQ(engine.told[0].siteUrl, "example.com:8080/news/a.html");
  EXPECT_EQ(engine.told[0].acceptEncoding, "gzip, deflate, br");
  EXPECT_TRUE(engine.told[0].hasIfRange);
}

TEST(EngineDescription, ClientCannotNameItsOwnAddressOrUrl) {
  // Via with X-Forwarded-For, and X-Rewrite-URL, are the client's word: the engine is told the
  // address orvproxy determined and the URL the upstream serves.
  RequestFacts facts = SampleFacts();
  facts.headers.push_back({"Via", "1.1 cache"});
  DescriptionProbe engine;
  ScreenRequest(engine, facts);
  ASSERT_FALSE(engine.told.empty());
  EXPECT_EQ(engine.told[0].clientAddress, "192.0.2.7");
  EXPECT_EQ(engine.told[0].url.find("admin"), std::string::npos);
}

TEST(EngineDescription, BodyAndItsDeclaredLengthUncut) {
  RequestFacts facts = SampleFacts();
  facts.method = "POST";
  facts.body = "a=1";
  facts.totalBytes = std::uint64_t{1} << 40;
  DescriptionProbe engine;
  ScreenRequest(engine, facts);
  ASSERT_EQ(engine.told.size(), 2u);
  EXPECT_EQ(engine.told[1].method, "POST");
  EXPECT_EQ(engine.told[1].body, "a=1");
  EXPECT_EQ(engine.told[1].declaredBodyLength, std::uint64_t{1} << 40);
}

TEST(RequestFacts, SetHeaderCollapsesRepeatsAndAdds) {
  RequestFacts facts = SampleFacts();
  facts.SetHeader("X-FORWARDED-FOR", "10.9.9.9");
  EXPECT_EQ(facts.Header("X-Forwarded-For"), "10.9.9.9");
  facts.SetHeader("X-New", "1");
  EXPECT_EQ(facts.Header("x-new"), "1");
  EXPECT_EQ(facts.editedHeaders.size(), 2u);
}

TEST(RequestFacts, EmptyValueRemovesTheField) {
  RequestFacts facts = SampleFacts();
  facts.headers.push_back({"Range", "bytes=0-10"});
  facts.headers.push_back({"range", "bytes=20-"});
  facts.SetHeader("Range", "");
  EXPECT_EQ(facts.Header("Range"), std::nullopt);
  // Still recorded, so that the field is taken off the request that goes upstream too.
  ASSERT_EQ(facts.editedHeaders.size(), 1u);
  EXPECT_EQ(facts.editedHeaders[0], "Range");
  // Removing what is absent is no error and records the name once.
  facts.SetHeader("If-Range", "");
  facts.SetHeader("if-range", "");
  EXPECT_EQ(facts.editedHeaders.size(), 2u);
  EXPECT_EQ(facts.Header("Host"), "example.com");
}

}  // namespace
}  // namespace orv::proxy
