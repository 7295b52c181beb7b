#include "tools/ctl_daemon.h"

#include <algorithm>
#include <csignal>

#include "loganalyzer/log_retention.h"
#include "online/beast_transport.h"
#include "online/client.h"
#include "platform/files.h"
#include "store/filter_settings.h"
#include "store/gbk_text.h"
#include "store/settings_file.h"
#include "store/settings_rules.h"

namespace orv::tools {
namespace {

long DayNumber(const std::tm& local) {
  return (local.tm_year + 1900L) * 10000L + (local.tm_mon + 1L) * 100L + local.tm_mday;
}

// A notice's text on one line, in UTF-8, for the journal.
std::string OneLine(const std::string& gbk) {
  std::string text = store::GbkToUtf8Lossless(gbk);
  std::string line;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      if (!line.empty() && line.back() != ' ') line.push_back(' ');
    } else {
      line.push_back(c);
    }
  }
  return line;
}

}  // namespace

RetentionReport RemoveOldDayFiles(const std::string& logFolder, unsigned days, std::time_t now) {
  const std::tm local = store::LocalTime(now);
  const loganalyzer::RetentionResult result = loganalyzer::RemoveOldDays(
      logFolder, static_cast<int>(std::min<unsigned>(days, 1000000)),
      loganalyzer::CivilDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday});
  RetentionReport report;
  report.removed = result.removed.size();
  for (const loganalyzer::RetentionFailure& failure : result.failed) {
    report.failures.push_back("cannot remove " + store::GbkToUtf8Lossless(failure.path) + ": " +
                              failure.reason);
  }
  return report;
}

KeywordDaemon::KeywordDaemon(std::string directory, online::HttpTransport& transport,
                             ServiceUnits& units, const store::Clock& clock, std::ostream& log,
                             LogRetention retention)
    : directory_(std::move(directory)),
      transport_(transport),
      units_(units),
      clock_(clock),
      log_(log),
      retention_(std::move(retention)) {}

void KeywordDaemon::Log(const std::string& line) {
  log_ << line << std::endl;
}

void KeywordDaemon::Step() {
  try {
    const std::time_t now = clock_.Now();
    const std::tm local = store::LocalTime(now);
    const long today = DayNumber(local);
    const store::SettingsFile settings(files::JoinPath(directory_, store::kSettingsFileName));
    if (today != lastRetentionDay_) {
      lastRetentionDay_ = today;
      Retention(now);
    }
    unsigned long hour = store::ReadsAsNumber(settings.GetAutoHour());
    if (hour > 23) hour = 0;
    if (settings.GetIsAutoWords() && static_cast<unsigned long>(local.tm_hour) == hour &&
        today != lastFetchDay_) {
      lastFetchDay_ = today;
      Fetch();
    }
  } catch (const std::exception& error) {
    Log(std::string("daemon: ") + error.what());
  }
}

void KeywordDaemon::Retention(std::time_t now) {
  const store::SettingsFile settings(files::JoinPath(directory_, store::kSettingsFileName));
  const unsigned long days = store::ReadsAsNumber(settings.GetClearLog());
  const std::string folder = settings.GetLogPath();
  if (days == 0 || folder.empty()) {
    Log("log retention: off (KeyClearLog " + std::to_string(days) +
        (folder.empty() ? ", no KeyLogPath)" : ")"));
    return;
  }
  const RetentionReport report =
      retention_(folder, static_cast<unsigned>(std::min<unsigned long>(days, 1000000)), now);
  Log("log retention: removed " + std::to_string(report.removed) + " day files older than " +
      std::to_string(days) + " days from " + store::GbkToUtf8Lossless(folder));
  for (const std::string& failure : report.failures) Log("log retention: " + failure);
}

void KeywordDaemon::Fetch() {
  const store::SettingsFile settings(files::JoinPath(directory_, store::kSettingsFileName));
  const online::FetchOutcome outcome = online::FetchKeywords(
      settings, files::JoinPath(directory_, store::kDatabaseFileName), transport_);
  if (outcome.notice.kind != online::BoxKind::Information) {
    Log("keyword fetch failed: " + OneLine(outcome.notice.text) +
        (outcome.detail.empty() ? "" : " (" + outcome.detail + ")"));
    return;
  }
  Log("keyword fetch: added " + std::to_string(outcome.denyAdded) + " deny and " +
      std::to_string(outcome.replaceAdded) + " replace keywords" +
      (outcome.refused ? ", refused " + std::to_string(outcome.refused) : std::string()));
  if (!outcome.listsChanged) return;
  const UnitResult reload = units_.Act("try-reload-or-restart", kWebServiceUnit);
  Log(reload.ok ? std::string("reload ") + kWebServiceUnit + ": done"
                : std::string("reload ") + kWebServiceUnit + " failed: " + reload.message);
}

int RunDaemon(const std::string& directory, std::ostream& log) {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
    log << "daemon: cannot block SIGTERM\n";
    return 1;
  }
  online::BeastTransport transport;
  SystemctlUnits units;
  store::SystemClock clock;
  KeywordDaemon daemon(directory, transport, units, clock, log);
  log << "daemon: started for " << directory << std::endl;
  for (;;) {
    daemon.Step();
    const timespec minute{60, 0};
    const int signal = sigtimedwait(&stopSignals, nullptr, &minute);
    if (signal == SIGTERM || signal == SIGINT) break;
  }
  log << "daemon: stopped" << std::endl;
  return 0;
}

}  // namespace orv::tools
