// Log lines and folders as the filter leaves them: GBK kinds, tab-separated fields, CR LF.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

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

class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> sequence{0};
    path_ = std::filesystem::temp_directory_path() /
            ("orv-loganalyzer-" + std::to_string(::getpid()) + "-" + std::to_string(sequence++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string Path() const { return path_.string(); }
  std::string File(std::string_view name) const { return (path_ / name).string(); }
  void Write(std::string_view name, std::string_view bytes) const {
    std::ofstream(path_ / name, std::ios::binary).write(bytes.data(), std::ssize(bytes));
  }

 private:
  std::filesystem::path path_;
};

}  // namespace orv::loganalyzer::testing
