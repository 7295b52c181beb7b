// IIS calls the filter on many worker threads at once. Several threads run the same mix of
// requests; each must get exactly the answer it gets alone.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "gbk_samples.h"
#include "scenario.h"

namespace fakeiis {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 150;
// Paths per thread. Each distinct path gives distinct events, and the event log keeps at most
// 50 lines waiting (further ones are dropped until a flush): 4 x 3 paths x 2 events leaves
// room for the events the later scenarios check on disk.
constexpr int kPaths = 3;

// One round of four requests; returns what went wrong, or empty.
std::string OneRound(Fixture& fixture, int thread, int round) {
  const std::string tag = "/t" + std::to_string(thread) + "/r" + std::to_string(round % kPaths);
  {
    FakeRequest request;
    SetRequest(request, tag + "/deny.htm");
    const std::string chunk =
        Response("gb2312", std::string("<html><body>") + kDenyGbk + "</body></html>");
    SendRaw(fixture, request, chunk);
    if (request.responseStatuses.size() != 1 || !Contains(request.RawChunk(), kDenyStarredGbk)) {
      return "deny chunk not blocked on " + tag;
    }
  }
  {
    FakeRequest request;
    SetRequest(request, tag + "/ads.htm");
    const std::string chunk =
        Response("gb2312", std::string("<html><body>") + kReplaceGbk + "</body></html>");
    SendRaw(fixture, request, chunk);
    std::string expected = chunk;
    expected.replace(expected.find(kReplaceGbk), 4, "****");
    if (request.RawChunk() != expected) return "replacement wrong on " + tag;
  }
  {
    FakeRequest request;
    SetRequest(request, tag + "/index.htm");
    request.headers["accept-encoding:"] = "gzip, deflate";
    Preproc(fixture, request);
    if (request.setHeaders.size() != 1) return "header not rewritten on " + tag;
  }
  {
    FakeRequest request;
    SetRequest(request, tag + "/index.htm");
    const DWORD result = Extension(fixture, request);
    if (result != HSE_STATUS_PENDING || !request.CompleteExecUrl()) {
      return "request not handed on at " + tag;
    }
  }
  return {};
}

}  // namespace

std::vector<Scenario> ConcurrencyScenarios() {
  return {
      {"concurrent-requests",
       [](Fixture& fixture, Outcome& outcome) {
         std::atomic<int> failures{0};
         std::vector<std::string> firstFailure(kThreads);
         std::vector<std::thread> threads;
         for (int thread = 0; thread < kThreads; ++thread) {
           threads.emplace_back([&, thread] {
             for (int round = 0; round < kRounds; ++round) {
               std::string failure = OneRound(fixture, thread, round);
               if (!failure.empty()) {
                 if (firstFailure[thread].empty()) firstFailure[thread] = failure;
                 ++failures;
               }
             }
           });
         }
         for (std::thread& thread : threads) thread.join();
         for (const std::string& failure : firstFailure) {
           outcome.Expect(failure.empty(), failure);
         }
         outcome.Expect(failures.load() == 0, std::to_string(failures.load()) + " failed rounds");
       }},
  };
}

}  // namespace fakeiis
