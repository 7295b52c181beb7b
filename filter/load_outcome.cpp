#include "filter/load_outcome.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace orv::filter {
namespace {

// Empty when the file opens for reading; else the system's reason.
std::string OpenProblem(const std::string& path) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file != nullptr) {
    std::fclose(file);
    return {};
  }
  const int error = errno;
  return error != 0 ? std::strerror(error) : "unknown error";
}

LoadOutcome Failed(std::string_view fileName, std::string_view reason) {
  std::string text(fileName);
  text += ": ";
  text += reason;
  return {false, std::move(text)};
}

}  // namespace

LoadOutcome CheckLoadedFiles(const store::FilterSettings& loaded,
                             std::string_view moduleDirectory) {
  if (moduleDirectory.empty()) return Failed(store::kSettingsFileName, "no folder to read it from");
  if (std::string problem = OpenProblem(loaded.settingsPath); !problem.empty()) {
    return Failed(store::kSettingsFileName, "cannot open: " + problem);
  }
  if (loaded.enabled) {
    if (std::string problem = OpenProblem(loaded.databasePath); !problem.empty()) {
      return Failed(store::kDatabaseFileName, "cannot open: " + problem);
    }
  }
  return {};
}

}  // namespace orv::filter
