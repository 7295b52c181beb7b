// Removal of old day files: with KeyClearLog N > 0, day files whose name dates them more than
// N days before today are removed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "loganalyzer/log_names.h"

namespace orv::loganalyzer {

struct RetentionFailure {
  std::string path;
  std::string reason;  // the system's message
};

struct RetentionResult {
  std::vector<std::string> removed;  // full paths, oldest first
  std::vector<RetentionFailure> failed;
  bool Ok() const { return failed.empty(); }
};

// Removes one file; false with `reason` set when it could not be removed.
using RemoveFunction = std::function<bool(const std::string& path, std::string& reason)>;

// Removes the day files in `folder` dated more than `keepDays` days before `today` (the date
// the ordering reads from the name: lower-cased, "orv" and ".log" removed). Only regular
// files whose name gives a valid calendar date count; nothing is removed when
// keepDays <= 0 or the folder is not an existing directory. Every failed removal is listed.
RetentionResult RemoveOldDays(const std::string& folder, int keepDays, const CivilDate& today,
                              const RemoveFunction& remove = {});

// Today's local date.
CivilDate LocalToday();

}  // namespace orv::loganalyzer
