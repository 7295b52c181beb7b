// The raw-data notification: each response chunk passes, is rewritten in place, or is
// replaced by the keyword block page.
#include <string>

#include "gbk_samples.h"
#include "scenario.h"

namespace fakeiis {
namespace {

constexpr char kGbkMeta[] =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">";
constexpr char kUtf8Meta[] =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";

std::string HeaderTemplate(const std::string& charset, std::size_t bodyLength) {
  return "HTTP/1.1 200 OK\nDate:Sun, -- --- 0000 00:00:00 GMT \nServer:Microsoft-IIS/0.0 "
         "\nContent-Length: " +
         std::to_string(bodyLength) + " \nContent-Type: text/html;charset=" + charset +
         "\nCache-control: private\n\n";
}

void ExpectUntouched(Outcome& outcome, DWORD result, const FakeRequest& request,
                     const std::string& chunk) {
  outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION, "result " + std::to_string(result));
  outcome.Expect(request.RawChunkIsOriginal(), "chunk pointer was replaced");
  outcome.Expect(request.RawChunk() == chunk, "chunk bytes changed");
  outcome.Expect(request.writeCalls == 0, "something was written");
  outcome.Expect(request.responseStatuses.empty(), "a status was sent");
}

// A deny keyword in the first chunk: the chunk becomes the header template of the page's
// charset and the block page, and IIS is asked for "401 Access Denied".
void ExpectKeywordBlock(Outcome& outcome, DWORD result, const FakeRequest& request,
                        const std::string& charset, const std::string& meta,
                        const std::string& starred) {
  outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION, "result " + std::to_string(result));
  outcome.Expect(
      request.responseStatuses.size() == 1 && request.responseStatuses[0] == "401 Access Denied",
      std::to_string(request.responseStatuses.size()) + " statuses sent");
  outcome.Expect(request.writeCalls == 0, "block page written instead of replacing the chunk");
  outcome.Expect(!request.RawChunkIsOriginal(), "chunk was not replaced");
  outcome.Expect(request.RawChunkIsAllocated(), "replacement not in AllocMem memory");
  const std::string chunk = request.RawChunk();
  const std::size_t headEnd = chunk.find("\n\n");
  if (headEnd == std::string::npos) {
    outcome.Expect(false, "no header template in '" + Printable(chunk) + "'");
    return;
  }
  const std::string body = chunk.substr(headEnd + 2);
  outcome.Expect(chunk.substr(0, headEnd + 2) == HeaderTemplate(charset, body.size()),
                 "header '" + Printable(chunk.substr(0, headEnd + 2)) + "'");
  outcome.Expect(body.rfind(meta, 0) == 0, "body does not open with the meta tag");
  outcome.Expect(Contains(body, starred), "body lacks the starred keyword");
  outcome.Expect(Contains(body, "192.0.2.10"), "body lacks the client address");
  outcome.Expect(!Contains(body, "%key%") && !Contains(body, "%time%"), "placeholder left");
}

}  // namespace

std::vector<Scenario> ResponseScenarios() {
  return {
      {"pass",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/plain.htm");
         const std::string chunk =
             Response("gb2312", "<html><body><p>Weather: sunny.</p></body></html>");
         ExpectUntouched(outcome, SendRaw(fixture, request, chunk), request, chunk);
       }},
      {"keyword-block-gbk",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/deny-gbk.htm");
         const std::string chunk = Response(
             "gb2312", std::string("<html><body><p>") + kDenyGbk + " online</p></body></html>");
         ExpectKeywordBlock(outcome, SendRaw(fixture, request, chunk), request, "gb2312", kGbkMeta,
                            kDenyStarredGbk);
       }},
      {"keyword-block-utf8",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/deny-utf8.htm");
         const std::string chunk = Response(
             "utf-8", std::string("<html><body><p>") + kDenyUtf8 + " online</p></body></html>");
         ExpectKeywordBlock(outcome, SendRaw(fixture, request, chunk), request, "utf-8", kUtf8Meta,
                            kDenyStarredUtf8);
       }},
      {"keyword-block-later-chunk",
       [](Fixture& fixture, Outcome& outcome) {
         // A chunk without a status line is not a response start: the block page goes in
         // without a header template.
         FakeRequest request;
         SetRequest(request, "/news/later.htm");
         const std::string chunk = std::string("<div><p>more about ") + kDenyGbk + "</p>";
         const DWORD result = SendRaw(fixture, request, chunk);
         outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                        "result " + std::to_string(result));
         outcome.Expect(request.RawChunkIsAllocated(), "chunk was not replaced");
         const std::string replaced = request.RawChunk();
         outcome.Expect(replaced.rfind("HTTP/", 0) != 0, "a later chunk got a header");
         outcome.Expect(Contains(replaced, kDenyStarredGbk),
                        "block page lacks the starred keyword");
         outcome.Expect(request.responseStatuses.size() == 1, "401 not asked for");
       }},
      {"in-place-replacement",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/ads.htm");
         const std::string html =
             std::string("<html><body><p>") + kReplaceGbk + " here, SPAM there</p></body></html>";
         const std::string chunk = Response("gb2312", html);
         const DWORD result = SendRaw(fixture, request, chunk);
         std::string expected = chunk;
         expected.replace(expected.find(kReplaceGbk), 4, "****");
         expected.replace(expected.find("SPAM"), 4, "ham*");
         outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                        "result " + std::to_string(result));
         outcome.Expect(request.RawChunkIsAllocated(), "replacement not in AllocMem memory");
         outcome.Expect(request.RawChunk() == expected,
                        "chunk '" + Printable(request.RawChunk(), 400) + "'");
         outcome.Expect(request.responseStatuses.empty(), "a status was sent");
         outcome.Expect(request.writeCalls == 0, "something was written");
       }},
      {"record-only",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/lottery.htm");
         const std::string chunk = Response(
             "gb2312", std::string("<html><body>") + kRecordGbk + " results</body></html>");
         ExpectUntouched(outcome, SendRaw(fixture, request, chunk), request, chunk);
       }},
      {"free-word-passes",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/free.htm");
         const std::string chunk =
             Response("gb2312", std::string("<html><body>freepass ") + kDenyGbk + "</body></html>");
         ExpectUntouched(outcome, SendRaw(fixture, request, chunk), request, chunk);
       }},
      {"binary-chunk-passes",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/binary.htm");
         std::string chunk = Response("gb2312", std::string("<html>\0\x01", 8) + kDenyGbk);
         ExpectUntouched(outcome, SendRaw(fixture, request, chunk), request, chunk);
       }},
      {"post-response-screened",
       [](Fixture& fixture, Outcome& outcome) {
         // The answer to a form is a page like any other.
         FakeRequest request;
         SetRequest(request, "/news/form.htm", "", "192.0.2.10", "POST");
         const std::string chunk =
             Response("gb2312", std::string("<html><body>") + kDenyGbk + "</body></html>");
         ExpectKeywordBlock(outcome, SendRaw(fixture, request, chunk), request, "gb2312", kGbkMeta,
                            kDenyStarredGbk);
       }},
      {"later-chunk-prefix-as-sent",
       [](Fixture& fixture, Outcome& outcome) {
         // An escaped tag the page shows as text stays escaped in front of the block page.
         FakeRequest request;
         SetRequest(request, "/news/echo.htm");
         const std::string shown = "q=%3Cimg src=x onerror=alert(1)%3E<title>";
         SendRaw(fixture, request, shown + kDenyGbk);
         const std::string replaced = request.RawChunk();
         outcome.Expect(replaced.rfind(shown, 0) == 0,
                        "prefix is not the chunk as sent: '" + Printable(replaced) + "'");
         outcome.Expect(!Contains(replaced, "<img"), "decoded markup in the block page");
       }},
      {"white-ip-passes",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/white.htm", "", kWhiteIp);
         const std::string chunk =
             Response("gb2312", std::string("<html><body>") + kDenyGbk + "</body></html>");
         ExpectUntouched(outcome, SendRaw(fixture, request, chunk), request, chunk);
       }},
      {"unlisted-type-passes",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/files/notes.txt");
         const std::string chunk = Response("gb2312", std::string("casino ") + kDenyGbk);
         ExpectUntouched(outcome, SendRaw(fixture, request, chunk), request, chunk);
       }},
      {"raw-data-blacklisted-url",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/forbidden/late.htm");
         const std::string chunk = Response("gb2312", "<html><body>ok</body></html>");
         const DWORD result = SendRaw(fixture, request, chunk);
         outcome.Expect(result == SF_STATUS_REQ_FINISHED, "result " + std::to_string(result));
         outcome.Expect(request.writeCalls == 1, "no URL block page written");
         outcome.Expect(
             Contains(ExpectFramedBlockPage(outcome, request.written), "forbidden/late.htm"),
             "page lacks the URL");
       }},
      {"alloc-failure-fails-open",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/nomemory.htm");
         request.failAllocMem = true;
         const std::string chunk =
             Response("gb2312", std::string("<html><body>") + kDenyGbk + "</body></html>");
         const DWORD result = SendRaw(fixture, request, chunk);
         outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                        "result " + std::to_string(result));
         outcome.Expect(request.RawChunkIsOriginal() && request.RawChunk() == chunk,
                        "chunk changed without memory");
         outcome.Expect(request.responseStatuses.empty(), "401 asked for an unreplaced page");
       }},
  };
}

}  // namespace fakeiis
