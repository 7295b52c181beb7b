#include "tools/ctl_commands.h"

#include <unistd.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>

#include "platform/files.h"
#include "store/edit_forms.h"
#include "store/filter_settings.h"
#include "store/gbk_text.h"
#include "store/keyword_database.h"
#include "store/list_split.h"
#include "store/section_store.h"
#include "store/settings_file.h"
#include "store/settings_rules.h"
#include "tools/ctl_logs.h"

namespace orv::tools {
namespace {

using store::StoreOutcome;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Raised inside a command for the one-line error and exit status 1.
struct CommandError {
  std::string message;
};

class Command {
 public:
  Command(const CtlArguments& args, const std::string& directory, ServiceUnits& units, CtlIo io)
      : args_(args),
        settingsPath_(files::JoinPath(directory, store::kSettingsFileName)),
        databasePath_(files::JoinPath(directory, store::kDatabaseFileName)),
        directory_(directory),
        units_(units),
        io_(io) {}

  int Run() {
    if (args_.command == "words") return Words();
    if (args_.command == "lists") return Lists();
    if (args_.command == "get") return Get();
    if (args_.command == "set") return Set();
    if (args_.command == "check") return Check();
    if (args_.command == "logs") return RunCtlLogs(args_.logs, args_.gbk, directory_, io_);
    if (args_.command == "repair") return Repair();
    return Unload();
  }

 private:
  // Stored GBK -> what is printed.
  std::string Shown(std::string_view gbk) const {
    return args_.gbk ? std::string(gbk) : store::GbkToUtf8Lossless(gbk);
  }

  // What is typed -> stored GBK; text GBK cannot hold is refused with its line.
  std::string Stored(std::string_view typed) const {
    if (args_.gbk) return std::string(typed);
    if (typed.starts_with(kUtf8Bom)) typed.remove_prefix(kUtf8Bom.size());
    store::GbkEncoding encoded = store::Utf8ToGbkStrict(typed);
    if (!encoded.ok) {
      throw CommandError{"line " + std::to_string(encoded.line) + ": \"" + encoded.character +
                         "\" cannot be stored in GBK; nothing written"};
    }
    return std::move(encoded.gbk);
  }

  void PrintLines(std::string_view edit) const {
    for (const std::string& line : store::SplitEditLines(edit)) io_.out << Shown(line) << '\n';
  }

  std::string ReadInput() const {
    std::string bytes;
    if (args_.file.empty() || args_.file == "-") {
      bytes.assign(std::istreambuf_iterator<char>(io_.in), std::istreambuf_iterator<char>());
      if (io_.in.bad()) throw CommandError{"cannot read standard input"};
    } else if (!files::ReadWholeFile(args_.file, bytes)) {
      throw CommandError{"cannot read " + args_.file};
    }
    return bytes;
  }

  // The lines of the input, as the edit text a page would hold.
  std::string InputAsEditText() const {
    return store::JoinEditLines(store::SplitInputLines(Stored(ReadInput())));
  }

  void Require(StoreOutcome outcome, const std::string& path) const {
    switch (outcome) {
      case StoreOutcome::Done:
        return;
      case StoreOutcome::ReadFailed:
        throw CommandError{"cannot read " + path + "; nothing written"};
      case StoreOutcome::WriteFailed:
        throw CommandError{"cannot write " + path + "; it is unchanged"};
      case StoreOutcome::ChangedOnDisk:
        throw CommandError{path + " changed while saving; nothing written"};
    }
  }

  int Words() {
    std::optional<store::Section> section;
    if (args_.list == "deny") section = store::Section::Deny;
    if (args_.list == "replace") section = store::Section::Replace;
    if (args_.list == "record") section = store::Section::Record;
    if (args_.list == "free") section = store::Section::Free;
    if (!section) throw CommandError{"unknown keyword list " + args_.list};
    if (args_.action == "save") {
      const std::string text = store::KeywordEditToSection(InputAsEditText());
      Require(store::SaveSectionToDisk(databasePath_, *section, text), databasePath_);
      return kCtlDone;
    }
    const store::SectionRead read = store::ReadSectionFromDisk(databasePath_, *section);
    if (!read.ok) throw CommandError{"cannot read " + databasePath_};
    const std::string edit = store::KeywordSectionToEdit(read.section);
    if (args_.action == "count") {
      io_.out << Shown(store::GroupCountLabel(store::KeywordGroupCount(edit))) << '\n';
    } else {
      PrintLines(edit);
    }
    return kCtlDone;
  }

  void RequireReadableSettings() const {
    std::string probe;
    if (files::Exists(settingsPath_) && !files::ReadWholeFile(settingsPath_, probe)) {
      throw CommandError{"cannot read " + settingsPath_};
    }
  }

  int Lists() {
    std::string_view key;
    if (args_.list == "url-black") key = store::keys::kHeiUrl;
    if (args_.list == "ip-black") key = store::keys::kHeiIp;
    if (args_.list == "url-white") key = store::keys::kBaiUrl;
    if (args_.list == "ip-white") key = store::keys::kBaiIp;
    if (key.empty()) throw CommandError{"unknown list " + args_.list};
    store::SettingsFile settings(settingsPath_);
    if (args_.action == "save") {
      const std::string value = store::ListEditToValue(InputAsEditText());
      Require(store::SaveKeyToDisk(settings, key, value), settingsPath_);
      return kCtlDone;
    }
    RequireReadableSettings();
    const std::string edit = store::ListValueToEdit(settings.ReadKey(key));
    if (args_.action == "count") {
      io_.out << Shown(store::GroupCountLabel(store::ListGroupCount(edit))) << '\n';
    } else {
      PrintLines(edit);
    }
    return kCtlDone;
  }

  std::string_view KnownKey() const {
    const std::optional<std::string_view> key = store::FindSettingsKey(args_.key);
    if (!key) throw CommandError{"unknown key " + args_.key};
    return *key;
  }

  int Get() {
    const std::string_view key = KnownKey();
    RequireReadableSettings();
    io_.out << Shown(store::SettingsFile(settingsPath_).ReadKey(key)) << '\n';
    return kCtlDone;
  }

  int Set() {
    const std::string_view key = KnownKey();
    const store::CheckedValue checked = store::CheckSettingsValue(key, Stored(args_.value));
    switch (checked.problem) {
      case store::ValueProblem::None:
        break;
      case store::ValueProblem::NotASwitch:
        throw CommandError{std::string(key) + " takes 0 or 1"};
      case store::ValueProblem::NotANumber:
        throw CommandError{std::string(key) + (key == store::keys::kAutoHour
                                                   ? " takes an hour of at most 3 digits"
                                                   : " takes a number of days (digits only)")};
      case store::ValueProblem::NoSuchFolder:
        throw CommandError{"log folder " + args_.value +
                           " does not exist (or is 2 bytes or shorter); nothing written"};
      case store::ValueProblem::LineBreak:
        throw CommandError{"a setting cannot hold a line break"};
    }
    store::SettingsFile settings(settingsPath_);
    Require(store::SaveKeyToDisk(settings, key, checked.stored), settingsPath_);
    return kCtlDone;
  }

  int Check() {
    int problems = 0;
    const auto problem = [&](const std::string& text) {
      io_.out << "problem: " << text << '\n';
      ++problems;
    };
    std::string bytes;
    const bool settingsReadable = files::ReadWholeFile(settingsPath_, bytes);
    io_.out << "settings: " << settingsPath_ << '\n';
    if (!settingsReadable) {
      problem(std::string(files::Exists(settingsPath_) ? "cannot read " : "missing ") +
              settingsPath_ + "; the filter stays off");
    }
    const store::LoadResult load = store::LoadSettings(store::FilterSettings{}, directory_);
    const store::FilterSettings& s = load.settings;
    io_.out << "filter: " << (s.enabled ? "on" : "off") << '\n';

    io_.out << "keyword database: " << databasePath_ << '\n';
    if (!files::Exists(databasePath_)) {
      problem("missing " + databasePath_ + "; every keyword list is empty");
    } else if (!files::ReadWholeFile(databasePath_, bytes)) {
      problem("cannot read " + databasePath_ + "; every keyword list is empty");
    }
    const store::LoadedKeywordLists lists = store::LoadKeywordLists(databasePath_);
    const auto entries = [&](const char* name, std::size_t gbk, std::size_t utf8) {
      io_.out << "  " << name << ": " << gbk << " entries (GBK), " << utf8 << " (UTF-8)\n";
    };
    entries("deny", lists.gbk.deny.size(), lists.utf8.deny.size());
    entries("replace", lists.gbk.replace.keys.size(), lists.utf8.replace.keys.size());
    entries("record", lists.gbk.record.size(), lists.utf8.record.size());
    entries("free", lists.gbk.free.size(), lists.utf8.free.size());

    store::SettingsFile settings(settingsPath_);
    const auto listCount = [&](std::string_view key) {
      return store::SplitKeepingLongPieces(settings.ReadKey(key), "|").size();
    };
    io_.out << "lists: url-black " << listCount(store::keys::kHeiUrl) << ", ip-black "
            << listCount(store::keys::kHeiIp) << ", url-white " << listCount(store::keys::kBaiUrl)
            << ", ip-white " << listCount(store::keys::kBaiIp) << '\n';
    io_.out << "file types: " << Shown(settings.ReadKey(store::keys::kFileType)) << '\n';

    const bool logWanted = settings.GetIsLog();
    const std::string logPath = settings.GetLogPath();
    if (!logWanted) {
      io_.out << "log: off\n";
    } else if (!logPath.empty() && files::IsDirectory(logPath)) {
      io_.out << "log: on, folder " << Shown(logPath) << '\n';
    } else {
      const std::string named = logPath.empty() ? std::string("(none set)") : Shown(logPath);
      const std::string fallback = files::JoinPath(directory_, "log");
      if (files::IsDirectory(fallback)) {
        io_.out << "log: on, folder " << Shown(fallback) << '\n';
        problem("log folder " + named + " does not exist; events go to " + fallback);
      } else {
        io_.out << "log: off (no log folder)\n";
        problem("log folder " + named + " does not exist; no events are logged");
      }
    }
    if (problems != 0) {
      io_.err << "orvctl: check failed: " << problems << " problem(s)\n";
      return kCtlFailed;
    }
    io_.out << "check ok\n";
    return kCtlDone;
  }

  // Creates the settings file (defaults) and an empty keyword database when missing, and the
  // log folder; an existing file is never rewritten.
  void RepairFiles() {
    store::SettingsFile settings(settingsPath_);
    if (!files::Exists(settingsPath_)) {
      if (!settings.WriteDefaults(directory_)) {
        throw CommandError{"cannot write " + settingsPath_};
      }
      io_.out << "created " << settingsPath_ << " with the default settings\n";
    } else {
      RequireReadableSettings();
    }
    if (!files::Exists(databasePath_)) {
      if (!files::WriteFileAtomically(databasePath_, "")) {
        throw CommandError{"cannot write " + databasePath_};
      }
      io_.out << "created an empty " << databasePath_ << '\n';
    }
    // The configured folder, made again when it is gone; without a usable one (or with a
    // path of another system, which would land relative to wherever orvctl runs) the folder
    // beside the files, where the filter looks next.
    std::string logFolder = settings.GetLogPath();
    if (!store::IsUsableLogPath(logFolder) && !logFolder.starts_with('/')) {
      logFolder = files::JoinPath(directory_, "log");
    }
    if (!files::IsDirectory(logFolder)) {
      if (!files::CreateDirectories(logFolder)) {
        throw CommandError{"cannot create the log folder " + Shown(logFolder)};
      }
      io_.out << "created the log folder " << Shown(logFolder) << '\n';
    }
    if (::access(logFolder.c_str(), W_OK | X_OK) != 0) {
      throw CommandError{"the log folder " + Shown(logFolder) + " is not writable"};
    }
  }

  void Unit(const std::string& verb) {
    const UnitResult result = units_.Act(verb, kWebServiceUnit);
    if (!result.ok) throw CommandError{result.message};
    io_.out << verb << " " << kWebServiceUnit << ": done\n";
  }

  int Repair() {
    RepairFiles();
    Unit("enable");
    Unit("reload-or-restart");
    return kCtlDone;
  }

  int Unload() {
    store::SettingsFile settings(settingsPath_);
    RequireReadableSettings();
    const bool switchedOff = settings.GetIsSystem();
    if (switchedOff) {
      Require(store::SaveKeyToDisk(settings, store::keys::kIsSystem, "0"), settingsPath_);
      io_.out << "switched the filter off (KeyIsSystem=0)\n";
    }
    // Only a running web service is reloaded; a stopped one filters nothing already.
    try {
      Unit("try-reload-or-restart");
    } catch (const CommandError& error) {
      if (!switchedOff) throw;
      throw CommandError{"KeyIsSystem is now 0, but " + error.message};
    }
    return kCtlDone;
  }

  const CtlArguments& args_;
  std::string settingsPath_;
  std::string databasePath_;
  std::string directory_;
  ServiceUnits& units_;
  CtlIo io_;
};

}  // namespace

int RunCtlCommand(const CtlArguments& args, const std::string& directory, ServiceUnits& units,
                  CtlIo io) {
  try {
    return Command(args, directory, units, io).Run();
  } catch (const CommandError& error) {
    io.out.flush();
    io.err << "orvctl: " << error.message << '\n';
    return kCtlFailed;
  }
}

}  // namespace orv::tools
