#include "proxy/filter_engine_port.h"

namespace orv::proxy {

FilterEnginePort::FilterEnginePort(std::string settingsDirectory)
    : engine_(std::move(settingsDirectory)) {
  engine_.Start();
  // The event loops must never wait on a settings load or a log file: the hourly reload and
  // every event log write run on the engine's own thread.
  engine_.StartUpkeepThread();
}

bool FilterEnginePort::FilteringOn() const {
  auto settings = engine_.Settings();
  return settings && settings->enabled;
}

namespace {

// Every list whose words the response screen looks for: deny, replace keys and record, in
// both encodings. Free words only let a page through unscreened, so a free word cut in two
// costs nothing but a screen.
std::shared_ptr<const keywords::KeywordStarts> BuildStarts(const store::FilterSettings& settings) {
  auto starts = std::make_shared<keywords::KeywordStarts>();
  for (const store::KeywordSet* set : {&settings.gbk, &settings.utf8}) {
    starts->AddRules(set->deny.rules());
    starts->AddRules(set->replace.list().keys);
    starts->AddRules(set->record.rules());
  }
  starts->Seal();
  return starts;
}

}  // namespace

std::shared_ptr<const keywords::KeywordStarts> FilterEnginePort::StartsFor(
    const store::FilterSettings& settings) {
  {
    std::lock_guard lock(startsMutex_);
    if (starts_ && startsSerial_ == settings.serial) return starts_;
  }
  std::lock_guard build(buildMutex_);
  {
    std::lock_guard lock(startsMutex_);
    if (starts_ && startsSerial_ == settings.serial) return starts_;
  }
  std::shared_ptr<const keywords::KeywordStarts> fresh = BuildStarts(settings);
  std::lock_guard lock(startsMutex_);
  starts_ = fresh;
  startsSerial_ = settings.serial;
  return fresh;
}

std::size_t FilterEnginePort::HeldTail(std::string_view window) {
  const std::shared_ptr<const store::FilterSettings> settings = engine_.Settings();
  if (!settings || !settings->enabled) return 0;
  return StartsFor(*settings)->HeldTail(window);
}

}  // namespace orv::proxy
