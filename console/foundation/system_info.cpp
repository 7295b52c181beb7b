#include "console/foundation/system_info.h"

#include <dirent.h>

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QObject>
#include <algorithm>
#include <cctype>
#include <memory>

#include "console/foundation/dates_paths.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace orv::console {

namespace {
// Takes quit requests out of the event stream while PumpMessages dispatches.
class QuitCatcher : public QObject {
 public:
  bool quitSeen = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Quit) {
      quitSeen = true;
      return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

std::string LowerName(std::string_view name) {
  return ascii::Lower(name);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TrimLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '\0')) {
    text.pop_back();
  }
  return text;
}

std::string OsReleaseValue(std::string_view osRelease, std::string_view key) {
  std::size_t from = 0;
  while (from < osRelease.size()) {
    std::size_t end = osRelease.find('\n', from);
    if (end == std::string_view::npos) {
      end = osRelease.size();
    }
    std::string_view line = osRelease.substr(from, end - from);
    from = end + 1;
    if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == '=') {
      std::string_view value = line.substr(key.size() + 1);
      if (!value.empty() && value.back() == '\r') {
        value.remove_suffix(1);
      }
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
          value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      return std::string(value);
    }
  }
  return {};
}
}  // namespace

bool PumpMessages() {
  auto* app = QCoreApplication::instance();
  if (app == nullptr) {
    return true;
  }
  QuitCatcher catcher;
  app->installEventFilter(&catcher);
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  app->removeEventFilter(&catcher);
  return !catcher.quitSeen;
}

bool IsWow64() {
  return false;
}

std::string OsNameFromOsRelease(std::string_view osRelease) {
  std::string name = OsReleaseValue(osRelease, "PRETTY_NAME");
  if (name.empty()) {
    name = OsReleaseValue(osRelease, "NAME");
  }
  return name;
}

int GetOsName(std::string& name) {
  std::string osRelease;
  if (!files::ReadWholeFile("/etc/os-release", osRelease)) {
    files::ReadWholeFile("/usr/lib/os-release", osRelease);
  }
  const std::string utf8 = OsNameFromOsRelease(osRelease);
  name = utf8.empty() ? std::string("Linux") : codepage::Utf8ToAnsi(utf8);
  return kOsCodeOther;
}

int IsProcessRunning(std::string_view exeName) {
  return IsProcessRunningIn("/proc", exeName);
}

int IsProcessRunningIn(const std::string& procRoot, std::string_view exeName) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(procRoot.c_str()), closedir);
  if (!dir) {
    return -1;
  }
  const std::string wanted = LowerName(exeName);
  std::string wantedBare = wanted;
  if (wantedBare.size() > 4 && wantedBare.compare(wantedBare.size() - 4, 4, ".exe") == 0) {
    wantedBare.resize(wantedBare.size() - 4);
  }
  auto matches = [&](const std::string& candidate) {
    const std::string lower = LowerName(candidate);
    return !lower.empty() && (lower == wanted || lower == wantedBare);
  };
  while (const dirent* entry = readdir(dir.get())) {
    const std::string pid = entry->d_name;
    if (pid.empty() || !std::all_of(pid.begin(), pid.end(),
                                    [](unsigned char c) { return std::isdigit(c) != 0; })) {
      continue;
    }
    const std::string base = procRoot + "/" + pid;
    std::string cmdline;
    if (files::ReadWholeFile(base + "/cmdline", cmdline)) {
      // argv[0] up to its terminating zero.
      const std::string first = cmdline.substr(0, cmdline.find('\0'));
      if (matches(BaseName(first))) {
        return 1;
      }
    }
    // The kernel's short name (cut to 15 bytes) covers processes without a command line.
    std::string comm;
    if (files::ReadWholeFile(base + "/comm", comm) && matches(TrimLineEnd(comm))) {
      return 1;
    }
  }
  return 0;
}

bool CopyTextToClipboard(std::string_view text) {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
    return false;
  }
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) {
    return false;
  }
  clipboard->setText(QString::fromStdString(codepage::AnsiToUtf8(text)));
  return true;
}

int BrowseForFolder(QWidget* owner, const std::string& initialFolder, std::string& chosen) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    return -1;
  }
  const QString start = PathExistsAs(initialFolder, true)
                            ? QString::fromStdString(codepage::AnsiToUtf8(initialFolder))
                            : QString();
  const QString folder =
      QFileDialog::getExistingDirectory(owner, QStringLiteral("请选择文件夹:"), start);
  if (folder.isEmpty()) {
    return 0;
  }
  chosen = codepage::Utf8ToAnsi(folder.toStdString());
  return 1;
}

}  // namespace orv::console
