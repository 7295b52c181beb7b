// The console's two operations with the online keyword service, below the widgets: account
// verification (the settings page's link) and the keyword fetch with its merge into the local
// deny and replace lists (the deny page's button). The console and orvctl both call these and
// show the returned notice; every text here is GBK.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "online/transport.h"

namespace orv::store {
class SettingsFile;
}

namespace orv::online {

// The icon of the message box the console shows.
enum class BoxKind { Information, Warning, Error };

struct Notice {
  BoxKind kind = BoxKind::Information;
  std::string caption;  // GBK
  std::string text;     // GBK
};

// StatusText values while the operations run ("正在验证...", "正在获取...", "正在解析...")
// and after them ("0").
std::string StatusVerifying();
std::string StatusFetching();
std::string StatusParsing();
inline constexpr std::string_view kStatusIdle = "0";

struct VerifyOutcome {
  Notice notice;
  bool requestSent = false;
  // True when the service accepted the account and KeyUser now holds it; the console then
  // sets VersionMark to versionMark.
  bool accountStored = false;
  std::string versionMark;
  std::string detail;  // the transport's reason for a network failure, for logs
};

// True when both hold something besides blanks at their ends; otherwise VerifyAccount sends
// nothing and answers with the input error box.
bool AccountInputComplete(std::string_view user, std::string_view password);

// Verifies `user` and `password` (GBK, as typed; blanks at both ends are trimmed) with the
// service at ServiceBaseUrl(settings). On success the account record is written to KeyUser.
VerifyOutcome VerifyAccount(store::SettingsFile& settings, HttpTransport& transport,
                            std::string_view user, std::string_view password);

struct FetchOutcome {
  Notice notice;
  bool merged = false;  // the lists were merged and saved (or there was nothing new)
  std::size_t denyAdded = 0;
  std::size_t replaceAdded = 0;
  // Fetched entries refused because they would break the database: a section tag, a carriage
  // return, a line feed or a zero byte.
  std::size_t refused = 0;
  // Set ReplaceListChanged and refresh the deny page (something was added).
  bool listsChanged = false;
  GetOutcome transportOutcome = GetOutcome::NetworkFailure;
  std::string detail;  // the transport's reason for a network failure, for logs
};

// Fetches the lists for the account stored in KeyUser and merges them into the deny and replace
// sections of the database at `databasePath`, starting from the file as it is on disk and
// writing only those two sections, in one atomic replacement, only when something was added.
// `replyArrived`, when given, is called once the service has answered, before the reply is read
// (the console shows its "parsing" status then).
FetchOutcome FetchKeywords(const store::SettingsFile& settings, const std::string& databasePath,
                           HttpTransport& transport,
                           const std::function<void()>& replyArrived = {});

// True when a fetched entry can be stored in a database section: it holds no section tag
// (opening or closing, in any letter case), no CR, no LF and no zero byte.
bool IsStorableEntry(std::string_view entry);

struct MergeResult {
  std::string section;  // the local section with the new entries appended
  std::size_t added = 0;
  std::size_t refused = 0;
};

// Merges the fetched list (entries joined by "@@") into a local section: pieces shorter than
// 2 bytes are dropped, an entry already known (compared whole, byte for byte) is skipped, a
// repeated one is added once, refused ones are counted; each new entry is appended as "@@" +
// entry, and the local text itself is never altered.
MergeResult MergeFetchedList(std::string_view localSection, std::string_view fetched);

}  // namespace orv::online
