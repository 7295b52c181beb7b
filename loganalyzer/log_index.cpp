#include "loganalyzer/log_index.h"

#include "loganalyzer/log_names.h"
#include "loganalyzer/log_retention.h"
#include "platform/ascii.h"
#include "platform/files.h"

namespace orv::loganalyzer {

namespace {
std::string WithoutAll(std::string text, std::string_view part) {
  std::size_t at;
  while ((at = text.find(part)) != std::string::npos) {
    text.erase(at, part.size());
  }
  return text;
}

std::string WithTrailingSeparator(const std::string& folder) {
  if (folder.empty() || folder.back() == '/' || folder.back() == '\\') {
    return folder;
  }
  return folder + files::SeparatorOf(folder);
}
}  // namespace

PreselectedDay& SharedPreselectedDay() {
  static PreselectedDay day;
  return day;
}

std::string TodayText() {
  const CivilDate today = LocalToday();
  return std::to_string(today.year) + "-" + std::to_string(today.month) + "-" +
         std::to_string(today.day);
}

LogIndex::LogIndex() : preselected_(&SharedPreselectedDay()) {}

LogIndex::LogIndex(PreselectedDay& preselected) : preselected_(&preselected) {}

int LogIndex::Scan(const std::string& folder) {
  return Scan(folder, TodayText());
}

int LogIndex::Scan(const std::string& folder, std::string_view today) {
  days_.clear();
  currentDate_.clear();
  currentPath_.clear();
  folder_ = WithTrailingSeparator(folder);
  if (folder.empty() || !files::IsDirectory(folder)) {
    return 0;
  }

  const std::vector<std::string> ordered = OrderByDate(ListLogFolder(folder));
  std::vector<LogDay> ascending;
  ascending.reserve(ordered.size());
  int current = -1;
  int serial = 1;
  for (const std::string& diskName : ordered) {
    std::string lower = ascii::Lower(diskName);
    if (lower.find(".log") == std::string::npos || lower.find('-') == std::string::npos) {
      continue;
    }
    std::string label = DateLabel(WithoutAll(lower, ".log"));
    if (label.find('-') == std::string::npos || label.size() <= 3) {
      continue;
    }
    const bool chosen = preselected_->label.empty() ? WithoutAll(lower, ".log") == today
                                                    : label == preselected_->label;
    if (chosen) {
      current = static_cast<int>(ascending.size());
    }
    ascending.push_back(LogDay{serial++, std::move(label), std::move(lower), diskName});
  }
  if (ascending.empty()) {
    return 0;
  }
  if (current < 0) {
    current = static_cast<int>(ascending.size()) - 1;
  }
  currentDate_ = ascending[static_cast<std::size_t>(current)].label;
  currentPath_ = preselected_->path.size() > 2
                     ? preselected_->path
                     : PathOf(ascending[static_cast<std::size_t>(current)]);
  days_.assign(ascending.rbegin(), ascending.rend());
  return static_cast<int>(days_.size());
}

void LogIndex::Select(const LogDay& day) {
  currentDate_ = day.label;
  currentPath_ = PathOf(day);
  preselected_->label = currentDate_;
  preselected_->path = currentPath_;
}

void LogIndex::ForgetCurrent() {
  currentPath_.clear();
  preselected_->label.clear();
  preselected_->path.clear();
}

std::string LogIndex::PathOf(const LogDay& day) const {
  return folder_ + (day.diskName.empty() ? day.fileName : day.diskName);
}

}  // namespace orv::loganalyzer
