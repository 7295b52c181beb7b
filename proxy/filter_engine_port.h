// The real screening engine behind orvproxy: a FilterEngine loaded as IIS loads OrvFilter,
// through both version calls.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "filter/engine.h"
#include "keywords/keyword_starts.h"
#include "proxy/screening_engine.h"

namespace orv::proxy {

class FilterEnginePort final : public ScreeningEngine {
 public:
  explicit FilterEnginePort(std::string settingsDirectory);

  std::uint32_t HttpFilterProc(filter::FilterHost& host, std::uint32_t notificationType) override {
    return engine_.HttpFilterProc(host, notificationType);
  }
  std::uint32_t HttpExtensionProc(filter::ExtensionHost& host) override {
    return engine_.HttpExtensionProc(host);
  }
  void Reload() override { engine_.Reload(); }
  void FlushLog() override { engine_.FlushLog(); }
  bool FilteringOn() const override;
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
