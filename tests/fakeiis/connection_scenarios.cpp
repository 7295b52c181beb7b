// What lasts longer than a request: a keep-alive connection that carries many rewritten and
// blocked pages, and a host that hands the filter's own block page back to it as raw data.
#include <algorithm>
#include <string>

#include "gbk_samples.h"
#include "scenario.h"

namespace fakeiis {
namespace {

constexpr int kRequestsPerConnection = 300;

// A page with the replace word at its end, padded to about `size` bytes.
std::string ReplacePage(std::size_t size) {
  std::string html = "<html><body><p>";
  html.append(size > html.size() ? size - html.size() : 0, 'w');
  html += kReplaceGbk;
  html += "</p></body></html>";
  return Response("gb2312", html);
}

std::string Starred(std::string chunk) {
  chunk.replace(chunk.rfind(kReplaceGbk), 4, "****");
  return chunk;
}

// Sends `chunk` as the next request on the connection and checks that it went out rewritten
// to `expected`; returns the failure, or empty.
std::string RewriteOnConnection(Fixture& fixture, FakeRequest& connection, int index,
                                const std::string& chunk, const std::string& expected) {
  SetRequest(connection, "/kept/" + std::to_string(index) + "/ads.htm");
  SendRaw(fixture, connection, chunk);
  if (!connection.RawChunkIsAllocated()) return "chunk " + std::to_string(index) + " not replaced";
  if (connection.RawChunk() != expected) return "chunk " + std::to_string(index) + " wrong";
  return {};
}

}  // namespace

std::vector<Scenario> ConnectionScenarios() {
  return {
      {"connection-memory-stays-bounded",
       [](Fixture& fixture, Outcome& outcome) {
         // IIS frees AllocMem memory only when the connection ends: what the filter takes per
         // chunk must not grow with the number of requests a kept-alive connection carries.
         FakeRequest connection;
         std::size_t largest = 0;
         std::string firstFailure;
         for (int i = 0; i < kRequestsPerConnection && firstFailure.empty(); ++i) {
           if (i % 2 == 0) {
             const std::string chunk = ReplacePage(200 + static_cast<std::size_t>(i) * 7);
             firstFailure = RewriteOnConnection(fixture, connection, i, chunk, Starred(chunk));
             largest = std::max(largest, chunk.size());
           } else {
             SetRequest(connection, "/kept/" + std::to_string(i) + "/deny.htm");
             SendRaw(fixture, connection,
                     Response("gb2312", std::string("<html><body>") + kDenyGbk + "</body></html>"));
             if (!Contains(connection.RawChunk(), kDenyStarredGbk)) {
               firstFailure = "chunk " + std::to_string(i) + " not blocked";
             }
             largest = std::max(largest, connection.RawChunk().size());
           }
         }
         outcome.Expect(firstFailure.empty(), firstFailure);
         const std::size_t live = connection.LiveAllocatedBytes();
         outcome.Expect(live <= 4 * largest + 16 * 1024,
                        std::to_string(live) + " bytes held after " +
                            std::to_string(kRequestsPerConnection) + " requests, largest chunk " +
                            std::to_string(largest));

         // A chunk larger than anything before grows the buffer; smaller ones after it, and a
         // smaller one right after a large one, come out whole and take nothing new.
         const std::string big = ReplacePage(200 * 1024);
         outcome.Expect(RewriteOnConnection(fixture, connection, 1000, big, Starred(big)).empty(),
                        "large chunk not rewritten");
         const std::size_t afterBig = connection.allocations.size();
         const std::string small = ReplacePage(50);
         outcome.Expect(
             RewriteOnConnection(fixture, connection, 1001, small, Starred(small)).empty(),
             "small chunk after a large one not rewritten whole");
         outcome.Expect(connection.allocations.size() == afterBig,
                        "a chunk that fits took new memory");
         outcome.Expect(connection.LiveAllocatedBytes() <= 4 * big.size() + 16 * 1024,
                        "growth is not bounded by the largest chunk");

         // A new connection starts with nothing of the old one.
         connection.EndNetSession();
         outcome.Expect(connection.FilterContext()->pFilterContext == nullptr,
                        "filter context kept past the connection");
         outcome.Expect(
             RewriteOnConnection(fixture, connection, 1002, small, Starred(small)).empty(),
             "first chunk of a new connection not rewritten");
       }},
      {"host-reenters-with-block-page",
       [](Fixture& fixture, Outcome& outcome) {
         // The URL and address block pages are written during URL mapping, or during the raw
         // data notification when a response comes without one; either may come back.
         struct Case {
           const char* name;
           bool rawData;
           const char* path;
           const char* ip;
         };
         const Case cases[] = {
             {"black URL at URL mapping", false, "/forbidden/again.htm", "192.0.2.10"},
             {"black address at URL mapping", false, "/news/index.htm", kBlackIp},
             {"black URL in raw data", true, "/forbidden/late-again.htm", "192.0.2.10"},
         };
         for (const Case& c : cases) {
           FakeRequest request;
           SetRequest(request, c.path, "", c.ip);
           request.reenterOnWrite = fixture.module.httpFilterProc;
           const DWORD result =
               c.rawData ? SendRaw(fixture, request, Response("gb2312", "<html>ok</html>"))
                         : UrlMap(fixture, request);
           const std::string why = std::string(c.name) + ": ";
           outcome.Expect(result == SF_STATUS_REQ_FINISHED,
                          why + "result " + std::to_string(result));
           outcome.Expect(request.writeCalls == 1,
                          why + std::to_string(request.writeCalls) + " pages written");
           outcome.Expect(request.deepestReentry == 1,
                          why + "re-entered " + std::to_string(request.deepestReentry) + " deep");
           outcome.Expect(request.reentryResults.size() == 1 &&
                              request.reentryResults[0] == SF_STATUS_REQ_NEXT_NOTIFICATION,
                          why + "the page's own raw data was not let through");
         }
         // Once the write is over, the connection and the thread are screened as before.
         FakeRequest request;
         request.reenterOnWrite = fixture.module.httpFilterProc;
         SetRequest(request, "/forbidden/first.htm");
         UrlMap(fixture, request);
         SetRequest(request, "/news/next.htm");
         SendRaw(fixture, request,
                 Response("gb2312", std::string("<html><body>") + kDenyGbk + "</body></html>"));
         outcome.Expect(Contains(request.RawChunk(), kDenyStarredGbk),
                        "the connection's next page was not screened");
       }},
  };
}

}  // namespace fakeiis
