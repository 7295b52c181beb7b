#include "tools/ctl_logs.h"

#include <climits>
#include <ostream>

#include "loganalyzer/day_log.h"
#include "loganalyzer/log_index.h"
#include "loganalyzer/log_retention.h"
#include "loganalyzer/log_stats.h"
#include "loganalyzer/log_texts.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "store/filter_settings.h"
#include "store/gbk_text.h"
#include "store/settings_file.h"

namespace orv::tools {
namespace {

using namespace orv::loganalyzer;

constexpr const char* kKindNames[] = {"all", "deny", "replace", "record", "other"};

class LogsCommand {
 public:
  LogsCommand(const CtlLogsArguments& args, bool gbk, const std::string& directory, CtlIo io)
      : args_(args),
        gbk_(gbk),
        io_(io),
        settings_(files::JoinPath(directory, store::kSettingsFileName)) {}

  int Run() {
    folder_ = settings_.GetLogPath();
    if (folder_.empty() || !files::IsDirectory(folder_)) {
      // The log window's own message when the folder is missing.
      io_.err << Shown(Gbk("日志路径：") + folder_ + Gbk(" 不存在，没有日志")) << '\n';
      return kCtlFailed;
    }
    if (args_.action == "days") return Days();
    if (args_.action == "show") return Show();
    if (args_.action == "stats") return Stats();
    return Clean();
  }

 private:
  static std::string Gbk(std::string_view utf8) { return codepage::Utf8ToAnsi(utf8); }

  std::string Shown(std::string_view gbk) const {
    return gbk_ ? std::string(gbk) : store::GbkToUtf8Lossless(gbk);
  }

  int Days() {
    LogIndex index(preselected_);
    index.Scan(folder_);
    io_.out << Shown(DayCountLabel(index.Days().size())) << '\n';
    for (const LogDay& day : index.Days()) {
      io_.out << day.serial << '\t' << Shown(day.label) << '\t' << Shown(day.fileName) << '\n';
    }
    return kCtlDone;
  }

  // Scans with --day as the preselected date; false (after printing "暂无日志.") without days.
  bool ScanWithDay(LogIndex& index) {
    preselected_.label = args_.day;
    if (index.Scan(folder_) == 0) {
      io_.out << Shown(NoLogsText()) << '\n';
      return false;
    }
    return true;
  }

  // Loads the current day; false, with the window's message, when it cannot be read.
  bool LoadCurrent(const LogIndex& index, DayLog& day) {
    const std::string& path = index.CurrentPath();
    if (!files::IsRegularFile(path) || day.Load(path) == DayLog::LoadResult::kCannotOpen) {
      io_.err << Shown(Gbk("日志[") + path + Gbk("]不存在！")) << '\n';
      return false;
    }
    return true;
  }

  int Show() {
    std::string search = args_.search;
    if (!gbk_) {
      store::GbkEncoding encoded = store::Utf8ToGbkStrict(search);
      if (!encoded.ok) {
        io_.err << "orvctl: \"" << encoded.character << "\" cannot be searched for in GBK logs\n";
        return kCtlFailed;
      }
      search = std::move(encoded.gbk);
    }
    LogIndex index(preselected_);
    if (!ScanWithDay(index)) return kCtlDone;
    DayLog day;
    if (!LoadCurrent(index, day)) return kCtlFailed;
    day.SetKind(args_.kind);
    day.SetSearch(search);
    LogPage page = day.Page(1);
    if (args_.pageGiven) {
      // Where the navigation would get to: between the first page and the last.
      const long long last = page.pageCount > 0 ? page.pageCount : 1;
      const long long wanted = args_.page < 1 ? 1 : (args_.page > last ? last : args_.page);
      if (wanted != 1) page = day.Page(static_cast<int>(wanted));
    }
    for (int kind = kKindAll; kind < kKindCount; ++kind) {
      io_.out << (kind == kKindAll ? "" : "\t") << Shown(KindTabLabel(kind, day.Count(kind)));
    }
    io_.out << '\n'
            << Shown(PageSummaryLabel(index.CurrentDate(), page)) << '\n'
            << Shown(PageStatusText(page)) << '\n';
    for (const DisplayRow& row : page.rows) {
      for (std::size_t column = 0; column < row.size(); ++column) {
        io_.out << (column == 0 ? "" : "\t") << Shown(row[column]);
      }
      io_.out << '\n';
    }
    return kCtlDone;
  }

  void PrintRanked(const char* title, const std::vector<RankedText>& ranked) {
    io_.out << title << '\n';
    for (const RankedText& entry : ranked) {
      io_.out << "  " << entry.count << '\t' << Shown(entry.text) << '\n';
    }
  }

  void PrintCounts(const KindCounts& counts) {
    for (std::size_t kind = 0; kind < counts.size(); ++kind) {
      io_.out << '\t' << counts[kind];
    }
    io_.out << '\n';
  }

  int Stats() {
    LogIndex index(preselected_);
    if (!ScanWithDay(index)) return kCtlDone;
    DayLog day;
    if (!LoadCurrent(index, day)) return kCtlFailed;
    const DayStats stats = ComputeDayStats(day);

    io_.out << "day " << Shown(index.CurrentDate()) << '\n';
    io_.out << "kind";
    for (const char* name : kKindNames) io_.out << '\t' << name;
    io_.out << '\n' << "events";
    PrintCounts(stats.totals);
    for (std::size_t hour = 0; hour < stats.perHour.size(); ++hour) {
      io_.out << "hour " << (hour < 10 ? "0" : "") << hour;
      PrintCounts(stats.perHour[hour]);
    }
    io_.out << "without hour\t" << stats.withoutHour << '\n';
    PrintRanked("top keywords", stats.topKeywords);
    PrintRanked("top urls", stats.topUrls);
    PrintRanked("top clients", stats.topClients);

    io_.out << "days";
    for (const char* name : kKindNames) io_.out << '\t' << name;
    io_.out << '\n';
    int unreadable = 0;
    for (const DayTotals& totals : CountDays(index)) {
      io_.out << Shown(totals.label);
      PrintCounts(totals.counts);
      if (!totals.readable) {
        io_.err << "orvctl: cannot read the day " << Shown(totals.label) << '\n';
        ++unreadable;
      }
    }
    return unreadable == 0 ? kCtlDone : kCtlFailed;
  }

  int Clean() {
    // KeyClearLog: the days to keep; its leading digits, as the settings page stores it.
    const std::string value = settings_.GetClearLog();
    long long keep = 0;
    for (std::size_t i = 0; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
      keep = keep * 10 + (value[i] - '0');
      if (keep > INT_MAX) keep = INT_MAX;
    }
    if (keep <= 0) return kCtlDone;
    const RetentionResult result = RemoveOldDays(folder_, static_cast<int>(keep), LocalToday());
    for (const std::string& path : result.removed) {
      io_.out << Shown(path) << '\n';
    }
    for (const RetentionFailure& failure : result.failed) {
      io_.err << "orvctl: cannot remove " << Shown(failure.path) << ": " << failure.reason << '\n';
    }
    return result.Ok() ? kCtlDone : kCtlFailed;
  }

  const CtlLogsArguments& args_;
  bool gbk_;
  CtlIo io_;
  store::SettingsFile settings_;
  std::string folder_;
  PreselectedDay preselected_;
};

}  // namespace

int RunCtlLogs(const CtlLogsArguments& args, bool gbk, const std::string& directory, CtlIo io) {
  return LogsCommand(args, gbk, directory, io).Run();
}

}  // namespace orv::tools
