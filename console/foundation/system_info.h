// Operating-system checks and desktop services the console pages use: keeping the window alive
// during long work, the system's name, running processes, clipboard and folder browsing.
#pragma once

#include <string>
#include <string_view>

class QWidget;

namespace orv::console {

// Dispatches every waiting event of the user-interface thread. False when a quit request was
// among them (it is consumed, as the long actions that pump have always done), else true.
bool PumpMessages();

// 32-bit process on a 64-bit Windows; never the case on Linux.
bool IsWow64();

// The code for "a system the Windows version table does not name": every Linux system.
inline constexpr int kOsCodeOther = 11;

// Fills `name` (GBK) with the system's name and returns its code. On Linux the name is
// PRETTY_NAME of /etc/os-release (else NAME, else "Linux") and the code is always
// kOsCodeOther, since none of the Windows versions of the table applies.
int GetOsName(std::string& name);

// The name from the text of an os-release file; empty when it names none.
std::string OsNameFromOsRelease(std::string_view osRelease);

// 1 when a running process has the executable name `exeName` (case-insensitive, no path),
// 0 when none has, -1 when the process list cannot be read. A name ending in ".exe" also
// matches the process of the same name without it, the form Linux programs carry.
int IsProcessRunning(std::string_view exeName);
// The same over another process folder (tests use a fake one).
int IsProcessRunningIn(const std::string& procRoot, std::string_view exeName);

// Puts the GBK text on the clipboard as plain text; false when there is no clipboard.
bool CopyTextToClipboard(std::string_view text);

// Asks for a folder with the title "请选择文件夹:", starting in `initialFolder` when it is an
// existing directory. 1 with `chosen` filled (GBK), 0 when cancelled, -1 when no dialog can be
// shown (no user interface).
int BrowseForFolder(QWidget* owner, const std::string& initialFolder, std::string& chosen);

}  // namespace orv::console
