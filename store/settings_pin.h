// A reader's hold on the published settings record across several reads, such as the
// notifications of one request (see SettingsSnapshot::Current). Kept apart from the record's
// own header so that a host can keep one without taking in the settings.
#pragma once

#include <cstdint>
#include <memory>

namespace orv::store {

struct FilterSettings;

struct SettingsPin {
  std::shared_ptr<const FilterSettings> record;
  std::uint64_t generation = 0;  // the snapshot's generation `record` was taken at; 0: none
};

}  // namespace orv::store
