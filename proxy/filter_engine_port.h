// The real screening engine behind orvproxy: a FilterEngine whose phases it forwards, with its
// upkeep on a thread of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "filter/engine.h"
#include "keywords/keyword_starts.h"
#include "proxy/screening_engine.h"

namespace orv::proxy {

class FilterEnginePort final : public ScreeningEngine {
 public:
  explicit FilterEnginePort(std::string settingsDirectory);

  filter::RequestResult RequestPhase(const filter::RequestDescription& request,
                                     filter::RequestMemo& memo) override {
    return engine_.RequestPhase(request, &memo);
  }
  filter::BodyResult BodyPhase(const filter::RequestDescription& request,
                               filter::RequestMemo& memo) override {
    return engine_.BodyPhase(request, &memo);
  }
  filter::ChunkResult ChunkPhase(const filter::RequestDescription& request, std::string_view chunk,
                                 filter::RequestMemo& memo) override {
    return engine_.ChunkPhase(request, chunk, &memo);
  }
  void LoggedPhase(filter::RequestMemo& memo) override { engine_.LoggedPhase(&memo); }

  filter::LoadOutcome Reload() override { return engine_.Reload(); }
  void FlushLog() override { engine_.FlushLog(); }
  bool FilteringOn() const override;
  filter::EngineHealth Health() const override { return engine_.Health(); }
  std::size_t HeldTail(std::string_view window) override;

 private:
  // The index of keyword starts for the settings record in force, built once per record.
  std::shared_ptr<const keywords::KeywordStarts> StartsFor(const store::FilterSettings& settings);

  filter::FilterEngine engine_;
  std::mutex startsMutex_;  // guards the two below: one pointer copy per use
  std::shared_ptr<const keywords::KeywordStarts> starts_;
  std::uint64_t startsSerial_ = 0;
  std::mutex buildMutex_;  // one thread builds a new record's index; the others wait for it
};

}  // namespace orv::proxy
