// The spine: version calls, routing, the hourly reload and the orderly unload.
#include "filter/engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "filter/block_pages.h"
#include "filter/request_memo.h"
#include "filter_test_support.h"

namespace orv::filter {
namespace {

using testing::ConfigFolder;
using testing::FakeClock;
using testing::GetRequest;
using testing::Page;
using testing::SendChunk;

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.WriteSettings();
    folder.WriteKeywords("forbidden");
  }
  std::uint32_t Log(FilterEngine& engine) {
    MemoryRequest request = GetRequest("/a.htm");
    MemoryFilterHost host(request);
    return engine.HttpFilterProc(host, kNotifyLog);
  }
  bool Blocks(FilterEngine& engine, std::string_view word) {
    MemoryRequest request = GetRequest("/a.htm");
    return SendChunk(engine, request, Page(std::string("<html>") + std::string(word))).replaced;
  }

  ConfigFolder folder;
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(testing::kTestStart);
};

TEST_F(Engine, VersionCallsDescribeTheModule) {
  FilterEngine engine(folder.path(), clock);
  FilterVersion filter;
  EXPECT_TRUE(engine.GetFilterVersion(filter));
  EXPECT_EQ(filter.filterVersion, 0x40000u);
  EXPECT_EQ(filter.description, "OrvFilter Ver2.1");
  EXPECT_EQ(filter.flags, 0x00025600u);
  ExtensionVersion extension;
  EXPECT_TRUE(engine.GetExtensionVersion(extension));
  EXPECT_EQ(extension.extensionVersion, 0x00080000u);
  EXPECT_EQ(extension.description, "OrvFilter Extension");
  EXPECT_TRUE(engine.Settings()->enabled);
  EXPECT_TRUE(engine.TerminateExtension());
}

TEST_F(Engine, NothingIsScreenedBeforeALoad) {
  FilterEngine engine(folder.path(), clock);
  EXPECT_FALSE(engine.Settings()->enabled);
  EXPECT_FALSE(Blocks(engine, "forbidden"));
  // The engine's own block pages are in place before the first load.
  EXPECT_EQ(engine.Settings()->keywordBlockPage, KeywordBlockPageTemplate());
  EXPECT_NE(KeywordBlockPageTemplate().find("%user%"), std::string::npos);
  for (const std::string* page :
       {&UrlBlockPageTemplate(), &IpBlockPageTemplate(), &KeywordBlockPageTemplate()}) {
    EXPECT_NE(page->find("%ip%"), std::string::npos);
    EXPECT_NE(page->find("%url%"), std::string::npos);
    EXPECT_NE(page->find("%stop%"), std::string::npos);
  }
  EXPECT_NE(KeywordBlockPageTemplate().find("%key%"), std::string::npos);
  EXPECT_NE(KeywordBlockPageTemplate().find("%time%"), std::string::npos);
}

TEST_F(Engine, OtherNotificationsPassThrough) {
  auto engine = testing::LoadEngine(folder, clock);
  MemoryRequest request = GetRequest("/secret/a.htm");
  MemoryFilterHost host(request);
  for (std::uint32_t type : {kNotifyReadRawData, kNotifyAuthentication, kNotifyEndOfNetSession,
                             kNotifyEndOfRequest, 0x1u, 0xFFFFFFFFu}) {
    EXPECT_EQ(engine->HttpFilterProc(host, type), kStatusNextNotification);
  }
  EXPECT_TRUE(host.Written().empty());
}

TEST_F(Engine, ReloadsHourlyOnTheLogNotification) {
  auto engine = testing::LoadEngine(folder, clock);
  folder.WriteKeywords("newword");
  clock->Advance(3599);
  EXPECT_EQ(Log(*engine), kStatusNextNotification);
  EXPECT_FALSE(Blocks(*engine, "newword")) << "3599 s is not enough";
  clock->Advance(1);
  Log(*engine);
  EXPECT_TRUE(Blocks(*engine, "newword"));
  EXPECT_FALSE(Blocks(*engine, "forbidden"));
}

TEST_F(Engine, ClockSetBackAnHourAlsoReloads) {
  auto engine = testing::LoadEngine(folder, clock);
  folder.WriteKeywords("newword");
  clock->Advance(-3599);
  Log(*engine);
  EXPECT_FALSE(Blocks(*engine, "newword"));
  clock->Advance(-1);
  Log(*engine);
  EXPECT_TRUE(Blocks(*engine, "newword"));
}

TEST_F(Engine, SwitchedOffFilterNeverReloads) {
  folder.WriteSettings({{"KeyIsSystem", "0"}});
  auto engine = testing::LoadEngine(folder, clock);
  folder.WriteSettings();
  clock->Advance(7200);
  Log(*engine);
  EXPECT_FALSE(engine->Settings()->enabled) << "switching on needs the module loaded again";

  // A reload that switches the filter off keeps it off for good.
  auto running = testing::LoadEngine(folder, clock);
  folder.WriteSettings({{"KeyIsSystem", "0"}});
  clock->Advance(3600);
  Log(*running);
  EXPECT_FALSE(running->Settings()->enabled);
  folder.WriteSettings();
  clock->Advance(3600);
  Log(*running);
  EXPECT_FALSE(running->Settings()->enabled);
}

TEST_F(Engine, ExplicitReloadLoadsAtOnce) {
  folder.WriteSettings({{"KeyIsSystem", "0"}});
  auto engine = testing::LoadEngine(folder, clock);
  folder.WriteSettings();
  engine->Reload();
  EXPECT_TRUE(engine->Settings()->enabled);
}

TEST_F(Engine, UnloadWritesPendingLines) {
  {
    auto engine = testing::LoadEngine(folder, clock);
    EXPECT_TRUE(Blocks(*engine, "forbidden"));
    EXPECT_TRUE(folder.LogLines().empty());
  }
  EXPECT_EQ(folder.LogLines().size(), 1u);
}

TEST_F(Engine, MissingSettingsLeaveTheFilterOffAndOpen) {
  ConfigFolder empty;
  auto engine = testing::LoadEngine(empty, clock);
  EXPECT_FALSE(engine->Settings()->enabled);
  EXPECT_FALSE(Blocks(*engine, "forbidden"));
  MemoryRequest request = GetRequest("/a.htm");
  MemoryExtensionHost host(request, "POST", "forbidden");
  EXPECT_EQ(engine->HttpExtensionProc(host), kExtensionPending);
}

TEST_F(Engine, EveryDistinctBlockedPageLeavesALine) {
  {
    auto engine = testing::LoadEngine(folder, clock);
    for (int i = 0; i < 140; ++i) {
      MemoryRequest request = GetRequest("/page" + std::to_string(i) + ".htm");
      ASSERT_TRUE(SendChunk(*engine, request, Page("<html>forbidden")).replaced);
    }
  }
  EXPECT_EQ(folder.LogLines().size(), 140u);
}

// Waits (without a time limit of its own: the test runner's timeout catches a hang) until the
// upkeep thread has done what the test asked for.
template <typename Done>
void WaitFor(Done done) {
  while (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

TEST_F(Engine, UpkeepThreadReloadsAndWritesTheLog) {
  auto engine = testing::LoadEngine(folder, clock);
  engine->StartUpkeepThread();
  engine->StartUpkeepThread();  // a second call changes nothing

  // A due log notification only asks; the thread loads the new lists.
  folder.WriteKeywords("newword");
  clock->Advance(3600);
  EXPECT_EQ(Log(*engine), kStatusNextNotification);
  WaitFor([&] { return Blocks(*engine, "newword"); });
  EXPECT_EQ(folder.LogLines().size(), 0u) << "one line waits in memory";

  // A full batch is written by the thread once the next distinct line comes.
  for (int i = 0; i < 60; ++i) {
    MemoryRequest request = GetRequest("/p" + std::to_string(i) + ".htm");
    ASSERT_TRUE(SendChunk(*engine, request, Page("<html>newword")).replaced);
  }
  WaitFor([&] { return folder.LogLines().size() >= 51; });

  // The 300-second clock still applies, without any request asking.
  clock->Advance(300);
  WaitFor([&] { return folder.LogLines().size() == 61; });

  MemoryRequest last = GetRequest("/last.htm");
  ASSERT_TRUE(SendChunk(*engine, last, Page("<html>newword")).replaced);
  engine.reset();
  EXPECT_EQ(folder.LogLines().size(), 62u) << "the destructor writes what still waits";
}

// A host may keep the request-side outcome of the URL notification for the response chunks;
// a reload in between must not let a chunk be answered from it.
TEST_F(Engine, ARequestMemoHoldsOnlyForTheSettingsItWasMadeUnder) {
  auto engine = testing::LoadEngine(folder, clock);
  MemoryRequest request = GetRequest("/news/today.htm");
  RequestMemo memo;
  MemoryFilterHost url(request);
  url.memo = &memo;
  EXPECT_EQ(engine->HttpFilterProc(url, kNotifyUrlMap), kStatusNextNotification);
  EXPECT_EQ(memo.settingsSerial, engine->Settings()->serial);

  // Under the same record the memo answers: the request passes on to the keyword lists.
  MemoryFilterHost same(request);
  same.memo = &memo;
  same.SetRawData(Page("<html>forbidden"));
  engine->HttpFilterProc(same, kNotifySendRawData);
  EXPECT_TRUE(same.ChunkReplaced());
  EXPECT_EQ(same.Written(), "");

  // The next load black-lists the page's folder; its chunks now get the URL block page.
  folder.WriteSettings({{"KeyHeiUrl", "/news/"}});
  engine->Reload();
  MemoryFilterHost raw(request);
  raw.memo = &memo;
  raw.SetRawData(Page("<html>harmless"));
  EXPECT_EQ(engine->HttpFilterProc(raw, kNotifySendRawData), kStatusFinished);
  EXPECT_NE(raw.Written(), "");
}

}  // namespace
}  // namespace orv::filter
