// Saving one list as the files stand on disk at that moment. The console loads its lists
// once and edits them for as long as it runs, while orvctl, the online fetch and the
// background service write the same files; a page therefore never writes back its own
// (stale) copy of anything but the list it edits, and it learns when that list itself was
// changed on disk since it was loaded, so the administrator can be asked before it is
// overwritten.
#pragma once

#include <string>
#include <string_view>

#include "store/keyword_database.h"
#include "store/settings_file.h"

namespace orv::store {

enum class StoreOutcome {
  Done,
  ChangedOnDisk,  // the list differs from what the page loaded; nothing written
  ReadFailed,     // the file exists but cannot be read; nothing written
  WriteFailed,    // the write did not happen; the old file is intact
};

struct SectionRead {
  bool ok = false;      // false: the file exists but cannot be read
  std::string section;  // the section's stored text ("" when the file or section is missing)
};

// One section of the keyword database file as it is now. A missing file is an empty
// database, not an error.
SectionRead ReadSectionFromDisk(const std::string& databasePath, Section section);

// Replaces one section of the file as it is now with `sectionText`, atomically; the other
// sections keep what the file holds. With `loadedSection` given, the write only happens
// when the section on disk still equals it (ChangedOnDisk otherwise).
StoreOutcome SaveSectionToDisk(const std::string& databasePath, Section section,
                               std::string_view sectionText,
                               const std::string* loadedSection = nullptr);

// The same for one key of the settings file: with `loadedValue` given, the key is only
// written when its value on disk still equals it.
StoreOutcome SaveKeyToDisk(SettingsFile& file, std::string_view key, std::string_view value,
                           const std::string* loadedValue = nullptr);

}  // namespace orv::store
