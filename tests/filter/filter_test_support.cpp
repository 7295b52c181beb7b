#include "filter_test_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace orv::filter::testing {
namespace fs = std::filesystem;

ConfigFolder::ConfigFolder() {
  static std::atomic<int> sequence{0};
  path_ = (fs::temp_directory_path() /
           ("orv-filter-test-" + std::to_string(::getpid()) + "-" + std::to_string(sequence++)))
              .string();
  fs::remove_all(path_);
  fs::create_directories(path_ + "/log");
  path_ += '/';
}

ConfigFolder::~ConfigFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::map<std::string, std::string> DefaultSettings() {
  return {{"KeyIsSystem", "1"},
          {"KeyIsLog", "1"},
          {"KeySafeCode", "SafeCode9"},
          {"KeyIsGzip", "1"},
          {"KeyIsShowWords", "1"},
          {"KeyFileType", "asp|aspx|php|htm|html"},
          {"KeyHeiUrl", "/secret/|.asp;"},
          {"KeyBaiUrl", "/admin"},
          {"KeyHeiIp", "10.9.9.9"},
          {"KeyBaiIp", "192.0.2.200"},
          {"KeySendWords", ""}};
}

void ConfigFolder::WriteSettings(const std::map<std::string, std::string>& overrides) {
  std::map<std::string, std::string> values = DefaultSettings();
  for (const auto& [key, value] : overrides) values[key] = value;
  std::string text = "[OrvFilter]\r\n";
  for (const auto& [key, value] : values) text += key + "=" + value + "\r\n";
  // Written beside and renamed, so that a reload on another thread never reads half a file.
  std::ofstream(path_ + "OrvFilter.ini.new", std::ios::binary) << text;
  fs::rename(path_ + "OrvFilter.ini.new", path_ + "OrvFilter.ini");
}

void ConfigFolder::WriteKeywords(std::string_view deny, std::string_view replace,
                                 std::string_view record, std::string_view free) {
  std::ostringstream text;
  text << "<OrvKeyDeny>" << deny << "</OrvKeyDeny><OrvKeyRepl>" << replace
       << "</OrvKeyRepl><KeyWordsJilu>" << record << "</KeyWordsJilu><OrvKeyFree>" << free
       << "</OrvKeyFree>";
  std::ofstream(path_ + "OrvFilter.db.new", std::ios::binary) << text.str();
  fs::rename(path_ + "OrvFilter.db.new", path_ + "OrvFilter.db");
}

std::vector<std::string> ConfigFolder::LogLines() const {
  std::vector<std::string> lines;
  for (const auto& entry : fs::directory_iterator(LogFolder())) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
  }
  return lines;
}

MemoryRequest GetRequest(std::string_view path, std::string_view query, std::string_view method) {
  MemoryRequest request;
  request.variables["SERVER_NAME"] = "www.example.com";
  request.variables["SERVER_PORT"] = "80";
  request.variables["URL"] = std::string(path);
  request.variables["QUERY_STRING"] = std::string(query);
  request.variables["REQUEST_METHOD"] = std::string(method);
  request.variables["REMOTE_ADDR"] = "192.0.2.7";
  request.variables["HTTP_USER_AGENT"] = "Mozilla/5.0 (X11; Linux x86_64; rv:120.0) Firefox/120.0";
  return request;
}

std::unique_ptr<FilterEngine> LoadEngine(const ConfigFolder& folder,
                                         std::shared_ptr<const FakeClock> clock) {
  auto engine = std::make_unique<FilterEngine>(folder.path(), std::move(clock));
  FilterVersion filterVersion;
  engine->GetFilterVersion(filterVersion);
  ExtensionVersion extensionVersion;
  engine->GetExtensionVersion(extensionVersion);
  return engine;
}

ChunkResult SendChunk(FilterEngine& engine, MemoryRequest& request, std::string_view chunk,
                      bool failAllocation) {
  MemoryFilterHost host(request);
  host.failAllocation = failAllocation;
  host.SetRawData(chunk);
  ChunkResult result;
  result.status = engine.HttpFilterProc(host, kNotifySendRawData);
  result.chunk = host.Chunk();
  result.replaced = host.ChunkReplaced();
  result.written = host.Written();
  result.statuses = host.Statuses();
  return result;
}

std::vector<std::string> Fields(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t at = 0;
  while (true) {
    const std::size_t tab = line.find('\t', at);
    fields.emplace_back(line.substr(at, tab - at));
    if (tab == std::string_view::npos) break;
    at = tab + 1;
  }
  return fields;
}

int FieldCount(std::string_view line) {
  return static_cast<int>(Fields(line).size());
}

std::string Page(std::string_view body, std::string_view charset) {
  std::string page = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=";
  page += charset;
  page += "\r\n\r\n";
  page += body;
  return page;
}

}  // namespace orv::filter::testing
