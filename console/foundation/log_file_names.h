// Ordering of the daily log file names ("2012-11-1.log", "orv2012-11-01.log", ...) by date.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orv::console {

// Orders `names` by the date label of each name (lower-cased, "orv" and ".log" removed,
// NormalizeDateText), oldest first, or newest first with `newestFirst`. Names whose label is
// shorter than 4 bytes are dropped; ties keep their arrival order. Returns the names kept.
std::size_t SortLogFileNames(std::vector<std::string>& names, bool newestFirst);

}  // namespace orv::console
