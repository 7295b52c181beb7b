// IIS's shutdown of the module: TerminateExtension, then FreeLibrary. Events the scenarios
// caused must be in the day's log file by then, however short the process's life was.
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
  return {"unload-flushes-log", [expectEvents](Fixture& fixture, Outcome& outcome) {
            outcome.Expect(fixture.module.terminateExtension(HSE_TERM_MUST_UNLOAD) == TRUE,
                           "TerminateExtension returned FALSE");
            outcome.Expect(fixture.module.Unload(), "FreeLibrary failed");
            const std::string logs = ReadLogs(fixture.folder + "log\\");
            if (!expectEvents) {
              outcome.Expect(logs.empty(), "events written while off");
              return;
            }
            outcome.Expect(Contains(logs, kKindDenyGbk), "no deny event in the log");
            outcome.Expect(Contains(logs, kKindReplaceGbk), "no replace event in the log");
            outcome.Expect(Contains(logs, kKindRecordGbk), "no record event in the log");
            outcome.Expect(Contains(logs, kDenyGbk), "deny event lacks its keyword");
            outcome.Expect(Contains(logs, "www.example.com/news/"), "events lack the URL");
          }};
}

}  // namespace fakeiis
