#include "loganalyzer/log_retention.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/ascii.h"
#include "platform/files.h"

namespace orv::loganalyzer {

namespace {
bool RemoveFile(const std::string& path, std::string& reason) {
  std::error_code error;
  if (std::filesystem::remove(path, error)) {
    return true;
  }
  reason = error ? error.message() : "the file no longer exists";
  return false;
}

std::string WithoutAll(std::string text, std::string_view part) {
  std::size_t at;
  while ((at = text.find(part)) != std::string::npos) {
    text.erase(at, part.size());
  }
  return text;
}
}  // namespace

RetentionResult RemoveOldDays(const std::string& folder, int keepDays, const CivilDate& today,
                              const RemoveFunction& remove) {
  RetentionResult result;
  if (keepDays <= 0 || folder.empty() || !files::IsDirectory(folder)) {
    return result;
  }
  const long long cutoff = DaysSinceEpoch(today) - keepDays;
  for (const std::string& name : OrderByDate(ListLogFolder(folder))) {
    CivilDate date;
    const std::string lower = ascii::Lower(name);
    if (!ParseDateLabel(DateLabel(WithoutAll(WithoutAll(lower, "orv"), ".log")), date) ||
        DaysSinceEpoch(date) >= cutoff) {
      continue;
    }
    const std::string path = files::JoinPath(folder, name);
    if (!files::IsRegularFile(path)) {
      continue;
    }
    std::string reason;
    if (remove ? remove(path, reason) : RemoveFile(path, reason)) {
      result.removed.push_back(path);
    } else {
      result.failed.push_back(RetentionFailure{path, reason.empty() ? "not removed" : reason});
    }
  }
  return result;
}

CivilDate LocalToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return CivilDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace orv::loganalyzer
