#include "filter/engine.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "filter/block_pages.h"
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

  // Builds the next record from the current one and publishes it. Loads are serialised so
  // that two reloads cannot each start from the same record and lose the other's result.
  void Load() {
    std::lock_guard lock(loadMutex);
    store::LoadResult result = store::LoadSettings(*settings.Get(), moduleDirectory);
    if (result.logDirectory) log.SetDirectory(*result.logDirectory);
    settings.Publish(std::move(result.settings));
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
      if (reload) {
        try {
          Load();
        } catch (...) {
          // The old record stays; the next due notification tries again.
        }
      }
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

  // The record a notification reads: through the request's memo where the host keeps one,
  // else a reference held in `held` for the notification's length.
  const store::FilterSettings& Current(RequestHost& host,
                                       std::shared_ptr<const store::FilterSettings>& held) {
    if (RequestMemo* memo = host.Memo()) return settings.Current(memo->settings);
    held = settings.Get();
    return *held;
  }

  std::uint32_t Route(FilterHost& host, std::uint32_t notificationType) {
    std::shared_ptr<const store::FilterSettings> held;
    const store::FilterSettings& current = Current(host, held);
    switch (notificationType) {
      case kNotifyPreprocHeaders:
        return worker.ScreenHeaders(current, host);
      case kNotifyUrlMap:
        return worker.ScreenUrl(current, host);
      case kNotifySendRawData:
        return worker.ScreenResponse(current, host);
      case kNotifyLog:
        ReloadIfDue(current);
        return kStatusNextNotification;
      default:
        return kStatusNextNotification;
    }
  }

  const std::string moduleDirectory;
  const std::shared_ptr<const store::Clock> clock;
  store::SettingsSnapshot settings;
  store::EventLog log;
  ScreenWorker worker;
  std::atomic<std::time_t> lastLoad;
  std::atomic<bool> logDirectoryHanded{false};
  std::mutex loadMutex;

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
  try {
    state_->Load();
    state_->log.SetDirectory(state_->settings.Get()->logPath);
    state_->logDirectoryHanded = true;
  } catch (...) {
    // A load that cannot be completed leaves the filter as it was: switched off.
  }
  state_->lastLoad = state_->clock->Now();
  return true;
}

std::uint32_t FilterEngine::HttpFilterProc(FilterHost& host, std::uint32_t notificationType) {
  // The filter fails open: whatever goes wrong while screening, the request goes on as it was.
  try {
    return state_->Route(host, notificationType);
  } catch (...) {
    return kStatusNextNotification;
  }
}

bool FilterEngine::GetExtensionVersion(ExtensionVersion& version) {
  version.extensionVersion = kExtensionVersion;
  version.description = std::string(kExtensionDescription);
  try {
    state_->Load();
    state_->HandLogDirectoryOnce();
  } catch (...) {
  }
  return true;
}

std::uint32_t FilterEngine::HttpExtensionProc(ExtensionHost& host) {
  try {
    std::shared_ptr<const store::FilterSettings> held;
    return state_->worker.ScreenBody(state_->Current(host, held), host);
  } catch (...) {
    return ScreenWorker::HandOn(host);
  }
}

bool FilterEngine::TerminateExtension() {
  // The host may end its process right after this call without unloading the module: every
  // line still in memory is written now, also when another thread is in the middle of a write.
  state_->log.WriteAll();
  return true;
}

void FilterEngine::Reload() {
  try {
    state_->Load();
  } catch (...) {
  }
  state_->lastLoad = state_->clock->Now();
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

}  // namespace orv::filter
