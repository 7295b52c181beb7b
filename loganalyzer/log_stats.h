// Figures for the statistics view: when and where events happened on one day, and how many of
// each kind there were on each day of the folder.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "loganalyzer/day_log.h"
#include "loganalyzer/log_index.h"

namespace orv::loganalyzer {

// Counts per event kind, indexed by LogKind: [kKindAll] is every counted line, then deny,
// replace, record and other.
using KindCounts = std::array<std::size_t, kKindCount>;

// One entry of a top list: a key, URL or client address (GBK) and how many events name it.
struct RankedText {
  std::string text;
  std::size_t count = 0;
};

inline constexpr std::size_t kTopEntries = 10;

struct DayStats {
  // Events (lines with at least four fields) per hour of their time field, by kind; [h][0] is
  // the hour's total.
  std::array<KindCounts, 24> perHour{};
  // Events whose time field holds no readable hour; counted in neither perHour nor the totals.
  std::size_t withoutHour = 0;
  // Events by kind over the whole day.
  KindCounts totals{};
  // Most frequent first, at most kTopEntries each; equal counts in byte order of the text.
  // Keywords are the rules of the key column, split at ","; URLs and client addresses are
  // the row's columns as shown. Only lines that make a row count here.
  std::vector<RankedText> topKeywords;
  std::vector<RankedText> topUrls;
  std::vector<RankedText> topClients;
};

// The figures of the loaded day (all of it, whatever the day's kind and search selection).
DayStats ComputeDayStats(const DayLog& day, std::size_t topEntries = kTopEntries);

// One day's counts across the folder.
struct DayTotals {
  std::string label;
  KindCounts counts{};   // [kKindAll]: non-empty lines, as the kind tab shows it
  bool readable = true;  // false when the file could not be opened (counts all 0)
};

// Called after each day with the days done and the days in all; return false to stop (the days
// done so far are returned).
using DaysProgress = std::function<bool(std::size_t done, std::size_t total)>;

// Counts of each day of the index, oldest first. Each file is read in pieces, never whole.
std::vector<DayTotals> CountDays(const LogIndex& index, const DaysProgress& progress = {});

// The counts of one day file, read in pieces; false when it cannot be opened.
bool CountDayFile(const std::string& path, KindCounts& counts);

}  // namespace orv::loganalyzer
