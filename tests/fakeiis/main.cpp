// fakeiis: loads OrvFilter.dll the way IIS does and drives both of its roles through the
// scenarios, with this program's own server callbacks. Prints "PASS name" or
// "FAIL name: why" per scenario, then "N scenario(s), M failed"; the exit code is M.
//
//   fakeiis PATH\OrvFilter.dll [--off]
//
// The DLL's folder must hold the fixture OrvFilter.ini and OrvFilter.db and an empty "log"
// folder (scripts/run-fake-iis.sh prepares them). --off: the fixture has the filter
// switched off.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "filter_module.h"
#include "scenario.h"

namespace {

std::string FolderOf(const std::string& path) {
  char full[MAX_PATH] = {};
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  std::string text(full, length < MAX_PATH ? length : 0);
  const std::size_t slash = text.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}

bool Run(const fakeiis::Scenario& scenario, fakeiis::Fixture& fixture) {
  fakeiis::Outcome outcome;
  try {
    scenario.run(fixture, outcome);
  } catch (const std::exception& error) {
    outcome.Expect(false, std::string("exception: ") + error.what());
  }
  if (outcome.Passed()) {
    std::printf("PASS %s\n", scenario.name.c_str());
  } else {
    std::printf("FAIL %s: %s\n", scenario.name.c_str(), outcome.Summary().c_str());
  }
  std::fflush(stdout);
  return outcome.Passed();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fakeiis PATH\\OrvFilter.dll [--off]\n");
    return 100;
  }
  const std::string dll = argv[1];
  const bool switchedOff = argc > 2 && std::strcmp(argv[2], "--off") == 0;

  fakeiis::FilterModule module(dll);
  if (!module.Loaded()) {
    std::printf("FAIL load: %s\n", module.Error().c_str());
    return 100;
  }
  std::printf("PASS load\n");

  fakeiis::Fixture fixture{module, FolderOf(dll)};
  std::vector<fakeiis::Scenario> scenarios = fakeiis::VersionScenarios();
  auto append = [&](std::vector<fakeiis::Scenario> more) {
    for (auto& scenario : more) scenarios.push_back(std::move(scenario));
  };
  if (switchedOff) {
    append(fakeiis::SwitchedOffScenarios());
  } else {
    // The many events of the concurrent run go first, so that those of the single
    // scenarios are still pending in the writer when the extension is terminated.
    append(fakeiis::ConcurrencyScenarios());
    append(fakeiis::RequestScenarios());
    append(fakeiis::ResponseScenarios());
    append(fakeiis::BodyScenarios());
    append(fakeiis::ConnectionScenarios());
  }
  scenarios.push_back(fakeiis::UnloadScenario(!switchedOff));

  int failures = 0;
  for (const fakeiis::Scenario& scenario : scenarios) {
    if (!Run(scenario, fixture)) ++failures;
  }
  std::printf("%d scenario(s), %d failed\n", static_cast<int>(scenarios.size()), failures);
  std::fflush(stdout);
  std::fflush(stderr);
  // The verdict is in. Ending the process here runs no library's detach code and no exit-time
  // destructor: should something the DLL left behind hang at process exit, that must not turn
  // a finished run into a timeout (the unload scenario tests the DLL's own exit).
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(failures));
  return failures;
}
