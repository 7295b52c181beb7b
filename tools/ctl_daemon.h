// `orvctl daemon`, the background service (systemd unit orvfilter): the daily keyword fetch
// in hour KeyAutoHour when KeyIsAutoWords is "1", followed by a reload of the web service when
// something was added, and the daily log retention of KeyClearLog. The settings are read
// afresh for every look at the clock; every action writes one line to the log (the journal).
#pragma once

#include <ctime>
#include <functional>
#include <ostream>
#include <string>

#include "online/transport.h"
#include "store/clock.h"
#include "tools/service_units.h"

namespace orv::tools {

struct RetentionReport {
  std::size_t removed = 0;
  std::vector<std::string> failures;  // one message per day file that could not be removed
};

// Removes the day files of `logFolder` older than `days` days before the local date of `now`.
using LogRetention =
    std::function<RetentionReport(const std::string& logFolder, unsigned days, std::time_t now)>;

// The retention the daemon uses unless told otherwise: the log analyzer's, on the local date
// of `now`.
RetentionReport RemoveOldDayFiles(const std::string& logFolder, unsigned days, std::time_t now);

class KeywordDaemon {
 public:
  KeywordDaemon(std::string directory, online::HttpTransport& transport, ServiceUnits& units,
                const store::Clock& clock, std::ostream& log,
                LogRetention retention = RemoveOldDayFiles);

  // One look at the clock: the retention on the first look of each local day, the fetch on
  // the first look of each day that falls in hour KeyAutoHour while KeyIsAutoWords is "1".
  // Nothing thrown; failures are logged and the next day tries again.
  void Step();

 private:
  void Retention(std::time_t now);
  void Fetch();
  void Log(const std::string& line);

  std::string directory_;
  online::HttpTransport& transport_;
  ServiceUnits& units_;
  const store::Clock& clock_;
  std::ostream& log_;
  LogRetention retention_;
  long lastRetentionDay_ = -1;
  long lastFetchDay_ = -1;
};

// Steps the daemon once a minute until SIGTERM or SIGINT. Returns the exit status.
int RunDaemon(const std::string& directory, std::ostream& log);

}  // namespace orv::tools
