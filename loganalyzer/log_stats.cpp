#include "loganalyzer/log_stats.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

namespace orv::loganalyzer {

namespace {
// Counts of texts that live in the day's buffer. An open-addressing table of views: a day can
// hold a million distinct URLs, and a node per entry would cost more than the counting.
class Tally {
 public:
  void Add(std::string_view text) {
    if ((used_ + 1) * 2 > slots_.size()) {
      Grow();
    }
    const std::size_t hash = std::hash<std::string_view>{}(text);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot& slot = slots_[i];
      if (slot.count == 0) {
        slot = Slot{text, hash, 1};
        ++used_;
        return;
      }
      if (slot.hash == hash && slot.text == text) {
        ++slot.count;
        return;
      }
    }
  }

  // Most frequent first, equal counts in byte order of the text.
  std::vector<RankedText> Top(std::size_t entries) const {
    std::vector<const Slot*> best;
    const auto before = [](const Slot* a, const Slot* b) {
      return a->count != b->count ? a->count > b->count : a->text < b->text;
    };
    for (const Slot& slot : slots_) {
      if (slot.count == 0 || entries == 0) {
        continue;
      }
      if (best.size() == entries && !before(&slot, best.back())) {
        continue;
      }
      best.insert(std::upper_bound(best.begin(), best.end(), &slot, before), &slot);
      if (best.size() > entries) {
        best.pop_back();
      }
    }
    std::vector<RankedText> top;
    top.reserve(best.size());
    for (const Slot* slot : best) {
      top.push_back(RankedText{std::string(slot->text), slot->count});
    }
    return top;
  }

 private:
  struct Slot {
    std::string_view text;
    std::size_t hash = 0;
    std::size_t count = 0;  // 0: free
  };

  void Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.count == 0) {
        continue;
      }
      std::size_t i = slot.hash & mask;
      while (slots_[i].count != 0) {
        i = (i + 1) & mask;
      }
      slots_[i] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::size_t used_ = 0;
};

// The hour of a time field "2012-10-31 9:5:7": the number after the first space; -1 when
// there is none or it is not 0..23.
int HourOf(std::string_view line) {
  const std::size_t tab = line.find('\t');
  std::string_view time = line.substr(0, tab);
  const std::size_t space = time.find(' ');
  if (space == std::string_view::npos) {
    return -1;
  }
  time.remove_prefix(space + 1);
  int hour = 0;
  std::size_t digits = 0;
  for (; digits < time.size() && digits < 3 && time[digits] >= '0' && time[digits] <= '9';
       ++digits) {
    hour = hour * 10 + (time[digits] - '0');
  }
  if (digits == 0 || digits > 2 || hour > 23) {
    return -1;
  }
  return hour;
}

// The pieces between tabs of at least 2 bytes, as a shown row takes them; false below six.
bool RowFields(std::string_view line, std::array<std::string_view, 6>& fields) {
  std::size_t count = 0;
  std::size_t start = 0;
  while (start <= line.size() && count < fields.size()) {
    std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      tab = line.size();
    }
    if (tab - start >= 2) {
      fields[count++] = line.substr(start, tab - start);
    }
    start = tab + 1;
  }
  return count == fields.size();
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

void CountLine(std::string_view line, KindCounts& counts) {
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  if (line.empty()) {
    return;
  }
  ++counts[kKindAll];
  const int kind = ClassifyLine(line);
  if (kind != kKindAll) {
    ++counts[static_cast<std::size_t>(kind)];
  }
}
}  // namespace

DayStats ComputeDayStats(const DayLog& day, std::size_t topEntries) {
  DayStats stats;
  Tally keywords;
  Tally urls;
  Tally clients;
  std::array<std::string_view, 6> fields;
  for (int kind = kKindDeny; kind <= kKindOther; ++kind) {
    const std::size_t count = day.Count(kind);
    const auto slot = static_cast<std::size_t>(kind);
    for (std::size_t i = 0; i < count; ++i) {
      const std::string_view line = day.Line(kind, i);
      const int hour = HourOf(line);
      if (hour < 0) {
        ++stats.withoutHour;
        continue;
      }
      auto& hourCounts = stats.perHour[static_cast<std::size_t>(hour)];
      ++hourCounts[slot];
      ++hourCounts[kKindAll];
      ++stats.totals[slot];
      ++stats.totals[kKindAll];
      if (!RowFields(line, fields)) {
        continue;
      }
      // Key column: the matched rules joined by ",".
      std::string_view keys = fields[3];
      while (!keys.empty()) {
        const std::size_t comma = keys.find(',');
        const std::string_view rule = keys.substr(0, comma);
        if (!rule.empty()) {
          keywords.Add(rule);
        }
        if (comma == std::string_view::npos) {
          break;
        }
        keys.remove_prefix(comma + 1);
      }
      clients.Add(fields[4]);
      urls.Add(fields[5]);
    }
  }
  stats.topKeywords = keywords.Top(topEntries);
  stats.topUrls = urls.Top(topEntries);
  stats.topClients = clients.Top(topEntries);
  return stats;
}

bool CountDayFile(const std::string& path, KindCounts& counts) {
  counts = {};
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    return false;
  }
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    return false;
  }
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  std::vector<char> chunk(kChunk);
  std::string partial;  // a line cut by the end of a chunk
  std::size_t got;
  while ((got = std::fread(chunk.data(), 1, kChunk, file.get())) > 0) {
    std::string_view rest(chunk.data(), got);
    std::size_t newline;
    while ((newline = rest.find('\n')) != std::string_view::npos) {
      if (partial.empty()) {
        CountLine(rest.substr(0, newline), counts);
      } else {
        partial.append(rest.substr(0, newline));
        CountLine(partial, counts);
        partial.clear();
      }
      rest.remove_prefix(newline + 1);
    }
    partial.append(rest);
    if (got < kChunk) {
      break;
    }
  }
  // The last line without a line break; a CR at its very end is kept, as a whole read keeps it.
  if (!partial.empty()) {
    ++counts[kKindAll];
    const int kind = ClassifyLine(partial);
    if (kind != kKindAll) {
      ++counts[static_cast<std::size_t>(kind)];
    }
  }
  return true;
}

std::vector<DayTotals> CountDays(const LogIndex& index, const DaysProgress& progress) {
  std::vector<DayTotals> totals;
  const auto& days = index.Days();
  totals.reserve(days.size());
  for (auto it = days.rbegin(); it != days.rend(); ++it) {
    DayTotals day;
    day.label = it->label;
    day.readable = CountDayFile(index.PathOf(*it), day.counts);
    totals.push_back(std::move(day));
    if (progress && !progress(totals.size(), days.size())) {
      break;
    }
  }
  return totals;
}

}  // namespace orv::loganalyzer
