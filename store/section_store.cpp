#include "store/section_store.h"

#include "platform/files.h"

namespace orv::store {
namespace {

// What a file at `path` holds, joined as the database reads it; a missing file is empty.
bool ReadDatabaseText(const std::string& path, std::string& text) {
  text.clear();
  if (!files::Exists(path)) return true;
  KeywordDatabase database;
  if (!database.LoadDatabase(path)) return false;
  text = database.Text();
  return true;
}

}  // namespace

SectionRead ReadSectionFromDisk(const std::string& databasePath, Section section) {
  SectionRead read;
  std::string text;
  if (!ReadDatabaseText(databasePath, text)) return read;
  read.ok = true;
  read.section = ExtractSection(text, section);
  return read;
}

StoreOutcome SaveSectionToDisk(const std::string& databasePath, Section section,
                               std::string_view sectionText, const std::string* loadedSection) {
  std::string text;
  if (!ReadDatabaseText(databasePath, text)) return StoreOutcome::ReadFailed;
  if (loadedSection != nullptr && ExtractSection(text, section) != *loadedSection) {
    return StoreOutcome::ChangedOnDisk;
  }
  ReplaceSection(text, section, sectionText);
  return files::WriteFileAtomically(databasePath, text) ? StoreOutcome::Done
                                                        : StoreOutcome::WriteFailed;
}

StoreOutcome SaveKeyToDisk(SettingsFile& file, std::string_view key, std::string_view value,
                           const std::string* loadedValue) {
  if (files::Exists(file.Path())) {
    std::string probe;
    if (!files::ReadWholeFile(file.Path(), probe)) return StoreOutcome::ReadFailed;
  }
  if (loadedValue != nullptr && file.ReadKey(key) != *loadedValue) {
    return StoreOutcome::ChangedOnDisk;
  }
  return file.WriteKey(key, value) ? StoreOutcome::Done : StoreOutcome::WriteFailed;
}

}  // namespace orv::store
