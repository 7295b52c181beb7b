// IIS's shutdown of the module: TerminateExtension, then FreeLibrary. Events the scenarios
// caused must be in the day's log file once the extension has been terminated.
#include <fstream>
#include <iterator>
#include <string>

#include "gbk_samples.h"
#include "scenario.h"

namespace fakeiis {
namespace {

// Everything in the .log files of `folder`, joined.
std::string ReadLogs(const std::string& folder) {
  std::string all;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + "*.log").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return all;
  do {
    std::ifstream file(folder + found.cFileName, std::ios::binary);
    all.append(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return all;
}

}  // namespace

Scenario UnloadScenario(bool expectEvents) {
  return {"terminate-and-unload", [expectEvents](Fixture& fixture, Outcome& outcome) {
            if (expectEvents) {
              // A fresh event just before the end: the writer still holds it in memory.
              FakeRequest request;
              SetRequest(request, "/news/last-words.htm");
              SendRaw(
                  fixture, request,
                  Response("gb2312", std::string("<html><body>") + kDenyGbk + "</body></html>"));
            }
            outcome.Expect(fixture.module.terminateExtension(HSE_TERM_MUST_UNLOAD) == TRUE,
                           "TerminateExtension returned FALSE");
            // IIS may end the worker process right after TerminateExtension, without
            // unloading the DLL: the events must be on disk already.
            const std::string logs = ReadLogs(fixture.folder + "log\\");
            if (expectEvents) {
              outcome.Expect(Contains(logs, kKindDenyGbk), "no deny event in the log");
              outcome.Expect(Contains(logs, kKindReplaceGbk), "no replace event in the log");
              outcome.Expect(Contains(logs, kKindRecordGbk), "no record event in the log");
              outcome.Expect(Contains(logs, kDenyGbk), "deny event lacks its keyword");
              outcome.Expect(Contains(logs, "www.example.com/news/last-words.htm"),
                             "the last event was not written by TerminateExtension");
            } else {
              outcome.Expect(logs.empty(), "events written while off");
            }
            outcome.Expect(fixture.module.Unload(), "FreeLibrary failed");
            // A thread that scanned text keeps the module loaded until it exits (its
            // thread-local scratch pins it), so only a run that screened nothing can see the
            // module go, and DllMain tear the engine down, here.
            if (!expectEvents) {
              outcome.Expect(GetModuleHandleA("OrvFilter.dll") == nullptr,
                             "OrvFilter.dll still loaded after FreeLibrary");
            }
          }};
}

}  // namespace fakeiis
