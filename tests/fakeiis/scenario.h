// What a scenario needs and reports: the loaded DLL, its folder, and the list of what went
// wrong. One line per scenario is printed by main.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fake_request.h"
#include "filter_module.h"

namespace fakeiis {

class Outcome {
 public:
  void Expect(bool condition, const std::string& why) {
    if (!condition) failures_.push_back(why);
  }
  bool Passed() const { return failures_.empty(); }
  std::string Summary() const;

 private:
  std::vector<std::string> failures_;
};

struct Fixture {
  FilterModule& module;
  std::string folder;  // the DLL's folder, with its trailing "\"
};

struct Scenario {
  std::string name;
  std::function<void(Fixture&, Outcome&)> run;
};

// Scenario sets. The "on" sets expect the fixture's settings with the filter switched on,
// the "off" set the same settings with KeyIsSystem=0.
std::vector<Scenario> VersionScenarios();
std::vector<Scenario> RequestScenarios();
std::vector<Scenario> ResponseScenarios();
std::vector<Scenario> BodyScenarios();
std::vector<Scenario> ConcurrencyScenarios();
std::vector<Scenario> ConnectionScenarios();
std::vector<Scenario> SwitchedOffScenarios();
// Runs last: TerminateExtension, FreeLibrary with pool threads that screened pages still
// alive, the event log on disk, and those threads ending after the unload.
Scenario UnloadScenario(bool expectEvents);

// --- helpers shared by the scenario sets ---

// A request for `path` on www.example.com:80 from `ip`.
void SetRequest(FakeRequest& request, const std::string& path, const std::string& query = "",
                const std::string& ip = "192.0.2.10", const std::string& method = "GET");
// A response with its status line and a Content-Type naming `charset` (none when empty).
std::string Response(const std::string& charset, const std::string& html);

DWORD Preproc(Fixture& fixture, FakeRequest& request);
DWORD UrlMap(Fixture& fixture, FakeRequest& request);
DWORD SendRaw(Fixture& fixture, FakeRequest& request, const std::string& chunk);
DWORD Extension(Fixture& fixture, FakeRequest& request);

// A block page as the filter writes it: status line, headers and page in one write. Checks
// the head (403, Content-Type text/html with the gb2312 charset, Content-Length of the page's
// bytes, no caching, connection closed) and returns the page; empty if there is no head.
std::string ExpectFramedBlockPage(Outcome& outcome, const std::string& written);
// A block page as the extension sends it: one HSE_REQ_SEND_RESPONSE_HEADER_EX with the same
// head (no status line; the connection not kept) before the page is written.
void ExpectBlockHeadSent(Outcome& outcome, const FakeRequest& request);

bool Contains(std::string_view haystack, std::string_view needle);
// Bytes as text for a failure message: non-printable bytes as \xHH, cut to `limit`.
std::string Printable(std::string_view bytes, std::size_t limit = 160);

}  // namespace fakeiis
