#include "store/filter_settings.h"

#include <atomic>
#include <new>

#include "keywords/page_text.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "store/keyword_database.h"
#include "store/list_split.h"
#include "store/settings_file.h"

namespace orv::store {
namespace {

constexpr std::string_view kUserPlaceholder = "%user%";
constexpr std::string_view kListSeparator = "|";

// The block page's message goes into a script string: HTML-escaped like every text the
// block pages show, and led by two script-level line breaks (the four characters \n\n) so
// it stands apart from the fixed text.
std::string PrepareSendWords(std::string_view raw) {
  std::string escaped(raw);
  keywords::EscapeHtml(escaped);
  if (escaped.empty()) return escaped;
  return "\\n\\n" + escaped;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// "asp|aspx" -> "|asp|aspx|": an extension is listed exactly when "|ext|" occurs in it.
std::string PrepareFileTypes(std::string_view raw) {
  if (raw.empty()) return {};
  std::string types = ascii::Lower(raw);
  if (types.front() != '|') types.insert(types.begin(), '|');
  if (types.back() != '|') types.push_back('|');
  return types;
}

// The four lists of one encoding share one automaton, so a page screen (free, record, deny,
// replace on the same text) scans the text once instead of four times.
KeywordSet Compile(RawKeywordLists lists) {
  keywords::CompiledGroup group =
      keywords::CompileGroup(std::move(lists.deny), std::move(lists.replace),
                             std::move(lists.record), std::move(lists.free));
  return {std::move(group.deny), std::move(group.replace), std::move(group.record),
          std::move(group.free)};
}

}  // namespace

LoadResult LoadSettings(const FilterSettings& previous, std::string_view moduleDirectory) {
  LoadResult result{previous, std::nullopt};
  FilterSettings& s = result.settings;
  static std::atomic<std::uint64_t> loads{0};
  s.serial = ++loads;  // also when the load ends early: a new record all the same
  try {
    s.moduleDirectory = std::string(moduleDirectory);
    s.settingsPath = files::JoinPath(moduleDirectory, kSettingsFileName);
    s.databasePath = files::JoinPath(moduleDirectory, kDatabaseFileName);

    // Without a settings file nothing changes but the note that it was missing.
    if (moduleDirectory.empty() || !files::Exists(s.settingsPath)) {
      s.loaded = false;
      return result;
    }
    const SettingsFile file(s.settingsPath);

    // Switched off: the lists keep what the last load gave them.
    s.loaded = true;
    if (file.ReadKey(keys::kIsSystem) != "1") {
      s.enabled = false;
      return result;
    }
    s.enabled = true;

    s.fileTypes = PrepareFileTypes(file.ReadKey(keys::kFileType));

    // Only templates that still hold the placeholder change, so the message of the first
    // load stays on the block pages until the library is loaded again.
    s.sendWords = PrepareSendWords(file.ReadKey(keys::kSendWords));
    ReplaceAll(s.urlBlockPage, kUserPlaceholder, s.sendWords);
    ReplaceAll(s.ipBlockPage, kUserPlaceholder, s.sendWords);
    ReplaceAll(s.keywordBlockPage, kUserPlaceholder, s.sendWords);

    s.safeCode = ascii::Lower(file.ReadKey(keys::kSafeCode));

    s.stripEncoding = file.ReadKey(keys::kIsGzip) == "1";
    s.showWords = file.ReadKey(keys::kIsShowWords) == "1";
    s.logEnabled = file.ReadKey(keys::kIsLog) == "1";

    if (s.logEnabled) {
      std::string directory = file.ReadKey(keys::kLogPath);
      if (!files::IsDirectory(directory)) {
        directory = files::JoinPath(moduleDirectory, "log");
        directory.push_back(files::SeparatorOf(directory));
      }
      if (files::IsDirectory(directory)) {
        s.logPath = directory;
        result.logDirectory = directory;
      } else {
        s.logEnabled = false;
      }
    }

    s.blackUrls = SplitKeepingLongPieces(ascii::Lower(file.ReadKey(keys::kHeiUrl)), kListSeparator);
    s.blackIps = SplitKeepingLongPieces(file.ReadKey(keys::kHeiIp), kListSeparator);
    s.whiteUrls = SplitKeepingLongPieces(ascii::Lower(file.ReadKey(keys::kBaiUrl)), kListSeparator);
    s.whiteIps = SplitKeepingLongPieces(file.ReadKey(keys::kBaiIp), kListSeparator);

    LoadedKeywordLists lists = LoadKeywordLists(s.databasePath);
    s.gbk = Compile(std::move(lists.gbk));
    s.utf8 = Compile(std::move(lists.utf8));
    s.loaded = true;
  } catch (const std::bad_alloc&) {
    // Out of memory part-way: keep serving with the record as it was.
    return {previous, std::nullopt};
  }
  return result;
}

}  // namespace orv::store
