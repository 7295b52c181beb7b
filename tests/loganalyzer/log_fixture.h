// Log lines and folders as the filter leaves them: GBK kinds, tab-separated fields, CR LF.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "tests/support/temp_folder.h"

namespace orv::loganalyzer::testing {

inline constexpr std::string_view kDeny = "\xC0\xB9\xBD\xD8";     // 拦截
inline constexpr std::string_view kReplace = "\xCC\xE6\xBB\xBB";  // 替换
inline constexpr std::string_view kRecord = "\xBC\xC7\xC2\xBC";   // 记录

// One event line without its line break.
inline std::string EventLine(std::string_view time, std::string_view kind,
                             std::string_view key = "word", std::string_view ip = "10.0.0.1",
                             std::string_view url = "www.example.com/a.htm",
                             std::string_view refer = "context") {
  std::string line(time);
  for (std::string_view field : {kind, std::string_view("GET"), key, ip, url, refer}) {
    line.append("\t").append(field);
  }
  return line;
}

using orv::testing::TempFolder;

}  // namespace orv::loganalyzer::testing
