// The filter engine as its hosts see it: everything a loaded OrvFilter owns (settings,
// keyword lists, event log writer, screening worker with its charset cache), the phase calls
// (filter/phases.h) every host uses, and the entry points IIS calls, mapped onto the phases.
// One instance per loaded module; every method may be called from many threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "filter/host.h"
#include "filter/phases.h"
#include "store/clock.h"
#include "store/filter_settings.h"

namespace orv::filter {

struct FilterVersion {
  std::uint32_t filterVersion = 0;  // dwFilterVersion
  std::string description;          // lpszFilterDesc
  std::uint32_t flags = 0;          // dwFlags
};

struct ExtensionVersion {
  std::uint32_t extensionVersion = 0;  // dwExtensionVersion (HSE_VERSION)
  std::string description;             // lpszExtensionDesc, at most 255 bytes
};

class FilterEngine {
 public:
  // `moduleDirectory`: the folder holding OrvFilter.ini, OrvFilter.db and the default log/.
  explicit FilterEngine(std::string moduleDirectory,
                        std::shared_ptr<const store::Clock> clock = store::MakeSystemClock());
  // Orderly unload: writes the event log lines still pending.
  ~FilterEngine();

  FilterEngine(const FilterEngine&) = delete;
  FilterEngine& operator=(const FilterEngine&) = delete;

  // The phases of one request, in their order. `memo` is the request's own, kept by the host
  // from one phase to the next (null: each phase starts afresh). Each phase fails open: what
  // goes wrong inside it is counted (Health) and the request goes on unchanged.
  RequestResult RequestPhase(const RequestDescription& request, RequestMemo* memo,
                             RequestSteps steps = RequestSteps::kAll);
  BodyResult BodyPhase(const RequestDescription& request, RequestMemo* memo);
  ChunkResult ChunkPhase(const RequestDescription& request, std::string_view chunk,
                         RequestMemo* memo);
  // The request is done: reloads the settings once the last load is an hour old.
  void LoggedPhase(RequestMemo* memo);

  // The first load (what both version calls do, for a host that makes neither).
  LoadOutcome Start();

  // The ISAPI filter role (iis_mapping.cpp): IIS's notifications onto the phases.
  bool GetFilterVersion(FilterVersion& version);
  std::uint32_t HttpFilterProc(FilterHost& host, std::uint32_t notificationType);

  // The ISAPI extension role: the body phase, then the request handed back to the server.
  bool GetExtensionVersion(ExtensionVersion& version);
  std::uint32_t HttpExtensionProc(ExtensionHost& host);
  // Writes every event line still in memory before it returns.
  bool TerminateExtension();

  // Loads the settings and keyword database again at once (orvproxy's SIGHUP), whether or
  // not the filter is switched on. Runs on the calling thread in either mode.
  LoadOutcome Reload();
  // Writes pending event log lines now; with the upkeep thread running, asks it to.
  void FlushLog();

  // Background upkeep, off unless asked for (IIS's filter starts no thread of its own): once
  // started, one thread owned by the engine does the hourly settings reload that a due log
  // notification asks for, and every event log write (full batches, the day change, the
  // 300-second flush clock, FlushLog). The threads that screen then never load settings nor
  // touch a file: they only queue lines and wake it. A second call does nothing. The
  // destructor stops and joins the thread, then writes the lines still pending.
  void StartUpkeepThread();

  std::shared_ptr<const store::FilterSettings> Settings() const;
  // The last load's outcome and the failures the phases swallowed.
  EngineHealth Health() const;

  struct State;

 private:
  enum class Phase : std::uint8_t { kRequest, kBody, kChunk, kLogged };
  // An exception the ISAPI mapping caught around a phase.
  void NoteSwallowed(Phase phase);

  std::unique_ptr<State> state_;
};

}  // namespace orv::filter
