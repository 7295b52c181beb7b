#include "store/settings_file.h"

#include "platform/files.h"
#include "platform/profile.h"
#include "store/filter_settings.h"
#include "store/secure_random.h"

namespace orv::store {

std::string DefaultSoftLine() {
  std::string line(kFirstRunMarkerProduct);
  line.append(kFirstRunMarkerTitle);
  line.append(" - ");
  line.append(defaults::kMakerAddress);
  return line;
}

bool HasFirstRunMarkers(std::string_view softValue) {
  return softValue.find(kFirstRunMarkerProduct) != std::string_view::npos &&
         softValue.find(kFirstRunMarkerTitle) != std::string_view::npos;
}

std::string MakeRandomSafeCode() {
  return SecureRandomText(defaults::kSafeCodeAlphabet, defaults::kSafeCodeLength);
}

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)) {}

std::string SettingsFile::ReadKey(std::string_view key) const {
  return profile::ReadProfileString(path_, kSettingsSection, key);
}

bool SettingsFile::WriteKey(std::string_view key, std::string_view value) {
  return profile::WriteProfileString(path_, kSettingsSection, key, value);
}

bool SettingsFile::ReadSwitch(std::string_view key) const {
  return ReadKey(key) == "1";
}

bool SettingsFile::WriteSwitch(std::string_view key, bool on) {
  return WriteKey(key, on ? "1" : "0");
}

std::string SettingsFile::GetSoft() const {
  return ReadKey(keys::kSoft);
}
bool SettingsFile::SetSoft(std::string_view value) {
  return WriteKey(keys::kSoft, value);
}
bool SettingsFile::SetVersion(std::string_view value) {
  return WriteKey(keys::kVersion, value);
}

bool SettingsFile::GetIsSystem() const {
  return ReadSwitch(keys::kIsSystem);
}
bool SettingsFile::SetIsSystem(bool on) {
  return WriteSwitch(keys::kIsSystem, on);
}
bool SettingsFile::GetIsLog() const {
  return ReadSwitch(keys::kIsLog);
}
bool SettingsFile::SetIsLog(bool on) {
  return WriteSwitch(keys::kIsLog, on);
}
bool SettingsFile::GetIsGzip() const {
  return ReadSwitch(keys::kIsGzip);
}
bool SettingsFile::SetIsGzip(bool on) {
  return WriteSwitch(keys::kIsGzip, on);
}
bool SettingsFile::GetIsShowWords() const {
  return ReadSwitch(keys::kIsShowWords);
}
bool SettingsFile::SetIsShowWords(bool on) {
  return WriteSwitch(keys::kIsShowWords, on);
}
bool SettingsFile::GetIsAutoWords() const {
  return ReadSwitch(keys::kIsAutoWords);
}
bool SettingsFile::SetIsAutoWords(bool on) {
  return WriteSwitch(keys::kIsAutoWords, on);
}

std::string SettingsFile::GetSafeCode() const {
  return ReadKey(keys::kSafeCode);
}
bool SettingsFile::SetSafeCode(std::string_view value) {
  return WriteKey(keys::kSafeCode, value);
}
std::string SettingsFile::GetLogPath() const {
  return ReadKey(keys::kLogPath);
}
bool SettingsFile::SetLogPath(std::string_view value) {
  return WriteKey(keys::kLogPath, value);
}
std::string SettingsFile::GetFileType() const {
  return ReadKey(keys::kFileType);
}
bool SettingsFile::SetFileType(std::string_view value) {
  return WriteKey(keys::kFileType, value);
}
std::string SettingsFile::GetAutoHour() const {
  return ReadKey(keys::kAutoHour);
}
bool SettingsFile::SetAutoHour(std::string_view value) {
  return WriteKey(keys::kAutoHour, value);
}
std::string SettingsFile::GetClearLog() const {
  return ReadKey(keys::kClearLog);
}
bool SettingsFile::SetClearLog(std::string_view value) {
  return WriteKey(keys::kClearLog, value);
}
std::string SettingsFile::GetBaiUrl() const {
  return ReadKey(keys::kBaiUrl);
}
bool SettingsFile::SetBaiUrl(std::string_view value) {
  return WriteKey(keys::kBaiUrl, value);
}
std::string SettingsFile::GetHeiUrl() const {
  return ReadKey(keys::kHeiUrl);
}
bool SettingsFile::SetHeiUrl(std::string_view value) {
  return WriteKey(keys::kHeiUrl, value);
}
std::string SettingsFile::GetSendWords() const {
  return ReadKey(keys::kSendWords);
}
bool SettingsFile::SetSendWords(std::string_view value) {
  return WriteKey(keys::kSendWords, value);
}
std::string SettingsFile::GetBaiIp() const {
  return ReadKey(keys::kBaiIp);
}
bool SettingsFile::SetBaiIp(std::string_view value) {
  return WriteKey(keys::kBaiIp, value);
}
std::string SettingsFile::GetHeiIp() const {
  return ReadKey(keys::kHeiIp);
}
bool SettingsFile::SetHeiIp(std::string_view value) {
  return WriteKey(keys::kHeiIp, value);
}
std::string SettingsFile::GetUser() const {
  return ReadKey(keys::kUser);
}
bool SettingsFile::SetUser(std::string_view value) {
  return WriteKey(keys::kUser, value);
}

bool SettingsFile::WriteDefaults(const std::string& appDirectory) {
  std::string logDirectory = files::JoinPath(appDirectory, "log");
  logDirectory.push_back(files::SeparatorOf(logDirectory));

  const bool written =
      SetSoft(DefaultSoftLine()) && SetVersion(defaults::kVersion) &&
      WriteKey(keys::kIsSystem, defaults::kIsSystem) && WriteKey(keys::kIsLog, defaults::kIsLog) &&
      SetSafeCode(MakeRandomSafeCode()) && WriteKey(keys::kIsGzip, defaults::kIsGzip) &&
      WriteKey(keys::kIsShowWords, defaults::kIsShowWords) && SetLogPath(logDirectory) &&
      SetFileType(defaults::kFileType) && SetAutoHour(defaults::kAutoHour) &&
      SetClearLog(defaults::kClearLog) && SetBaiUrl(defaults::kBaiUrl) &&
      SetHeiUrl(defaults::kHeiUrl);
  if (!written) return false;
  return files::IsDirectory(logDirectory) || files::CreateDirectories(logDirectory);
}

}  // namespace orv::store
