#include "filter/engine.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "filter/block_pages.h"
#include "filter/load_outcome.h"
#include "filter/request_memo.h"
#include "filter/screen_worker.h"
#include "store/event_log.h"

namespace orv::filter {
namespace {

constexpr std::uint32_t kFilterVersion = 0x40000;
constexpr std::uint32_t kFilterFlags =
    kNotifyOrderLow | kNotifyPreprocHeaders | kNotifyUrlMap | kNotifySendRawData | kNotifyLog;
constexpr std::uint32_t kExtensionVersion = 0x00080000;  // HSE_VERSION 8.0
constexpr std::string_view kFilterDescription = "OrvFilter Ver2.1";
constexpr std::string_view kExtensionDescription = "OrvFilter Extension";
constexpr std::time_t kReloadSeconds = 3600;
// How often the upkeep thread looks at the log's flush clock when nothing wakes it.
constexpr std::chrono::seconds kUpkeepTick{1};

// The record the first load starts from: everything off, and the engine's own block pages
// with "%user%" still in them for the first load to fill.
store::FilterSettings InitialSettings(const std::string& moduleDirectory) {
  store::FilterSettings settings;
  settings.moduleDirectory = moduleDirectory;
  settings.logLineTemplate = std::string(store::kLogLineTemplate);
  settings.urlBlockPage = UrlBlockPageTemplate();
  settings.ipBlockPage = IpBlockPageTemplate();
  settings.keywordBlockPage = KeywordBlockPageTemplate();
  return settings;
}

}  // namespace

struct FilterEngine::State {
  State(std::string directory, std::shared_ptr<const store::Clock> clockIn)
      : moduleDirectory(std::move(directory)),
        clock(std::move(clockIn)),
        settings(InitialSettings(moduleDirectory)),
        log(clock),
        worker(log, clock),
        lastLoad(clock->Now()) {}

  // Builds the next record from the current one and publishes it, and keeps what came of it.
  // Loads are serialised so that two reloads cannot each start from the same record and lose
  // the other's result. Never throws: a load that fails leaves the record as it was.
  LoadOutcome Load() {
    std::lock_guard lock(loadMutex);
    LoadOutcome outcome;
    try {
      const std::shared_ptr<const store::FilterSettings> previous = settings.Get();
      store::LoadResult result = store::LoadSettings(*previous, moduleDirectory);
      // A load that ran out of memory hands back the previous record untouched.
      if (result.settings.serial == previous->serial) {
        outcome = {false, "out of memory while loading the settings"};
      } else {
        outcome = CheckLoadedFiles(result.settings, moduleDirectory);
        if (result.logDirectory) log.SetDirectory(*result.logDirectory);
        settings.Publish(std::move(result.settings));
      }
    } catch (const std::exception& error) {
      ++swallowedLoad;
      outcome = {false, std::string("load failed: ") + error.what()};
    } catch (...) {
      ++swallowedLoad;
      outcome = {false, "load failed"};
    }
    ++loads;
    if (!outcome.ok) ++failedLoads;
    std::lock_guard outcomeLock(outcomeMutex);
    lastOutcome = outcome;
    return outcome;
  }

  // The version calls hand the log folder to the writer once.
  void HandLogDirectoryOnce() {
    if (!logDirectoryHanded.exchange(true)) log.SetDirectory(settings.Get()->logPath);
  }

  // The log notification's clock: a reload once the last one is an hour away, either way.
  void ReloadIfDue(const store::FilterSettings& current) {
    if (!current.enabled) return;
    const std::time_t now = clock->Now();
    std::time_t last = lastLoad.load();
    const std::time_t difference = now > last ? now - last : last - now;
    if (difference < kReloadSeconds) return;
    // Only the thread that moves the mark reloads; the others go on with the old record.
    if (!lastLoad.compare_exchange_strong(last, now)) return;
    if (upkeepOn.load()) {
      WakeUpkeep(reloadWanted);
      return;
    }
    Load();
  }

  void WakeUpkeep(bool& reason) {
    {
      std::lock_guard lock(upkeepMutex);
      reason = true;
    }
    upkeepWake.notify_one();
  }

  void StartUpkeep() {
    std::lock_guard start(upkeepStartMutex);
    if (upkeep.joinable()) return;
    log.DeferWrites([this] { WakeUpkeep(writeWanted); });
    upkeep = std::thread([this] { RunUpkeep(); });
    upkeepOn = true;
  }

  // The upkeep thread: whatever was asked for, and at least every tick a look at the log's
  // flush clock, so lines are written on time even when no request comes.
  void RunUpkeep() {
    std::unique_lock lock(upkeepMutex);
    for (;;) {
      upkeepWake.wait_for(lock, kUpkeepTick,
                          [&] { return stopUpkeep || reloadWanted || writeWanted; });
      const bool reload = std::exchange(reloadWanted, false);
      writeWanted = false;
      const bool stopping = stopUpkeep;
      lock.unlock();
      // A load that fails keeps the old record; the next due request tries again.
      if (reload) Load();
      log.WriteIfDue();
      lock.lock();
      if (stopping) return;
    }
  }

  void StopUpkeep() {
    std::lock_guard start(upkeepStartMutex);
    if (!upkeep.joinable()) return;
    WakeUpkeep(stopUpkeep);
    upkeep.join();
  }

  ~State() { StopUpkeep(); }

  // The record a phase reads: through the request's memo where the host keeps one, else a
  // reference held in `held` for the phase's length.
  const store::FilterSettings& Current(RequestMemo* memo,
                                       std::shared_ptr<const store::FilterSettings>& held) {
    if (memo != nullptr) return settings.Current(memo->settings);
    held = settings.Get();
    return *held;
  }

  RequestResult RequestPhase(const RequestDescription& request, RequestMemo* memo,
                             RequestSteps steps) {
    std::shared_ptr<const store::FilterSettings> held;
    const store::FilterSettings& current = Current(memo, held);
    if (steps == RequestSteps::kHeaders) return worker.ScreenHeaders(current, request);
    if (steps == RequestSteps::kLists) return worker.ScreenUrl(current, request, memo);
    RequestResult headers = worker.ScreenHeaders(current, request);
    if (headers.pass == PassReason::kSwitchedOff) return headers;
    RequestResult lists = worker.ScreenUrl(current, request, memo);
    if (lists.action == Action::kBlock) return lists;
    // The header step's pass (white list, file type) says why nothing will be screened; the
    // list step's (the safe code) otherwise.
    if (headers.pass == PassReason::kNone) headers.pass = lists.pass;
    return headers;
  }

  const std::string moduleDirectory;
  const std::shared_ptr<const store::Clock> clock;
  store::SettingsSnapshot settings;
  store::EventLog log;
  ScreenWorker worker;
  std::atomic<std::time_t> lastLoad;
  std::atomic<bool> logDirectoryHanded{false};
  std::mutex loadMutex;

  // Health: the last load's outcome (guarded by outcomeMutex) and the counters.
  mutable std::mutex outcomeMutex;
  LoadOutcome lastOutcome{false, "not loaded yet"};
  std::atomic<std::uint64_t> loads{0};
  std::atomic<std::uint64_t> failedLoads{0};
  std::atomic<std::uint64_t> swallowedLoad{0};
  std::atomic<std::uint64_t> swallowedRequest{0};
  std::atomic<std::uint64_t> swallowedBody{0};
  std::atomic<std::uint64_t> swallowedChunk{0};
  std::atomic<std::uint64_t> swallowedLogged{0};

  // Background upkeep (StartUpkeepThread). The flags are guarded by upkeepMutex.
  std::atomic<bool> upkeepOn{false};
  std::mutex upkeepStartMutex;
  std::mutex upkeepMutex;
  std::condition_variable upkeepWake;
  bool reloadWanted = false;
  bool writeWanted = false;
  bool stopUpkeep = false;
  std::thread upkeep;
};

FilterEngine::FilterEngine(std::string moduleDirectory, std::shared_ptr<const store::Clock> clock)
    : state_(std::make_unique<State>(std::move(moduleDirectory),
                                     clock ? std::move(clock) : store::MakeSystemClock())) {}

// Destroying the state stops the upkeep thread first, then destroys the event log writer,
// which writes what is still pending. The screens' idle working memory goes with the engine:
// in a module that is being unloaded nothing else would ever free it.
FilterEngine::~FilterEngine() {
  state_.reset();
  ReleaseIdleScreenScratch();
}

void FilterEngine::StartUpkeepThread() {
  state_->StartUpkeep();
}

bool FilterEngine::GetFilterVersion(FilterVersion& version) {
  version.filterVersion = kFilterVersion;
  version.description = std::string(kFilterDescription);
  version.flags = kFilterFlags;
  // A load that cannot be completed leaves the filter as it was: switched off.
  const std::uint64_t thrown = state_->swallowedLoad.load();
  state_->Load();
  if (state_->swallowedLoad.load() == thrown) {
    state_->log.SetDirectory(state_->settings.Get()->logPath);
    state_->logDirectoryHanded = true;
  }
  state_->lastLoad = state_->clock->Now();
  return true;
}

bool FilterEngine::GetExtensionVersion(ExtensionVersion& version) {
  version.extensionVersion = kExtensionVersion;
  version.description = std::string(kExtensionDescription);
  state_->Load();
  state_->HandLogDirectoryOnce();
  return true;
}

LoadOutcome FilterEngine::Start() {
  LoadOutcome outcome = state_->Load();
  state_->HandLogDirectoryOnce();
  state_->lastLoad = state_->clock->Now();
  return outcome;
}

// Every phase fails open: whatever goes wrong while screening, the request goes on as it was.
RequestResult FilterEngine::RequestPhase(const RequestDescription& request, RequestMemo* memo,
                                         RequestSteps steps) {
  try {
    return state_->RequestPhase(request, memo, steps);
  } catch (...) {
    ++state_->swallowedRequest;
    return {};
  }
}

BodyResult FilterEngine::BodyPhase(const RequestDescription& request, RequestMemo* memo) {
  try {
    std::shared_ptr<const store::FilterSettings> held;
    return state_->worker.ScreenBody(state_->Current(memo, held), request);
  } catch (...) {
    ++state_->swallowedBody;
    return {};
  }
}

ChunkResult FilterEngine::ChunkPhase(const RequestDescription& request, std::string_view chunk,
                                     RequestMemo* memo) {
  try {
    std::shared_ptr<const store::FilterSettings> held;
    return state_->worker.ScreenResponse(state_->Current(memo, held), request, chunk, memo);
  } catch (...) {
    ++state_->swallowedChunk;
    return {};
  }
}

void FilterEngine::LoggedPhase(RequestMemo* memo) {
  try {
    std::shared_ptr<const store::FilterSettings> held;
    state_->ReloadIfDue(state_->Current(memo, held));
  } catch (...) {
    ++state_->swallowedLogged;
  }
}

bool FilterEngine::TerminateExtension() {
  // The host may end its process right after this call without unloading the module: every
  // line still in memory is written now, also when another thread is in the middle of a write.
  state_->log.WriteAll();
  return true;
}

LoadOutcome FilterEngine::Reload() {
  LoadOutcome outcome = state_->Load();
  state_->lastLoad = state_->clock->Now();
  return outcome;
}

void FilterEngine::FlushLog() {
  try {
    state_->log.Add(true, {}, {}, {});
  } catch (...) {
  }
}

std::shared_ptr<const store::FilterSettings> FilterEngine::Settings() const {
  return state_->settings.Get();
}

void FilterEngine::NoteSwallowed(Phase phase) {
  switch (phase) {
    case Phase::kRequest:
      ++state_->swallowedRequest;
      break;
    case Phase::kBody:
      ++state_->swallowedBody;
      break;
    case Phase::kChunk:
      ++state_->swallowedChunk;
      break;
    case Phase::kLogged:
      ++state_->swallowedLogged;
      break;
  }
}

EngineHealth FilterEngine::Health() const {
  EngineHealth health;
  {
    std::lock_guard lock(state_->outcomeMutex);
    health.lastLoad = state_->lastOutcome;
  }
  health.loads = state_->loads.load();
  health.failedLoads = state_->failedLoads.load();
  health.swallowedLoad = state_->swallowedLoad.load();
  health.swallowedRequest = state_->swallowedRequest.load();
  health.swallowedBody = state_->swallowedBody.load();
  health.swallowedChunk = state_->swallowedChunk.load();
  health.swallowedLogged = state_->swallowedLogged.load();
  return health;
}

}  // namespace orv::filter
