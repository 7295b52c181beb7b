// The log days of a log folder: which day files there are, their order and date labels, and
// which day is shown. Names and labels are GBK byte strings as the folder holds them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orv::loganalyzer {

// One day file of the log folder.
struct LogDay {
  int serial = 0;        // 1 for the oldest accepted day, counting up by date
  std::string label;     // "yyyy-mm-dd"
  std::string fileName;  // the file's name lower-cased, ".log" included (what lists show)
  std::string diskName;  // the name exactly as the folder holds it (what paths are built from)
};

// The day the administrator chose last. It outlives the log window: the log list page sets it
// before opening the window, every explicit day choice in the window stores it, and deleting
// the shown day empties it.
struct PreselectedDay {
  std::string label;  // date label, matched exactly against the days' labels
  std::string path;   // full path; used as the shown day's path when longer than 2 bytes
};

// The process-wide preselected day the console's pages share.
PreselectedDay& SharedPreselectedDay();

// The local date as "year-month-day" without leading zeros ("2012-11-1"), the way the filter
// names its day files.
std::string TodayText();

class LogIndex {
 public:
  // Uses the process-wide preselected day.
  LogIndex();
  // Uses `preselected` (which must outlive the index) instead; for tests and tools.
  explicit LogIndex(PreselectedDay& preselected);

  // Lists the day files of `folder`, orders and labels them and picks the current day:
  // the preselected label when it names a day, else the file named `today` ("2012-11-1",
  // TodayText() for the one-argument form), else the newest day. The current path is the
  // preselected path when it is longer than 2 bytes, else folder + the current day's file.
  // Only names are read, never the files. Replaces the previous list; returns the day count
  // (0 when the folder is not an existing directory).
  int Scan(const std::string& folder);
  int Scan(const std::string& folder, std::string_view today);

  // Newest first.
  const std::vector<LogDay>& Days() const { return days_; }
  // The scanned folder, ending with a separator.
  const std::string& Folder() const { return folder_; }
  const std::string& CurrentDate() const { return currentDate_; }
  const std::string& CurrentPath() const { return currentPath_; }

  // Makes `day` current (label from the day, path = folder + its file) and stores both as the
  // preselected day.
  void Select(const LogDay& day);
  // After the shown day was deleted: empties the current path and the preselected day.
  void ForgetCurrent();

  // Full path of a day's file in the scanned folder.
  std::string PathOf(const LogDay& day) const;

 private:
  PreselectedDay* preselected_;
  std::string folder_;
  std::vector<LogDay> days_;
  std::string currentDate_;
  std::string currentPath_;
};

}  // namespace orv::loganalyzer
