// Feeds arbitrary bytes to the day reader as a day file's content (the first line doubles as
// the search text and page choice) and checks what the log window relies on: every line is
// non-empty and holds no line feed, the kind lists add up to at most the all list, pages hold
// at most 50 rows of eight columns numbered from the page's first row, column cuts end on a
// character, and the statistics add up.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "loganalyzer/day_log.h"
#include "loganalyzer/log_names.h"
#include "loganalyzer/log_stats.h"
#include "loganalyzer/log_texts.h"
#include "platform/codepage.h"

namespace {

using namespace orv::loganalyzer;

void Check(bool condition) {
  if (!condition) std::abort();
}

// True when `cut` is a prefix of `text` ending on a character start of `text`.
bool EndsOnCharacter(std::string_view text, std::string_view cut) {
  if (text.substr(0, cut.size()) != cut) return false;
  std::size_t i = 0;
  while (i < cut.size()) {
    i += orv::codepage::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2
                                                                                               : 1;
  }
  return i == cut.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string_view head = input.substr(0, input.find('\n'));
  const std::string_view search = head.substr(0, 8);

  DayLog day;
  day.LoadBytes(std::string(input));
  std::size_t kinds = 0;
  for (int kind = kKindDeny; kind <= kKindOther; ++kind) {
    kinds += day.Count(kind);
    for (std::size_t i = 0; i < day.Count(kind); ++i) {
      Check(ClassifyLine(day.Line(kind, i)) == kind);
    }
  }
  Check(kinds <= day.Count(kKindAll));
  for (std::size_t i = 0; i < day.Count(kKindAll); ++i) {
    const std::string_view line = day.Line(kKindAll, i);
    Check(!line.empty() && line.find('\n') == std::string_view::npos);
  }

  day.SetSearch(search);
  Check(day.Search() == LowerGbk(search));
  for (int kind = 0; kind <= 5; ++kind) {
    day.SetKind(kind);
    const int wanted = head.empty() ? 1 : static_cast<unsigned char>(head[0]) % 5 - 1;
    for (int n : {1, wanted, 2}) {
      const LogPage page = day.Page(n);
      Check(page.rows.size() <= static_cast<std::size_t>(kPageRows));
      Check(page.lastRow - page.firstRow + 1 == static_cast<long long>(page.rows.size()));
      Check(page.allCount == day.Count(kKindAll));
      for (std::size_t r = 0; r < page.rows.size(); ++r) {
        const DisplayRow& row = page.rows[r];
        Check(row[0] == std::to_string(page.firstRow + static_cast<long long>(r)));
        for (std::size_t c = 1; c < row.size(); ++c) {
          Check(row[c].size() >= 1 && row[c].find('\t') == std::string::npos);
          const std::string cut = CutGbk(row[c], kColumnLimits[c]);
          Check(cut.size() <= kColumnLimits[c] && EndsOnCharacter(row[c], cut));
        }
      }
    }
  }

  const DayStats stats = ComputeDayStats(day, 3);
  std::size_t perHour = 0;
  for (const KindCounts& hour : stats.perHour) perHour += hour[kKindAll];
  Check(perHour == stats.totals[kKindAll]);
  Check(stats.totals[kKindAll] + stats.withoutHour == kinds);
  Check(stats.topKeywords.size() <= 3 && stats.topUrls.size() <= 3);

  // The first line as a file name: labels and ordering take any bytes.
  const std::string label = DateLabel(head);
  CivilDate date;
  if (ParseDateLabel(label, date)) Check(date.month >= 1 && date.month <= 12);
  OrderByDate({std::string(head), std::string(search), "2012-1-1.log"});
  return 0;
}
