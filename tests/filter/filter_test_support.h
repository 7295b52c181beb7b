// Shared pieces of the filter tests: a clock the test sets, a config folder with the two
// files the engine loads, and requests run through the engine on the in-memory host.
#pragma once

#include <atomic>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filter/engine.h"
#include "filter/memory_host.h"
#include "store/clock.h"

namespace orv::filter::testing {

class FakeClock final : public store::Clock {
 public:
  explicit FakeClock(std::time_t start) : now_(start) {}
  std::time_t Now() const override { return now_.load(); }
  void Set(std::time_t t) { now_.store(t); }
  void Advance(std::time_t seconds) { now_.fetch_add(seconds); }

 private:
  std::atomic<std::time_t> now_;
};

// A fresh folder holding OrvFilter.ini, OrvFilter.db and log/; removed afterwards.
class ConfigFolder {
 public:
  ConfigFolder();
  ~ConfigFolder();
  ConfigFolder(const ConfigFolder&) = delete;
  ConfigFolder& operator=(const ConfigFolder&) = delete;

  // The folder, ending with "/".
  const std::string& path() const { return path_; }
  std::string LogFolder() const { return path_ + "log/"; }

  // Writes the settings file: the given keys over a switched-on, logging default.
  void WriteSettings(const std::map<std::string, std::string>& overrides = {});
  // Writes the keyword database; entries joined by "@@".
  void WriteKeywords(std::string_view deny, std::string_view replace = {},
                     std::string_view record = {}, std::string_view free = {});

  // Every line of every day file in log/ (CR LF removed).
  std::vector<std::string> LogLines() const;

 private:
  std::string path_;
};

// The settings every test starts from (values as the file holds them).
std::map<std::string, std::string> DefaultSettings();

// Time of the tests' clock: 2012-10-31 09:05:07 UTC.
inline constexpr std::time_t kTestStart = 1351674307;

// A GET of http://www.example.com/PATH?QUERY from 192.0.2.7 by a Firefox-like browser.
MemoryRequest GetRequest(std::string_view path, std::string_view query = {},
                         std::string_view method = "GET");

// An engine loaded from `folder` as IIS loads it (both version calls).
std::unique_ptr<FilterEngine> LoadEngine(const ConfigFolder& folder,
                                         std::shared_ptr<const FakeClock> clock);

// One raw-data notification.
struct ChunkResult {
  std::uint32_t status = 0;
  std::string chunk;  // as the engine left it
  bool replaced = false;
  std::string written;
  std::vector<std::string> statuses;
};
ChunkResult SendChunk(FilterEngine& engine, MemoryRequest& request, std::string_view chunk,
                      bool failAllocation = false);

// The count of tab-separated fields of a log line.
int FieldCount(std::string_view line);
std::vector<std::string> Fields(std::string_view line);

// "HTTP/1.1 200 OK" head with a charset, then the body.
std::string Page(std::string_view body, std::string_view charset = "gb2312");

// GBK texts used by several tests.
inline constexpr std::string_view kGbkForbidden = "\xBD\xFB\xD3\xEF";           // 禁语
inline constexpr std::string_view kUtf8Forbidden = "\xE7\xA6\x81\xE8\xAF\xAD";  // 禁语
inline constexpr std::string_view kDenyKind = "\xC0\xB9\xBD\xD8";               // 拦截
inline constexpr std::string_view kReplaceKind = "\xCC\xE6\xBB\xBB";            // 替换
inline constexpr std::string_view kRecordKind = "\xBC\xC7\xC2\xBC";             // 记录

}  // namespace orv::filter::testing
