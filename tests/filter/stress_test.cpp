// Many requests at once while the settings are reloaded and the log is flushed: run under
// TSan this finds races; in every build it checks that no line of the log is torn.
// ORV_STRESS_SECONDS=N runs it longer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "filter/charset_cache.h"
#include "filter_test_support.h"

namespace orv::filter {
namespace {

using testing::ConfigFolder;
using testing::FakeClock;
using testing::GetRequest;
using testing::Page;
using testing::SendChunk;

std::chrono::milliseconds StressDuration() {
  if (const char* seconds = std::getenv("ORV_STRESS_SECONDS")) {
    return std::chrono::milliseconds(std::atoi(seconds) * 1000);
  }
  return std::chrono::milliseconds(1000);
}

TEST(Stress, ScreeningWhileReloadingAndFlushing) {
  ConfigFolder folder;
  folder.WriteSettings();
  folder.WriteKeywords("forbidden", "darn=heck", "watch");
  auto clock = std::make_shared<FakeClock>(testing::kTestStart);
  auto engine = testing::LoadEngine(folder, clock);

  std::atomic<bool> stop{false};
  std::atomic<int> failures{0};
  std::atomic<long> screened{0};

  auto screen = [&](int thread) {
    for (long i = 0; !stop; ++i) {
      const std::string path = "/t" + std::to_string(thread) + "/p" + std::to_string(i) + ".htm";
      MemoryRequest request = GetRequest(path);
      MemoryFilterHost headers(request);
      engine->HttpFilterProc(headers, kNotifyPreprocHeaders);
      engine->HttpFilterProc(headers, kNotifyUrlMap);

      const auto denied = SendChunk(*engine, request, Page("<html>a forbidden page"));
      if (!denied.replaced || denied.chunk.rfind("HTTP/1.1 200 OK\n", 0) != 0) ++failures;
      const std::string replacePage = Page("<html>oh darn, watch out");
      const auto replaced = SendChunk(*engine, request, replacePage);
      if (!replaced.replaced || replaced.chunk.size() != replacePage.size()) ++failures;

      MemoryExtensionHost body(request, "POST", "a=forbidden&n=" + std::to_string(i));
      if (engine->HttpExtensionProc(body) != kExtensionSuccess) ++failures;
      engine->HttpFilterProc(headers, kNotifyLog);
      ++screened;
    }
  };
  auto reload = [&] {
    for (int round = 0; !stop; ++round) {
      folder.WriteSettings({{"KeyIsShowWords", round % 2 ? "1" : "0"}});
      folder.WriteKeywords(round % 2 ? "forbidden@@other" : "forbidden", "darn=heck", "watch");
      engine->Reload();
      // Now and then an hour passes, so the log notifications reload too.
      if (round % 5 == 0) clock->Advance(3600);
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
  };
  auto flush = [&] {
    while (!stop) {
      engine->FlushLog();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  };

  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) threads.emplace_back(screen, t);
  threads.emplace_back(reload);
  threads.emplace_back(flush);
  std::this_thread::sleep_for(StressDuration());
  stop = true;
  for (auto& thread : threads) thread.join();
  engine.reset();

  EXPECT_EQ(failures.load(), 0);
  EXPECT_GT(screened.load(), 0);
  const auto lines = folder.LogLines();
  EXPECT_FALSE(lines.empty());
  for (const auto& line : lines) {
    ASSERT_EQ(testing::FieldCount(line), 7) << line;
  }
}

TEST(Stress, CharsetCacheUnderConcurrentFirstChunks) {
  CharsetCache cache;
  std::atomic<int> disagreements{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      // Every thread races for the same paths with a different first chunk; whichever is
      // stored first must be what everybody is told afterwards.
      const std::string first = t % 2 ? "http/1.1 200 ok charset=utf-8" : "http/1.1 200 ok";
      for (int i = 0; i < 700; ++i) {
        const std::string path = "h/" + std::to_string(i);
        cache.Lookup(path, first);
        const CharsetCode again = cache.Lookup(path, "later chunk");
        const CharsetCode onceMore = cache.Lookup(path, "later chunk");
        if (again != onceMore) ++disagreements;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(disagreements.load(), 0);
  EXPECT_EQ(cache.Size(), CharsetCache::kCapacity);
}

}  // namespace
}  // namespace orv::filter
