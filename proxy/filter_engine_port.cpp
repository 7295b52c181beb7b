#include "proxy/filter_engine_port.h"

namespace orv::proxy {

FilterEnginePort::FilterEnginePort(std::string settingsDirectory)
    : engine_(std::move(settingsDirectory)) {
  filter::FilterVersion filterVersion;
  engine_.GetFilterVersion(filterVersion);
  filter::ExtensionVersion extensionVersion;
  engine_.GetExtensionVersion(extensionVersion);
}

bool FilterEnginePort::FilteringOn() const {
  auto settings = engine_.Settings();
  return settings && settings->enabled;
}

}  // namespace orv::proxy
