// The request notifications: headers read (Accept-Encoding blanked) and URL mapped (black
// lists, safe code), plus the notifications that only pass.
#include "gbk_samples.h"
#include "scenario.h"

namespace fakeiis {
namespace {

// Runs the header notification for `path` with the given Accept-Encoding value.
void HeaderCase(Fixture& fixture, Outcome& outcome, const std::string& path,
                const std::string& offered, const std::string* expected) {
  FakeRequest request;
  SetRequest(request, path);
  request.headers["accept-encoding:"] = offered;
  const DWORD result = Preproc(fixture, request);
  const std::string where = path + " '" + offered + "': ";
  outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                 where + "result " + std::to_string(result));
  if (!expected) {
    outcome.Expect(request.setHeaders.empty(), where + "header was rewritten");
    return;
  }
  const bool once = request.setHeaders.size() == 1;
  outcome.Expect(once, where + std::to_string(request.setHeaders.size()) + " SetHeader calls");
  if (!once) return;
  outcome.Expect(request.setHeaders[0].name == "Accept-Encoding:",
                 where + "header name '" + request.setHeaders[0].name + "'");
  outcome.Expect(request.setHeaders[0].value == *expected,
                 where + "value '" + Printable(request.setHeaders[0].value) + "'");
}

void ExpectBlockPage(Outcome& outcome, DWORD result, const FakeRequest& request,
                     const std::string& mustShow) {
  outcome.Expect(result == SF_STATUS_REQ_FINISHED, "result " + std::to_string(result));
  // One write: the socket never holds a head without its page.
  outcome.Expect(request.writeCalls == 1,
                 std::to_string(request.writeCalls) + " WriteClient calls");
  const std::string page = ExpectFramedBlockPage(outcome, request.written);
  outcome.Expect(Contains(page, "<html") || Contains(page, "<HTML"),
                 "no HTML in '" + Printable(page) + "'");
  outcome.Expect(Contains(page, mustShow),
                 "page lacks '" + mustShow + "': '" + Printable(page) + "'");
  outcome.Expect(!Contains(page, "%url%") && !Contains(page, "%ip%") && !Contains(page, "%stop%"),
                 "placeholder left in page");
}

}  // namespace

std::vector<Scenario> RequestScenarios() {
  return {
      {"header-rewrite",
       [](Fixture& fixture, Outcome& outcome) {
         const std::string thirteen(13, ' ');
         const std::string withBr(17, ' ');
         const std::string keepsIdentity = "      identity;q=0.5   ";
         HeaderCase(fixture, outcome, "/index.htm", "gzip, deflate", &thirteen);
         HeaderCase(fixture, outcome, "/news/a.html", "gzip, deflate, br", &withBr);
         HeaderCase(fixture, outcome, "/news/b.htm", "deflate, gzip", &thirteen);
         HeaderCase(fixture, outcome, "/news/c.htm", "gzip, Identity;q=0.5, *", &keepsIdentity);
         // Not a screened file type: the response may stay compressed.
         HeaderCase(fixture, outcome, "/images/logo.png", "gzip, deflate", nullptr);
         // Nothing to blank.
         HeaderCase(fixture, outcome, "/index.htm", "identity", nullptr);
         // Longer than the 128-byte first buffer: read again into a larger one.
         const std::string longOffer = "gzip, deflate, " + std::string(120, 'x');
         const std::string longBlank(longOffer.size(), ' ');
         HeaderCase(fixture, outcome, "/index.htm", longOffer, &longBlank);
         // Longer than any buffer: replaced whole.
         const std::string identity = "identity";
         HeaderCase(fixture, outcome, "/index.htm", "br, " + std::string(70000, 'x'), &identity);
       }},
      {"range-fields-removed",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/index.htm");
         request.headers["range:"] = "bytes=0-99";
         request.headers["if-range:"] = "\"etag\"";
         request.headers["request-range:"] = "bytes=" + std::string(300, '1') + "-";
         const DWORD result = Preproc(fixture, request);
         outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                        "result " + std::to_string(result));
         outcome.Expect(request.headers.count("range:") == 0, "Range left in the request");
         outcome.Expect(request.headers.count("if-range:") == 0, "If-Range left in the request");
         outcome.Expect(request.headers.count("request-range:") == 0,
                        "Request-Range left in the request");
         for (const SetHeaderCall& call : request.setHeaders) {
           outcome.Expect(call.value.empty(), call.name + " set to '" + call.value + "'");
         }
         // An image keeps its ranges.
         FakeRequest image;
         SetRequest(image, "/images/logo.png");
         image.headers["range:"] = "bytes=0-99";
         Preproc(fixture, image);
         outcome.Expect(image.headers.count("range:") == 1, "an image lost its Range");
       }},
      {"ip-blacklist-via-alone",
       [](Fixture& fixture, Outcome& outcome) {
         // A Via without a forwarded address leaves the peer's own address on the list.
         FakeRequest request;
         SetRequest(request, "/index.htm", "", kBlackIp);
         request.variables["HTTP_VIA"] = "1.1 made-up";
         ExpectBlockPage(outcome, UrlMap(fixture, request), request, kBlackIp);
       }},
      {"header-absent",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/index.htm");
         const DWORD result = Preproc(fixture, request);
         outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                        "result " + std::to_string(result));
         outcome.Expect(request.setHeaders.empty(), "a missing header was set");
       }},
      {"url-map-pass",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/today.htm", "page=2");
         const DWORD result = UrlMap(fixture, request);
         outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                        "result " + std::to_string(result));
         outcome.Expect(request.writeCalls == 0, "something was written");
       }},
      {"url-blacklist-block",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/Forbidden/Report.htm", "id=7");
         const DWORD result = UrlMap(fixture, request);
         ExpectBlockPage(outcome, result, request, "www.example.com/forbidden/report.htm?id=7");
         outcome.Expect(Contains(request.written, "192.0.2.10"), "page lacks the client address");
       }},
      {"url-blacklist-semicolon-trick",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/upload/shell.asp;.jpg");
         ExpectBlockPage(outcome, UrlMap(fixture, request), request, "shell.asp;.jpg");
       }},
      {"ip-blacklist-block",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/index.htm", "", kBlackIp);
         ExpectBlockPage(outcome, UrlMap(fixture, request), request, kBlackIp);
       }},
      {"ip-blacklist-behind-proxy",
       [](Fixture& fixture, Outcome& outcome) {
         // Behind a proxy the forwarded address is the client's.
         FakeRequest request;
         SetRequest(request, "/index.htm", "", "192.0.2.1");
         request.variables["HTTP_VIA"] = "1.1 squid";
         request.variables["HTTP_X_FORWARDED_FOR"] = kBlackIp;
         ExpectBlockPage(outcome, UrlMap(fixture, request), request, kBlackIp);
       }},
      {"rewritten-url-blacklist",
       [](Fixture& fixture, Outcome& outcome) {
         // Behind a URL rewriter the original URL is the one the visitor asked for.
         FakeRequest request;
         SetRequest(request, "/index.htm");
         request.variables["HTTP_X_REWRITE_URL"] = "/Forbidden/pretty-name";
         ExpectBlockPage(outcome, UrlMap(fixture, request), request,
                         "www.example.com/forbidden/pretty-name");
       }},
      {"safe-code-bypass",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/forbidden/report.htm", std::string("x=1&") + "PASS42");
         const DWORD result = UrlMap(fixture, request);
         outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                        "result " + std::to_string(result));
         outcome.Expect(request.writeCalls == 0, "block page written despite the safe code");
       }},
      {"post-not-blocked-at-url-map",
       [](Fixture& fixture, Outcome& outcome) {
         // A POST's lists are applied with its body, in the extension.
         FakeRequest request;
         SetRequest(request, "/forbidden/form.htm", "", kBlackIp, "POST");
         const DWORD result = UrlMap(fixture, request);
         outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                        "result " + std::to_string(result));
         outcome.Expect(request.writeCalls == 0, "POST blocked at URL map");
       }},
      {"oversized-variable-reads-empty",
       [](Fixture& fixture, Outcome& outcome) {
         // A URL longer than the handlers' buffer cannot be read; it counts as empty, so the
         // black list is not applied to it and nothing is overrun.
         FakeRequest request;
         SetRequest(request, "/forbidden/" + std::string(3000, 'a') + ".htm");
         const DWORD result = UrlMap(fixture, request);
         outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                        "result " + std::to_string(result));
         outcome.Expect(request.shortReads > 0, "the long URL was never offered a short buffer");
       }},
      {"log-and-other-notifications",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/index.htm");
         DWORD result =
             fixture.module.httpFilterProc(request.FilterContext(), SF_NOTIFY_LOG, request.Log());
         outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                        "log: result " + std::to_string(result));
         for (DWORD type : {DWORD{SF_NOTIFY_READ_RAW_DATA}, DWORD{SF_NOTIFY_AUTHENTICATION},
                            DWORD{SF_NOTIFY_END_OF_NET_SESSION}, DWORD{SF_NOTIFY_END_OF_REQUEST},
                            DWORD{0x40000000}}) {
           result = fixture.module.httpFilterProc(request.FilterContext(), type, nullptr);
           outcome.Expect(result == SF_STATUS_REQ_NEXT_NOTIFICATION,
                          "type " + std::to_string(type) + ": result " + std::to_string(result));
         }
         outcome.Expect(request.writeCalls == 0, "something was written");
       }},
  };
}

}  // namespace fakeiis
