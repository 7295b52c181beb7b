// The phase calls as a host other than IIS makes them: what each result says to do, and why.
#include "filter/phases.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "filter_test_support.h"

namespace orv::filter {
namespace {

using testing::ConfigFolder;
using testing::FakeClock;

// A GET of www.example.com/PATH?QUERY from 192.0.2.7, described as a host would.
struct Described {
  std::string url;
  std::string siteUrl;
  std::string query;
  std::string address = "192.0.2.7";
  std::string method = "GET";
  std::string body;
  RequestFields fields;

  explicit Described(std::string_view path, std::string_view queryText = {})
      : url(SiteUrlWithQuery("www.example.com", "80", path, queryText)),
        siteUrl(SiteUrl("www.example.com", "80", path)),
        query(queryText) {}

  RequestDescription Get() const {
    RequestDescription request;
    request.method = method;
    request.url = url;
    request.siteUrl = siteUrl;
    request.query = query;
    request.clientAddress = address;
    request.userAgent = "Mozilla/5.0";
    request.fields = fields;
    request.body = body;
    request.declaredBodyLength = body.size();
    return request;
  }
};

class Phases : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.WriteKeywords("forbidden", "darn=heck@@drat=dang", "watch", "freepass");
    Load();
  }
  void Load(const std::map<std::string, std::string>& overrides = {}) {
    folder.WriteSettings(overrides);
    engine = std::make_unique<FilterEngine>(folder.path(), clock);
    EXPECT_TRUE(engine->Start().ok);
  }
  ChunkResult Chunk(const Described& request, std::string_view chunk) {
    RequestMemo memo;
    return engine->ChunkPhase(request.Get(), chunk, &memo);
  }

  ConfigFolder folder;
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(testing::kTestStart);
  std::unique_ptr<FilterEngine> engine;
};

TEST_F(Phases, EachBlockNamesItsCause) {
  RequestMemo memo;
  const RequestResult url = engine->RequestPhase(Described("/secret/a.htm").Get(), &memo);
  EXPECT_EQ(url.action, Action::kBlock);
  EXPECT_EQ(url.block.cause, BlockCause::kUrl);
  EXPECT_EQ(url.block.status, "403 Forbidden");
  EXPECT_NE(url.block.bytes.find("www.example.com/secret/a.htm"), std::string::npos);

  Described fromBlackIp("/a.htm");
  fromBlackIp.address = "10.9.9.9";
  RequestMemo ipMemo;
  const RequestResult ip = engine->RequestPhase(fromBlackIp.Get(), &ipMemo);
  EXPECT_EQ(ip.action, Action::kBlock);
  EXPECT_EQ(ip.block.cause, BlockCause::kIp);

  const ChunkResult keyword = Chunk(Described("/a.htm"), testing::Page("a forbidden word"));
  EXPECT_EQ(keyword.action, Action::kBlock);
  EXPECT_EQ(keyword.block.cause, BlockCause::kKeyword);
  EXPECT_EQ(keyword.block.status, "401 Access Denied");
  EXPECT_EQ(keyword.block.bytes.rfind("HTTP/1.1 200 OK", 0), 0u) << "a whole response";

  Described post("/form.asp");
  post.method = "POST";
  post.body = "text=forbidden";
  RequestMemo postMemo;
  EXPECT_EQ(engine->RequestPhase(post.Get(), &postMemo).action, Action::kContinue)
      << "a POST's lists wait for its body";
  const BodyResult body = engine->BodyPhase(post.Get(), &postMemo);
  EXPECT_EQ(body.action, Action::kBlock);
  EXPECT_EQ(body.block.cause, BlockCause::kBody);
  EXPECT_EQ(body.block.status, "403 Forbidden");
}

TEST_F(Phases, EachPassNamesItsReason) {
  RequestMemo memo;
  EXPECT_EQ(engine->RequestPhase(Described("/admin/a.htm").Get(), &memo).pass,
            PassReason::kWhiteList);
  RequestMemo typeMemo;
  EXPECT_EQ(engine->RequestPhase(Described("/pic.jpg").Get(), &typeMemo).pass,
            PassReason::kUnmonitoredType);
  RequestMemo safeMemo;
  const Described safe("/secret/a.htm", "x=SAFECODE9");
  const RequestResult safeResult = engine->RequestPhase(safe.Get(), &safeMemo);
  EXPECT_EQ(safeResult.action, Action::kContinue) << "the safe code passes the black list";
  EXPECT_EQ(safeResult.pass, PassReason::kSafeCode);
  // The memo keeps the outcome for the response's chunks.
  EXPECT_EQ(engine->ChunkPhase(safe.Get(), testing::Page("forbidden"), &safeMemo).pass,
            PassReason::kSafeCode);

  const Described page("/a.htm");
  EXPECT_EQ(Chunk(page, testing::Page("nothing here")).pass, PassReason::kScreened);
  EXPECT_EQ(Chunk(page, testing::Page("forbidden freepass")).pass, PassReason::kFreeWord);
  EXPECT_EQ(Chunk(page, std::string("GIF89a\0forbidden", 16)).pass, PassReason::kBinary);
  EXPECT_EQ(Chunk(Described("/admin/a.htm"), testing::Page("forbidden")).pass,
            PassReason::kWhiteList);

  Described get("/a.htm");
  RequestMemo getMemo;
  EXPECT_EQ(engine->BodyPhase(get.Get(), &getMemo).pass, PassReason::kNotScreened);
  get.method = "POST";
  get.body = "text=fine";
  EXPECT_EQ(engine->BodyPhase(get.Get(), &getMemo).pass, PassReason::kScreened);

  Load({{"KeyIsSystem", "0"}});
  RequestMemo offMemo;
  EXPECT_EQ(engine->RequestPhase(Described("/secret/a.htm").Get(), &offMemo).pass,
            PassReason::kSwitchedOff);
  EXPECT_EQ(Chunk(page, testing::Page("forbidden")).pass, PassReason::kSwitchedOff);
  EXPECT_EQ(engine->BodyPhase(get.Get(), &offMemo).pass, PassReason::kSwitchedOff);
}

TEST_F(Phases, ReplacedChunkKeepsItsLengthAndCountsItsWords) {
  const std::string page = testing::Page("darn it, drat, and watch out");
  const ChunkResult result = Chunk(Described("/a.htm"), page);
  EXPECT_EQ(result.action, Action::kReplaceChunk);
  EXPECT_EQ(result.chunk.size(), page.size());
  EXPECT_NE(result.chunk.find("heck it, dang,"), std::string::npos);
  EXPECT_EQ(result.wordsReplaced, 2u);
  EXPECT_TRUE(result.recorded);
  EXPECT_EQ(result.pass, PassReason::kNone);

  const ChunkResult recordOnly = Chunk(Described("/b.htm"), testing::Page("watch this"));
  EXPECT_EQ(recordOnly.action, Action::kContinue);
  EXPECT_TRUE(recordOnly.recorded);
  EXPECT_EQ(recordOnly.pass, PassReason::kScreened);
  engine->FlushLog();
  bool logged = false;
  for (const std::string& line : folder.LogLines()) {
    logged |= line.find("watch") != std::string::npos && line.find("/b.htm") != std::string::npos;
  }
  EXPECT_TRUE(logged);
}

TEST_F(Phases, HeaderEditsAreWhatTheHostMustApply) {
  Described page("/a.htm");
  page.fields.hasAcceptEncoding = true;
  page.fields.acceptEncoding = "gzip, identity";
  page.fields.hasRange = true;
  page.fields.hasRequestRange = true;
  RequestMemo memo;
  const RequestResult result = engine->RequestPhase(page.Get(), &memo);
  ASSERT_EQ(result.edits.size(), 3u);
  EXPECT_EQ(result.edits[0].name, "Accept-Encoding");
  EXPECT_EQ(result.edits[0].value, "      identity");
  EXPECT_EQ(result.edits[1].name, "Range");
  EXPECT_EQ(result.edits[1].value, "");
  EXPECT_EQ(result.edits[2].name, "Request-Range");

  // An offer the host could not read is replaced whole; a white-listed page keeps its fields.
  page.fields = {};
  page.fields.hasAcceptEncoding = true;
  page.fields.acceptEncodingUnread = true;
  RequestMemo unreadMemo;
  const RequestResult unread = engine->RequestPhase(page.Get(), &unreadMemo);
  ASSERT_EQ(unread.edits.size(), 1u);
  EXPECT_EQ(unread.edits[0].value, "identity");
  Described admin("/admin/");
  admin.fields = page.fields;
  RequestMemo adminMemo;
  EXPECT_TRUE(engine->RequestPhase(admin.Get(), &adminMemo).edits.empty());
}

TEST_F(Phases, LoadsSayWhyTheyFailed) {
  EXPECT_TRUE(engine->Health().lastLoad.ok);
  EXPECT_EQ(engine->Health().failedLoads, 0u);

  std::filesystem::remove(folder.path() + "OrvFilter.db");
  LoadOutcome outcome = engine->Reload();
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.reason, "OrvFilter.db: cannot open: No such file or directory");
  // The filter goes on, failing open, and the host can read why.
  EXPECT_TRUE(engine->Settings()->enabled);
  EXPECT_EQ(engine->Health().lastLoad.reason, outcome.reason);
  EXPECT_EQ(engine->Health().failedLoads, 1u);

  std::filesystem::remove(folder.path() + "OrvFilter.ini");
  outcome = engine->Reload();
  EXPECT_EQ(outcome.reason, "OrvFilter.ini: cannot open: No such file or directory");

  // A switched-off filter needs no database.
  folder.WriteSettings({{"KeyIsSystem", "0"}});
  EXPECT_TRUE(engine->Reload().ok);

  FilterEngine nowhere("", clock);
  EXPECT_FALSE(nowhere.Start().ok);
  EXPECT_EQ(nowhere.Health().lastLoad.reason, "OrvFilter.ini: no folder to read it from");
  FilterEngine missing(folder.path() + "no-such-folder/", clock);
  EXPECT_EQ(missing.Start().reason, "OrvFilter.ini: cannot open: No such file or directory");
}

// The IIS notifications are the phases carried out with the host's operations: the bytes the
// memory host receives are the ones the phase results hold.
TEST_F(Phases, TheIsapiMappingWritesWhatThePhasesDecide) {
  MemoryRequest blocked = testing::GetRequest("/secret/a.htm");
  MemoryFilterHost host(blocked);
  EXPECT_EQ(engine->HttpFilterProc(host, kNotifyUrlMap), kStatusFinished);
  RequestDescription request;
  const std::string url = "www.example.com/secret/a.htm";
  request.url = url;
  request.clientAddress = "192.0.2.7";
  request.userAgent = blocked.variables["HTTP_USER_AGENT"];
  EXPECT_EQ(host.Written(),
            engine->RequestPhase(request, nullptr, RequestSteps::kLists).block.bytes);

  MemoryRequest page = testing::GetRequest("/a.htm");
  const std::string chunk = testing::Page("darn, forbidden");
  const testing::ChunkResult sent = testing::SendChunk(*engine, page, chunk);
  request.url = "www.example.com/a.htm";
  const ChunkResult phase = engine->ChunkPhase(request, chunk, nullptr);
  EXPECT_EQ(sent.chunk, phase.block.bytes);
  EXPECT_EQ(sent.statuses, std::vector<std::string>{"401 Access Denied"});
}

TEST_F(Phases, AFailingPhaseIsCountedAndLetsTheRequestGoOn) {
  // A host that throws from inside its reads: the mapping fails open and counts it.
  class ThrowingHost final : public FilterHost {
   public:
    bool GetServerVariable(const char*, std::size_t, std::string&) override {
      throw std::runtime_error("host gone");
    }
    bool WriteClient(std::string_view) override { return true; }
    bool GetHeader(const char*, std::size_t, std::string&) override { return false; }
    bool SetHeader(const char*, std::string_view) override { return true; }
    std::string_view RawData() override { return "HTTP/1.1 200 OK\r\n\r\nforbidden"; }
    bool ReplaceRawData(std::string_view) override { return true; }
    bool SendResponseHeader(std::string_view) override { return true; }
  } host;
  EXPECT_EQ(engine->HttpFilterProc(host, kNotifySendRawData), kStatusNextNotification);
  EXPECT_EQ(engine->HttpFilterProc(host, kNotifyUrlMap), kStatusNextNotification);
  EXPECT_EQ(engine->Health().swallowedChunk, 1u);
  EXPECT_EQ(engine->Health().swallowedRequest, 1u);
}

}  // namespace
}  // namespace orv::filter
