// The filter's settings record and its load from "OrvFilter.ini" and "OrvFilter.db".
//
// A load never changes a published record: it builds the next record from a copy of the
// current one, and the caller publishes it atomically (see SettingsSnapshot). A request takes
// one snapshot and uses it throughout.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keywords/matching.h"
#include "store/settings_pin.h"

namespace orv::store {

inline constexpr std::string_view kSettingsFileName = "OrvFilter.ini";
inline constexpr std::string_view kDatabaseFileName = "OrvFilter.db";
inline constexpr std::string_view kSettingsSection = "OrvFilter";
inline constexpr std::string_view kLogLineTemplate =
    "%time%\t%kind%\t%method%\t%key%\t%ip%\t%url%\t%refer%";

// The four keyword lists of one encoding, compiled.
struct KeywordSet {
  keywords::CompiledList deny;
  keywords::CompiledReplaceList replace;
  keywords::CompiledList record;
  keywords::CompiledList free;
};

struct FilterSettings {
  std::string moduleDirectory;
  std::string settingsPath;
  std::string databasePath;

  // Unique to each record a load produced (0 for any other record): lets a host keep an
  // outcome computed under this record, and tell it from one computed under another.
  std::uint64_t serial = 0;

  bool enabled = false;  // master switch (KeyIsSystem); every notification tests it first
  bool loaded = false;   // the last load found the settings file

  std::string fileTypes;  // "|asp|aspx|", lower-cased, bars at both ends (or empty)
  std::string sendWords;  // prepared KeySendWords text
  std::string safeCode;   // lower-cased

  bool stripEncoding = false;  // KeyIsGzip
  bool showWords = false;      // KeyIsShowWords
  bool logEnabled = false;     // KeyIsLog

  std::string logPath;  // effective log directory
  std::string logLineTemplate{kLogLineTemplate};

  // Block-page templates. They carry "%user%" until the first load fills it in.
  std::string urlBlockPage;
  std::string ipBlockPage;
  std::string keywordBlockPage;

  std::vector<std::string> blackUrls;  // KeyHeiUrl, lower-cased
  std::vector<std::string> whiteUrls;  // KeyBaiUrl, lower-cased
  std::vector<std::string> blackIps;   // KeyHeiIp
  std::vector<std::string> whiteIps;   // KeyBaiIp

  KeywordSet gbk;   // lists as stored (GBK)
  KeywordSet utf8;  // their UTF-8 twins
};

struct LoadResult {
  FilterSettings settings;
  // Set when the load reached the log-folder step and logging stays on: the folder the
  // event log writer is to use from now on.
  std::optional<std::string> logDirectory;
};

// The whole filter load: builds the next record from `previous` and the files in
// `moduleDirectory` (which ends with a separator, or not).
LoadResult LoadSettings(const FilterSettings& previous, std::string_view moduleDirectory);

// The published settings record: a reader copies one pointer and uses that whole record for
// as long as it holds it; a reload swaps in a new record in one step. The lock only covers
// the pointer copy (std::atomic<std::shared_ptr> would do the same, but the standard
// library's version releases its internal lock too weakly for the thread sanitizer to
// accept).
class SettingsSnapshot {
 public:
  explicit SettingsSnapshot(FilterSettings initial)
      : current_(std::make_shared<const FilterSettings>(std::move(initial))),
        generation_(NextGeneration()) {}

  std::shared_ptr<const FilterSettings> Get() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return current_;
  }
  // The current record, as Get would return it, through the reader's pin: while nothing
  // was published since the pin was taken its record is still the current one, and reading
  // it costs neither the lock nor a reference count that every thread writes to.
  const FilterSettings& Current(SettingsPin& pin) const {
    if (pin.record && pin.generation == generation_.load(std::memory_order_acquire)) {
      return *pin.record;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    pin.record = current_;
    pin.generation = generation_.load(std::memory_order_relaxed);
    return *pin.record;
  }
  void Publish(FilterSettings next) {
    std::shared_ptr<const FilterSettings> record =
        std::make_shared<const FilterSettings>(std::move(next));
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      current_.swap(record);
      generation_.store(NextGeneration(), std::memory_order_release);
    }
    // The old record is released here, outside the lock (or later, by its last reader).
  }

 private:
  // Unique across every snapshot of the process (and never 0), so that a pin taken from
  // one snapshot is never taken for current by another.
  static std::uint64_t NextGeneration() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
  }

  mutable std::mutex mutex_;
  std::shared_ptr<const FilterSettings> current_;
  std::atomic<std::uint64_t> generation_;  // changed under the lock, with current_
};

}  // namespace orv::store
