// A fresh, uniquely named folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orv::testing {

class TempFolder {
 public:
  // `prefix` names the folder in the system's temporary directory, to tell whose it was.
  explicit TempFolder(std::string_view prefix = "orv-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Dir() const { return dir_; }
  // The folder ending with "/", as the settings file stores folders.
  const std::string& Path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + std::string(name); }
  // Writes `bytes` to the file `name` in the folder; returns the file's path.
  std::string Write(std::string_view name, std::string_view bytes) const;

 private:
  std::filesystem::path dir_;
  std::string path_;
};

// The whole file as bytes; empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, std::string_view bytes);
// The entries of a folder (to catch temporaries a write left behind).
int CountEntries(const std::filesystem::path& folder);

}  // namespace orv::testing
