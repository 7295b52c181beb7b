#include "store/settings_rules.h"

#include <limits>

#include "platform/ascii.h"
#include "platform/files.h"

namespace orv::store {
namespace {

constexpr std::string_view kOn = "1";
constexpr std::string_view kOff = "0";
constexpr std::size_t kMaxHourDigits = 3;

bool IsAllDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

const std::vector<std::string_view>& AllSettingsKeys() {
  static const std::vector<std::string_view> all = {
      keys::kSoft,     keys::kVersion,     keys::kIsSystem,    keys::kIsLog,     keys::kSafeCode,
      keys::kIsGzip,   keys::kIsShowWords, keys::kLogPath,     keys::kFileType,  keys::kAutoHour,
      keys::kClearLog, keys::kBaiUrl,      keys::kHeiUrl,      keys::kSendWords, keys::kBaiIp,
      keys::kHeiIp,    keys::kUser,        keys::kIsAutoWords, keys::kServiceUrl};
  return all;
}

std::optional<std::string_view> FindSettingsKey(std::string_view name) {
  const std::string lowered = ascii::Lower(name);
  for (std::string_view key : AllSettingsKeys()) {
    if (ascii::Lower(key) == lowered) return key;
  }
  return std::nullopt;
}

ValueRule RuleOf(std::string_view key) {
  if (key == keys::kIsSystem || key == keys::kIsLog || key == keys::kIsGzip ||
      key == keys::kIsShowWords || key == keys::kIsAutoWords) {
    return ValueRule::Switch;
  }
  if (key == keys::kAutoHour) return ValueRule::Hour;
  if (key == keys::kClearLog) return ValueRule::Days;
  if (key == keys::kLogPath) return ValueRule::LogPath;
  return ValueRule::Text;
}

unsigned long ReadsAsNumber(std::string_view text) {
  constexpr unsigned long kMax = std::numeric_limits<unsigned long>::max();
  unsigned long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    const auto digit = static_cast<unsigned long>(c - '0');
    if (value > (kMax - digit) / 10) return kMax;
    value = value * 10 + digit;
  }
  return value;
}

std::string HourToStore(std::string_view typed) {
  return ReadsAsNumber(typed) > 23 ? std::string(kOff) : std::string(typed);
}

std::string DaysToStore(std::string_view typed) {
  return ReadsAsNumber(typed) == 0 ? std::string(kOff) : std::string(typed);
}

bool IsUsableLogPath(std::string_view path) {
  return path.size() > 2 && files::IsDirectory(std::string(path));
}

CheckedValue CheckSettingsValue(std::string_view key, std::string_view typed) {
  CheckedValue checked;
  if (typed.find_first_of("\r\n") != std::string_view::npos) {
    checked.problem = ValueProblem::LineBreak;
    return checked;
  }
  switch (RuleOf(key)) {
    case ValueRule::Switch:
      if (typed != kOn && typed != kOff) checked.problem = ValueProblem::NotASwitch;
      checked.stored = typed;
      break;
    case ValueRule::Hour:
      // The page's field takes at most three digits.
      if (!IsAllDigits(typed) || typed.size() > kMaxHourDigits) {
        checked.problem = ValueProblem::NotANumber;
      }
      checked.stored = HourToStore(typed);
      break;
    case ValueRule::Days:
      if (!IsAllDigits(typed)) checked.problem = ValueProblem::NotANumber;
      checked.stored = DaysToStore(typed);
      break;
    case ValueRule::LogPath:
      if (!IsUsableLogPath(typed)) checked.problem = ValueProblem::NoSuchFolder;
      checked.stored = typed;
      break;
    case ValueRule::Text:
      checked.stored = typed;
      break;
  }
  if (checked.problem != ValueProblem::None) checked.stored.clear();
  return checked;
}

SettingsPageFields LoadSettingsPage(const SettingsFile& file) {
  SettingsPageFields fields;
  fields.isSystem = file.GetIsSystem();
  fields.isGzip = file.GetIsGzip();
  fields.isLog = file.GetIsLog();
  fields.isShowWords = file.GetIsShowWords();
  fields.isAutoWords = file.GetIsAutoWords();
  fields.autoHour = file.GetAutoHour();
  fields.clearLog = file.GetClearLog();
  fields.fileType = file.GetFileType();
  fields.sendWords = file.GetSendWords();
  fields.safeCode = file.GetSafeCode();
  fields.logPath = file.GetLogPath();
  return fields;
}

std::vector<std::string_view> ChangedPageKeys(const SettingsPageFields& loaded,
                                              const SettingsPageFields& now) {
  std::vector<std::string_view> changed;
  const auto compare = [&](std::string_view key, const auto& a, const auto& b) {
    if (a != b) changed.push_back(key);
  };
  compare(keys::kIsSystem, loaded.isSystem, now.isSystem);
  compare(keys::kIsGzip, loaded.isGzip, now.isGzip);
  compare(keys::kIsLog, loaded.isLog, now.isLog);
  compare(keys::kIsShowWords, loaded.isShowWords, now.isShowWords);
  compare(keys::kIsAutoWords, loaded.isAutoWords, now.isAutoWords);
  compare(keys::kAutoHour, loaded.autoHour, now.autoHour);
  compare(keys::kClearLog, loaded.clearLog, now.clearLog);
  compare(keys::kFileType, loaded.fileType, now.fileType);
  compare(keys::kSendWords, loaded.sendWords, now.sendWords);
  compare(keys::kSafeCode, loaded.safeCode, now.safeCode);
  compare(keys::kLogPath, loaded.logPath, now.logPath);
  return changed;
}

SettingsPageSave SaveSettingsPage(SettingsFile& file, const SettingsPageFields& fields,
                                  const std::string& databasePath) {
  SettingsPageSave save;
  const auto write = [&](std::string_view key, std::string_view value) {
    if (!file.WriteKey(key, value)) save.failedKeys.emplace_back(key);
  };
  const auto onOff = [](bool on) { return on ? kOn : kOff; };
  write(keys::kIsSystem, onOff(fields.isSystem));
  write(keys::kIsGzip, onOff(fields.isGzip));
  write(keys::kIsLog, onOff(fields.isLog));
  write(keys::kIsShowWords, onOff(fields.isShowWords));
  write(keys::kIsAutoWords, onOff(fields.isAutoWords));
  save.shownHour = HourToStore(fields.autoHour);
  write(keys::kAutoHour, save.shownHour);
  save.shownDays = DaysToStore(fields.clearLog);
  write(keys::kClearLog, save.shownDays);
  write(keys::kFileType, fields.fileType);
  write(keys::kSendWords, fields.sendWords);
  write(keys::kSafeCode, fields.safeCode);
  if (IsUsableLogPath(fields.logPath)) {
    write(keys::kLogPath, fields.logPath);
  } else {
    save.logPathRefused = true;
    write(keys::kIsLog, kOff);
  }
  if (!files::Exists(databasePath) && !files::WriteFileAtomically(databasePath, "")) {
    save.failedKeys.push_back(databasePath);
  }
  return save;
}

}  // namespace orv::store
