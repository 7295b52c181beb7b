// Random bytes as a settings file: reads never fail or crash, and a key written into any
// file reads back as written while every other key keeps its value.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/profile.h"

namespace {

// One file per process, removed when the fuzzer exits.
struct ScratchFile {
  ScratchFile() {
    // tmpfs where there is one: every write flushes the file to its device.
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? "/dev/shm"
                                           : std::filesystem::temp_directory_path();
    path = (base / ("orv-fuzz-profile-" + std::to_string(::getpid()) + ".ini")).string();
  }
  ~ScratchFile() {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
  std::string path;
};

const char* const kKeys[] = {"KeyIsSystem", "keyissystem", "KeySendWords", "A", "", " B "};
const char* const kSections[] = {"OrvFilter", "orvfilter", "S", " S "};

// Names as the profile compares them: blanks around dropped, ASCII case folded.
std::string Normalized(std::string_view name) {
  std::string out;
  for (const char c : name) {
    if (c != ' ') out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static const ScratchFile scratch;
  const std::string& file = scratch.path;
  const std::string_view section = kSections[data[0] % 4];
  const std::string_view key = kKeys[(data[0] >> 2) % 6];
  const std::string_view otherKey = kKeys[(data[0] >> 5) % 6];
  // The value is the last data[1] % 32 bytes; the file is the rest.
  const std::size_t valueSize = std::min<std::size_t>(data[1] % 32, size - 2);
  const std::string contents(reinterpret_cast<const char*>(data) + 2, size - 2 - valueSize);
  std::string value(reinterpret_cast<const char*>(data) + size - valueSize, valueSize);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << contents;

  const std::string before = orv::profile::ReadProfileString(file, section, otherKey);
  if (before.size() > orv::profile::kMaxProfileValue) std::abort();

  const bool storable =
      value.find_first_of("\r\n") == std::string::npos &&
      (value.empty() || (value.front() != ' ' && value.front() != '\t' && value.front() != '"' &&
                         value.back() != ' ' && value.back() != '\t' && value.back() != '"'));
  const bool written = orv::profile::WriteProfileString(file, section, key, value);
  if (written) {
    if (storable && orv::profile::ReadProfileString(file, section, key) != value) std::abort();
    const std::string after = orv::profile::ReadProfileString(file, section, otherKey);
    if (Normalized(otherKey) != Normalized(key) && after != before) std::abort();
  } else if (value.find_first_of("\r\n") == std::string::npos && !Normalized(key).empty()) {
    // A valid name and value can only fail on the file system.
    std::abort();
  }
  return 0;
}
