// The extension role: POST bodies screened, every other request handed back to IIS.
#include "gbk_samples.h"
#include "scenario.h"

namespace fakeiis {
namespace {

void SetPost(FakeRequest& request, const std::string& path, const std::string& body,
             const std::string& ip = "192.0.2.10") {
  SetRequest(request, path, "", ip, "POST");
  request.body = body;
  request.totalBytes = static_cast<DWORD>(body.size());
}

// Handed on: completion routine registered, the request's own URL run with a zeroed
// HSE_EXEC_URL_INFO, PENDING; and the routine ends the session when IIS calls it.
void ExpectHandedOn(Outcome& outcome, DWORD result, FakeRequest& request) {
  outcome.Expect(result == HSE_STATUS_PENDING, "result " + std::to_string(result));
  outcome.Expect(request.ioCompletionCalls == 1 && request.completion != nullptr,
                 "no completion routine registered");
  outcome.Expect(request.execUrlCalls == 1, std::to_string(request.execUrlCalls) + " EXEC_URLs");
  outcome.Expect(request.execUrlInfoZeroed, "HSE_EXEC_URL_INFO not zeroed");
  outcome.Expect(request.writeCalls == 0 && request.heads.empty(), "something was sent");
  outcome.Expect(request.CompleteExecUrl() && request.doneWithSessionCalls == 1,
                 "completion routine did not end the session");
}

void ExpectBodyBlock(Outcome& outcome, DWORD result, const FakeRequest& request,
                     const std::string& mustShow) {
  outcome.Expect(result == HSE_STATUS_SUCCESS, "result " + std::to_string(result));
  outcome.Expect(request.writeCalls == 1,
                 std::to_string(request.writeCalls) + " WriteClient calls");
  ExpectBlockHeadSent(outcome, request);
  outcome.Expect(Contains(request.written, "<html") || Contains(request.written, "<HTML"),
                 "no HTML in '" + Printable(request.written) + "'");
  outcome.Expect(Contains(request.written, mustShow),
                 "page lacks '" + Printable(mustShow) + "': '" + Printable(request.written) + "'");
  outcome.Expect(request.execUrlCalls == 0, "blocked request was handed on too");
}

}  // namespace

std::vector<Scenario> BodyScenarios() {
  return {
      {"hand-on-get",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/today.htm", "page=1");
         ExpectHandedOn(outcome, Extension(fixture, request), request);
       }},
      {"hand-on-clean-post",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetPost(request, "/guestbook.asp", "name=li&text=hello+world");
         ExpectHandedOn(outcome, Extension(fixture, request), request);
       }},
      {"hand-on-exec-url-fails",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/today.htm");
         request.failExecUrl = true;
         const DWORD result = Extension(fixture, request);
         outcome.Expect(result == HSE_STATUS_ERROR, "result " + std::to_string(result));
         outcome.Expect(request.execUrlCalls == 1, "EXEC_URL not tried");
       }},
      {"hand-on-io-completion-fails",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/news/today.htm");
         request.failIoCompletion = true;
         const DWORD result = Extension(fixture, request);
         outcome.Expect(result == HSE_STATUS_ERROR, "result " + std::to_string(result));
         outcome.Expect(request.execUrlCalls == 0, "EXEC_URL run without a completion routine");
       }},
      {"post-body-block-gbk",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetPost(request, "/guestbook.asp", std::string("name=li&text=") + kDenyPercentGbk);
         ExpectBodyBlock(outcome, Extension(fixture, request), request, kDenyStarredGbk);
       }},
      {"put-and-patch-bodies-blocked",
       [](Fixture& fixture, Outcome& outcome) {
         for (const char* method : {"PUT", "PATCH"}) {
           FakeRequest request;
           SetPost(request, "/wiki/page.asp", std::string("text=") + kDenyPercentGbk);
           request.method = method;
           request.variables["REQUEST_METHOD"] = method;
           ExpectBodyBlock(outcome, Extension(fixture, request), request, kDenyStarredGbk);
         }
       }},
      {"post-body-block-utf8",
       [](Fixture& fixture, Outcome& outcome) {
         // A UTF-8 form: the keyword is found with the UTF-8 list and shown in GBK.
         FakeRequest request;
         SetPost(request, "/guestbook.asp", std::string("text=") + kDenyPercentUtf8 + "+now");
         ExpectBodyBlock(outcome, Extension(fixture, request), request, kDenyStarredGbk);
       }},
      {"post-body-free-word",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetPost(request, "/guestbook.asp", std::string("a=freepass&b=") + kDenyPercentGbk);
         ExpectHandedOn(outcome, Extension(fixture, request), request);
       }},
      {"extension-url-blacklist",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetPost(request, "/forbidden/upload.asp", "x=1");
         ExpectBodyBlock(outcome, Extension(fixture, request), request,
                         "www.example.com/forbidden/upload.asp");
       }},
      {"block-head-refused-page-still-sent",
       [](Fixture& fixture, Outcome& outcome) {
         // The head is refused (the client gone, say): the page is still tried and the
         // request stays blocked, never handed on.
         FakeRequest request;
         SetPost(request, "/guestbook.asp", std::string("text=") + kDenyPercentGbk);
         request.failSendHead = true;
         const DWORD result = Extension(fixture, request);
         outcome.Expect(result == HSE_STATUS_SUCCESS, "result " + std::to_string(result));
         outcome.Expect(request.heads.size() == 1, "head not tried");
         outcome.Expect(request.writeCalls == 1 && Contains(request.written, kDenyStarredGbk),
                        "page not written after the head failed");
         outcome.Expect(request.execUrlCalls == 0, "blocked request was handed on");
       }},
      {"extension-ip-blacklist",
       [](Fixture& fixture, Outcome& outcome) {
         FakeRequest request;
         SetRequest(request, "/index.htm", "", kBlackIp);
         ExpectBodyBlock(outcome, Extension(fixture, request), request, kBlackIp);
       }},
  };
}

}  // namespace fakeiis
