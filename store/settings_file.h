// The console's reader and writer of "OrvFilter.ini": one profile-string read or write of one
// key in section "OrvFilter" per call, never the file as a whole. Values are GBK byte strings.
//
// Every setter reports whether the key really reached the file; a false return means the file
// is as it was before the call.
#pragma once

#include <string>
#include <string_view>

#include "orv_version.h"

namespace orv::store {

// Key names of section "OrvFilter".
namespace keys {
inline constexpr std::string_view kSoft = "KeySoft";
inline constexpr std::string_view kVersion = "KeyVersion";
inline constexpr std::string_view kIsSystem = "KeyIsSystem";
inline constexpr std::string_view kIsLog = "KeyIsLog";
inline constexpr std::string_view kSafeCode = "KeySafeCode";
inline constexpr std::string_view kIsGzip = "KeyIsGzip";
inline constexpr std::string_view kIsShowWords = "KeyIsShowWords";
inline constexpr std::string_view kLogPath = "KeyLogPath";
inline constexpr std::string_view kFileType = "KeyFileType";
inline constexpr std::string_view kAutoHour = "KeyAutoHour";
inline constexpr std::string_view kClearLog = "KeyClearLog";
inline constexpr std::string_view kBaiUrl = "KeyBaiUrl";
inline constexpr std::string_view kHeiUrl = "KeyHeiUrl";
inline constexpr std::string_view kSendWords = "KeySendWords";
inline constexpr std::string_view kBaiIp = "KeyBaiIp";
inline constexpr std::string_view kHeiIp = "KeyHeiIp";
inline constexpr std::string_view kUser = "KeyUser";
inline constexpr std::string_view kIsAutoWords = "KeyIsAutoWords";
// Base URL of the online keyword service ("" for the built-in address).
inline constexpr std::string_view kServiceUrl = "KeyServiceUrl";
}  // namespace keys

// Defaults written at the console's first start (besides the title line, the random safe code
// and the log folder, which depend on the machine).
namespace defaults {
inline constexpr std::string_view kVersion = version::kText;
inline constexpr std::string_view kIsSystem = "0";
inline constexpr std::string_view kIsLog = "1";
inline constexpr std::string_view kIsGzip = "1";
inline constexpr std::string_view kIsShowWords = "1";
inline constexpr std::string_view kFileType = "asp|aspx|php|htm|html|cer|asa|asax";
inline constexpr std::string_view kAutoHour = "0";
inline constexpr std::string_view kClearLog = "60";
inline constexpr std::string_view kBaiUrl = "/admin|/dede/|/manage";
inline constexpr std::string_view kHeiUrl =
    ".asp;|.asa;|.cer;|.php;|.asp/|.aspx/|.asa/|.asax/|.cer/";
inline constexpr std::string_view kSafeCodeAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
inline constexpr std::size_t kSafeCodeLength = 20;
inline constexpr std::string_view kMakerAddress = "https://www.orvane.net";
}  // namespace defaults

// The two texts whose presence in KeySoft tells the console that it has been set up before.
// GBK: "Orvane·" and "非法信息过滤系统".
inline constexpr std::string_view kFirstRunMarkerProduct = "Orvane\xA1\xA4";
inline constexpr std::string_view kFirstRunMarkerTitle =
    "\xB7\xC7\xB7\xA8\xD0\xC5\xCF\xA2\xB9\xFD\xC2\xCB\xCF\xB5\xCD\xB3";

// The default KeySoft line, GBK: "Orvane·非法信息过滤系统 - https://www.orvane.net".
std::string DefaultSoftLine();

// True when a KeySoft value carries both first-run markers.
bool HasFirstRunMarkers(std::string_view softValue);

// kSafeCodeLength characters drawn uniformly from kSafeCodeAlphabet by the system's secure
// random source (about 103 bits): the code lets a request past every screen, so it must not be
// guessable from the time the settings were first written. Empty when the source fails.
std::string MakeRandomSafeCode();

class SettingsFile {
 public:
  // `path`: the full path of OrvFilter.ini.
  explicit SettingsFile(std::string path);

  const std::string& Path() const { return path_; }

  // Missing file, section or key read as empty; values are cut to 65534 bytes.
  std::string ReadKey(std::string_view key) const;
  // False when the write did not happen (the old file is then intact), or when the value
  // holds a line break, which the one-line format cannot store.
  bool WriteKey(std::string_view key, std::string_view value);

  std::string GetSoft() const;
  bool SetSoft(std::string_view value);
  bool SetVersion(std::string_view value);

  // Switches are on exactly when the stored text is "1"; setters write "1" or "0".
  bool GetIsSystem() const;
  bool SetIsSystem(bool on);
  bool GetIsLog() const;
  bool SetIsLog(bool on);
  bool GetIsGzip() const;
  bool SetIsGzip(bool on);
  bool GetIsShowWords() const;
  bool SetIsShowWords(bool on);
  bool GetIsAutoWords() const;
  bool SetIsAutoWords(bool on);

  std::string GetSafeCode() const;
  bool SetSafeCode(std::string_view value);
  std::string GetLogPath() const;
  bool SetLogPath(std::string_view value);
  std::string GetFileType() const;
  bool SetFileType(std::string_view value);
  // Hour and days are kept as the decimal texts the settings page edits.
  std::string GetAutoHour() const;
  bool SetAutoHour(std::string_view value);
  std::string GetClearLog() const;
  bool SetClearLog(std::string_view value);
  std::string GetBaiUrl() const;
  bool SetBaiUrl(std::string_view value);
  std::string GetHeiUrl() const;
  bool SetHeiUrl(std::string_view value);
  std::string GetSendWords() const;
  bool SetSendWords(std::string_view value);
  std::string GetBaiIp() const;
  bool SetBaiIp(std::string_view value);
  std::string GetHeiIp() const;
  bool SetHeiIp(std::string_view value);
  // The scrambled account record; scrambling is the caller's business.
  std::string GetUser() const;
  bool SetUser(std::string_view value);

  // First start: writes KeySoft (DefaultSoftLine), KeyVersion, KeyIsSystem, KeyIsLog,
  // KeySafeCode (random), KeyIsGzip, KeyIsShowWords, KeyLogPath (appDirectory + "log" and a
  // separator), KeyFileType, KeyAutoHour, KeyClearLog, KeyBaiUrl, KeyHeiUrl, in that order,
  // and creates the log folder when it is missing. Stops at and reports the first failed write.
  // `appDirectory` is the console's folder, with or without its trailing separator.
  bool WriteDefaults(const std::string& appDirectory);

 private:
  bool ReadSwitch(std::string_view key) const;
  bool WriteSwitch(std::string_view key, bool on);

  std::string path_;
};

}  // namespace orv::store
