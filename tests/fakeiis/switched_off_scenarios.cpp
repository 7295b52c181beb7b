// The same fixture with the master switch off: the filter is loaded and answers, but
// changes nothing and hands every request on.
#include "gbk_samples.h"
#include "scenario.h"

namespace fakeiis {

std::vector<Scenario> SwitchedOffScenarios() {
  return {
      {"off-header-kept",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/index.htm");
         request.headers["accept-encoding:"] = "gzip, deflate";
         const DWORD result = Preproc(fixture, request);
         outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                        "result " + std::to_string(result));
         outcome.Expect(request.setHeaders.empty(), "header rewritten while off");
       }},
      {"off-blacklists-ignored",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/forbidden/report.htm", "", kBlackIp);
         const DWORD result = UrlMap(fixture, request);
         outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                        "result " + std::to_string(result));
         outcome.Expect(request.writeCalls == 0, "block page written while off");
       }},
      {"off-chunk-untouched",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/deny.htm");
         const std::string chunk = Response(
             "gb2312", std::string("<html><body>") + kDenyGbk + kReplaceGbk + "</body></html>");
         const DWORD result = SendRaw(fixture, request, chunk);
         outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                        "result " + std::to_string(result));
         outcome.Expect(request.RawChunkIsOriginal() && request.RawChunk() == chunk,
                        "chunk changed while off");
         outcome.Expect(request.responseStatuses.empty(), "status sent while off");
       }},
      {"off-post-handed-on",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/guestbook.asp", "", "192.0.2.10", "POST");
         request.body = std::string("text=") + kDenyPercentGbk;
         request.totalBytes = static_cast<DWORD>(request.body.size());
         const DWORD result = Extension(fixture, request);
         outcome.Expect(result == HSE_STATUS_PENDING, "result " + std::to_string(result));
         outcome.Expect(request.writeCalls == 0 && request.heads.empty(),
                        "block page sent while off");
         outcome.Expect(request.execUrlCalls == 1, "not handed on");
       }},
  };
}

}  // namespace fakeiis
