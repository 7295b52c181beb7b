// What the console's windows share for the whole run: where its files are, the settings file,
// the keyword database in memory, and the status line and version mark that pages and worker
// threads hand to the main window.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "store/keyword_database.h"
#include "store/settings_file.h"

namespace orv::console {

class ConsoleState {
 public:
  // `appDirectory` gets a trailing separator when it has none.
  explicit ConsoleState(std::string appDirectory);

  const std::string& AppDirectory() const { return appDirectory_; }
  const std::string& SettingsPath() const { return settingsPath_; }
  const std::string& DatabasePath() const { return databasePath_; }
  store::SettingsFile& Settings() { return settings_; }
  store::KeywordDatabase& Database() { return database_; }

  // Status line (GBK) for the main window's title; "0" asks for the status to be cleared.
  // Pages and worker threads set it; the window reads it on its timer.
  void SetStatusText(std::string text);
  std::string StatusText() const;
  // The title's half of the hand-over: empties a "0", then, when the status differs from
  // `shown`, copies it there and returns true (the title must change).
  bool UpdateShownStatus(std::string& shown);

  // One-shot mark behind the version label (GBK), taken (and emptied) when shown.
  void SetVersionMark(std::string mark);
  std::string TakeVersionMark();

  // Set by the online fetch, polled by the replace page.
  std::atomic<bool> replaceListChanged{false};

 private:
  std::string appDirectory_;
  std::string settingsPath_;
  std::string databasePath_;
  store::SettingsFile settings_;
  store::KeywordDatabase database_;

  mutable std::mutex mutex_;
  std::string statusText_;
  std::string versionMark_;
};

}  // namespace orv::console
