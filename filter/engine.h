// The filter engine as its hosts see it: everything a loaded OrvFilter owns (settings,
// keyword lists, event log writer, screening worker with its charset cache), and the entry
// points IIS calls. One instance per loaded module; every method may be called from many
// threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "filter/host.h"
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

  // Filter role.
  bool GetFilterVersion(FilterVersion& version);
  std::uint32_t HttpFilterProc(FilterHost& host, std::uint32_t notificationType);

  // Extension role.
  bool GetExtensionVersion(ExtensionVersion& version);
  std::uint32_t HttpExtensionProc(ExtensionHost& host);
  // Writes every event line still in memory before it returns.
  bool TerminateExtension();

  // Loads the settings and keyword database again at once (orvproxy's SIGHUP), whether or
  // not the filter is switched on. Runs on the calling thread in either mode.
  void Reload();
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

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace orv::filter
