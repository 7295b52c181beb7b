// Drives the event log writer with arbitrary lines and an arbitrary order of events (repeats,
// forced flushes, the flush clock, days passing, the log folder vanishing) and checks its
// bookkeeping: every written line is one that was added, each batch is whole lines ended by
// CR LF, and every line added is either written by the time the writer is gone or counted as
// dropped.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "store/clock.h"
#include "store/event_log.h"

namespace {

using orv::store::EventLog;

class SteppedClock final : public orv::store::Clock {
 public:
  std::time_t Now() const override { return now; }
  std::time_t now = 1351674307;  // a weekday morning in 2012
};

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  // A line of up to 63 bytes; CR and LF never reach the writer (the line builder removes them).
  std::string Line() {
    std::string line;
    for (std::size_t n = Byte() % 64; n > 0 && size > 0; --n) {
      const char c = static_cast<char>(Byte());
      line += (c == '\r' || c == '\n') ? ' ' : c;
    }
    return line;
  }
};

const std::string& ExistingFolder() {
  static const std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "orv-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return folder;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
  auto clock = std::make_shared<SteppedClock>();
  std::map<std::string, long> balance;  // added minus written, per line
  std::size_t added = 0;
  std::size_t written = 0;
  const auto append = [&](const std::string&, std::string_view text) {
    Check(text.size() >= 2 && text.substr(text.size() - 2) == "\r\n");
    while (!text.empty()) {
      const std::size_t end = text.find("\r\n");
      Check(end != std::string_view::npos);
      Check(--balance[std::string(text.substr(0, end))] >= 0);
      ++written;
      text.remove_prefix(end + 2);
    }
    return true;
  };

  std::size_t dropped = 0;
  {
    EventLog log(clock, append);
    log.SetDirectory(ExistingFolder());
    while (in.size > 0) {
      switch (in.Byte() % 8) {
        case 0:
        case 1:
        case 2: {
          // Matched list and URL are pieces of the line, so that repeats happen.
          const std::string line = in.Line();
          const std::size_t cut = line.empty() ? 0 : in.Byte() % line.size();
          const std::string matched = line.substr(0, cut % 5);
          const std::string url = line.substr(cut, in.Byte() % 8);
          const bool force = in.Byte() % 16 == 0;
          log.Add(force, line, matched, url);
          if (!line.empty()) {
            ++added;
            ++balance[line];
          }
          break;
        }
        case 3:
          log.Add(true, "", "", "");
          break;
        case 4:
          clock->now += static_cast<std::time_t>(in.Byte()) * 97;
          break;
        case 5:
          clock->now -= static_cast<std::time_t>(in.Byte());
          break;
        case 6:
          log.ForceFlushIfDue();
          break;
        case 7:
          log.SetDirectory(in.Byte() % 2 ? ExistingFolder() : ExistingFolder() + "/missing");
          break;
      }
    }
    // With the folder in place the unload writes everything still waiting.
    log.SetDirectory(ExistingFolder());
    dropped = log.DroppedCount();
  }
  Check(written + dropped == added);
  return 0;
}
