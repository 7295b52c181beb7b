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

// IIS's worker threads outlive the filter: a recycle unloads the DLL while threads that
// screened pages are still parked in the pool, and they end later. Each thread screens a
// page, then waits for `release` before it ends.
struct ParkedThreads {
  static constexpr int kCount = 3;
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE screened[kCount] = {};
  HANDLE threads[kCount] = {};
  Fixture* fixture = nullptr;

  static DWORD WINAPI Run(void* self) {
    auto* parked = static_cast<ParkedThreads*>(self);
    const int index = static_cast<int>(InterlockedIncrement(&parked->started) - 1);
    {
      FakeRequest request;
      SetRequest(request, "/parked/t" + std::to_string(index) + ".htm");
      SendRaw(*parked->fixture, request,
              Response("gb2312", "<html><body><p>Parked until the recycle.</p></body></html>"));
    }
    SetEvent(parked->screened[index]);
    WaitForSingleObject(parked->release, INFINITE);
    return 0;
  }

  bool Start(Fixture& on) {
    fixture = &on;
    for (int i = 0; i < kCount; ++i) {
      screened[i] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      threads[i] = CreateThread(nullptr, 0, Run, this, 0, nullptr);
      if (!threads[i]) return false;
    }
    return WaitForMultipleObjects(kCount, screened, TRUE, 30000) == WAIT_OBJECT_0;
  }

  // Lets the threads end; false when they have not all ended within the time.
  bool Release(DWORD milliseconds) {
    SetEvent(release);
    return WaitForMultipleObjects(kCount, threads, TRUE, milliseconds) == WAIT_OBJECT_0;
  }

  LONG started = 0;
};

}  // namespace

Scenario UnloadScenario(bool expectEvents) {
  return {"terminate-and-unload", [expectEvents](Fixture& fixture, Outcome& outcome) {
            // Left allocated: should the threads never end, they still have it to read.
            auto* parked = new ParkedThreads;
            outcome.Expect(parked->Start(fixture), "pool threads did not screen their pages");
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
            // Nothing of the DLL may keep it loaded once IIS lets it go: not the threads that
            // screened pages (this one included), nor anything they hold.
            outcome.Expect(GetModuleHandleA("OrvFilter.dll") == nullptr,
                           "OrvFilter.dll still loaded after FreeLibrary");
            // The pool's threads end after the unload, as they do when IIS recycles.
            outcome.Expect(parked->Release(20000),
                           "threads that screened pages did not end after the unload");
          }};
}

}  // namespace fakeiis
