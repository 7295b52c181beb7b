// Shared pieces of the event log tests: UTC as the local time zone (so that local dates are
// predictable) and reading back a day's file.
#pragma once

#include <string>
#include <vector>

namespace orv::store::testing {

// Switches the process to UTC for local-time conversions.
void UseUtcAsLocalTime();

// The file split at CR LF; a missing final CR LF leaves the tail as its own (torn) line.
std::vector<std::string> ReadLines(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace orv::store::testing
