// A log folder of GBK day files for the log windows' tests, and a desktop that records what
// the windows ask of it.
#pragma once

#include <QString>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "loganalyzer/ui/log_desktop.h"
#include "page_fixture.h"

namespace orv::console::testing {

inline const std::string kDenyWord = "\xC0\xB9\xBD\xD8";     // 拦截
inline const std::string kReplaceWord = "\xCC\xE6\xBB\xBB";  // 替换
inline const std::string kRecordWord = "\xBC\xC7\xC2\xBC";   // 记录

struct Event {
  int hour = 9;
  std::string kind = kDenyWord;
  std::string key = "casino";
  std::string ip = "10.0.0.1";
  std::string url = "www.example.com/a.htm";
  std::string refer = "context";
};

// "2025-3-7 09:15:00\t拦截\tGET\tkey\tip\turl\trefer" and CR LF, as the filter writes it.
inline std::string EventLine(const std::string& day, const Event& event) {
  const std::string hour = (event.hour < 10 ? "0" : "") + std::to_string(event.hour);
  return day + " " + hour + ":15:00\t" + event.kind + "\tGET\t" + event.key + "\t" + event.ip +
         "\t" + event.url + "\t" + event.refer + "\r\n";
}

class LogFolder {
 public:
  explicit LogFolder(const std::string& path) : path_(path + "log/") {
    std::filesystem::create_directories(path_);
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + name; }
  // Writes `day` ("2025-3-7") with the events, in order.
  void WriteDay(const std::string& day, const std::vector<Event>& events) const {
    std::string bytes;
    for (const Event& event : events) bytes += EventLine(day, event);
    WriteBytes(File(day + ".log"), bytes);
  }
  // `count` deny events numbered in their key ("k1", "k2", ...).
  void WriteNumberedDay(const std::string& day, int count) const {
    std::vector<Event> events(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
      events[static_cast<std::size_t>(i)].key = "k" + std::to_string(i + 1);
    WriteDay(day, events);
  }

 private:
  std::string path_;
};

class FakeLogDesktop : public loganalyzer::LogDesktop {
 public:
  bool clipboardWorks = true;
  std::vector<std::string> copied;
  std::set<std::string> refused;  // paths whose move to the trash fails
  std::vector<std::string> trashed;
  std::vector<std::string> shown;
  std::vector<std::string> openedFolders;

  bool CopyText(std::string_view gbkText) override {
    if (!clipboardWorks) return false;
    copied.emplace_back(gbkText);
    return true;
  }
  bool MoveToTrash(const std::string& path, QString& reason) override {
    if (refused.count(path) != 0) {
      reason = QStringLiteral("权限不够");
      return false;
    }
    trashed.push_back(path);
    std::filesystem::remove(path);
    return true;
  }
  void ShowInFolder(const std::string& filePath) override { shown.push_back(filePath); }
  void OpenFolder(const std::string& folder) override { openedFolders.push_back(folder); }
};

}  // namespace orv::console::testing
