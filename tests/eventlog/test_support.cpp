#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/support/temp_folder.h"

namespace orv::store::testing {

void UseUtcAsLocalTime() {
  setenv("TZ", "UTC", 1);
  tzset();
}

std::vector<std::string> ReadLines(const std::string& path) {
  const std::string bytes = orv::testing::ReadBytes(path);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

bool FileExists(const std::string& path) {
  return std::filesystem::exists(path);
}

}  // namespace orv::store::testing
