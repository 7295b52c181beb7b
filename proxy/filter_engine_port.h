// The real screening engine behind orvproxy: a FilterEngine loaded as IIS loads OrvFilter,
// through both version calls.
#pragma once

#include <string>

#include "filter/engine.h"
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

 private:
  filter::FilterEngine engine_;
};

}  // namespace orv::proxy
