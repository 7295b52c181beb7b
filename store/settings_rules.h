// The settings page's rules for each key of "OrvFilter.ini", shared by the console's settings
// page and orvctl: which keys exist, what a typed value is stored as, which values are
// refused, and the page's save in its fixed order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/settings_file.h"

namespace orv::store {

// The key of section "OrvFilter" that `name` names (case-insensitively, as profile strings
// compare), spelled as the file defines it; nothing for an unknown name.
std::optional<std::string_view> FindSettingsKey(std::string_view name);

// Every key, in the order the console writes its defaults (those without one follow).
const std::vector<std::string_view>& AllSettingsKeys();

enum class ValueRule {
  Switch,   // "1" or "0" only
  Hour,     // digits, at most 3; reading outside 0..23 stores "0"
  Days,     // digits; reading as 0 stores "0"
  LogPath,  // an existing directory, longer than 2 bytes
  Text,     // anything on one line
};
ValueRule RuleOf(std::string_view key);

// The leading decimal number a text begins with; 0 when there is none. Saturates instead of
// overflowing.
unsigned long ReadsAsNumber(std::string_view text);

// What the page stores for a typed hour / number of days.
std::string HourToStore(std::string_view typed);
std::string DaysToStore(std::string_view typed);

// A log folder the page accepts: longer than 2 bytes and an existing directory.
bool IsUsableLogPath(std::string_view path);

enum class ValueProblem { None, NotASwitch, NotANumber, NoSuchFolder, LineBreak };

struct CheckedValue {
  ValueProblem problem = ValueProblem::None;
  std::string stored;  // what to write when problem == None
};

// One key typed on its own (orvctl set): the value the page's rule stores, or why it is
// refused.
CheckedValue CheckSettingsValue(std::string_view key, std::string_view typed);

// The fields of the settings page that are stored in the file.
struct SettingsPageFields {
  bool isSystem = false;
  bool isGzip = false;
  bool isLog = false;
  bool isShowWords = false;
  bool isAutoWords = false;
  std::string autoHour;
  std::string clearLog;
  std::string fileType;
  std::string sendWords;
  std::string safeCode;
  std::string logPath;
};

SettingsPageFields LoadSettingsPage(const SettingsFile& file);

// The keys whose values, as the page reads them, differ between two loads: what another
// program changed on disk since the page loaded the file, in the page's save order.
std::vector<std::string_view> ChangedPageKeys(const SettingsPageFields& loaded,
                                              const SettingsPageFields& now);

struct SettingsPageSave {
  // The hour and days as the page shows them after the save (a refused value shows "0").
  std::string shownHour;
  std::string shownDays;
  // The log path was refused: KeyLogPath kept, KeyIsLog written "0".
  bool logPathRefused = false;
  // Keys whose write did not reach the file (the database file when it could not be made).
  std::vector<std::string> failedKeys;

  bool AllWritten() const { return failedKeys.empty(); }
};

// The page's save, key by key in the page's order: the switches, the hour, the days, the
// file types, the message, the safe code, then the log path (or KeyIsLog "0" when the path
// is refused); finally an empty keyword database at `databasePath` when none exists. A
// failed write does not stop the others; each is reported.
SettingsPageSave SaveSettingsPage(SettingsFile& file, const SettingsPageFields& fields,
                                  const std::string& databasePath);

}  // namespace orv::store
