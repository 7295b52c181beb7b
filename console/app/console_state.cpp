#include "console/app/console_state.h"

namespace orv::console {

namespace {
std::string WithSeparator(std::string directory) {
  if (directory.empty() || (directory.back() != '/' && directory.back() != '\\')) {
    directory += '/';
  }
  return directory;
}
}  // namespace

ConsoleState::ConsoleState(std::string appDirectory)
    : appDirectory_(WithSeparator(std::move(appDirectory))),
      settingsPath_(appDirectory_ + "OrvFilter.ini"),
      databasePath_(appDirectory_ + "OrvFilter.db"),
      settings_(settingsPath_) {}

void ConsoleState::SetStatusText(std::string text) {
  std::lock_guard lock(mutex_);
  statusText_ = std::move(text);
}

std::string ConsoleState::StatusText() const {
  std::lock_guard lock(mutex_);
  return statusText_;
}

bool ConsoleState::UpdateShownStatus(std::string& shown) {
  std::lock_guard lock(mutex_);
  if (statusText_.empty()) {
    return false;
  }
  if (statusText_ == "0") {
    statusText_.clear();
  }
  if (statusText_ == shown) {
    return false;
  }
  shown = statusText_;
  return true;
}

void ConsoleState::SetVersionMark(std::string mark) {
  std::lock_guard lock(mutex_);
  versionMark_ = std::move(mark);
}

std::string ConsoleState::TakeVersionMark() {
  std::lock_guard lock(mutex_);
  std::string mark;
  mark.swap(versionMark_);
  return mark;
}

}  // namespace orv::console
