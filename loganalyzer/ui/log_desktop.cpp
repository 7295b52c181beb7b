#include "loganalyzer/ui/log_desktop.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include "console/foundation/system_info.h"
#include "platform/codepage.h"

namespace orv::loganalyzer {

QString LocalPath(const std::string& path) {
  return QString::fromLocal8Bit(path);
}

QString FromGbk(std::string_view gbk) {
  return QString::fromStdString(codepage::AnsiToUtf8(gbk));
}

std::string ToGbk(const QString& text) {
  return codepage::Utf8ToAnsi(text.toStdString());
}

bool SystemLogDesktop::CopyText(std::string_view gbkText) {
  return console::CopyTextToClipboard(gbkText);
}

bool SystemLogDesktop::MoveToTrash(const std::string& path, QString& reason) {
  const QFileInfo info(LocalPath(path));
  if (path.empty() || !info.exists()) {
    reason = QStringLiteral("文件不存在");
    return false;
  }
  if (!info.isFile()) {
    reason = QStringLiteral("不是文件");
    return false;
  }
  QFile file(info.filePath());
  if (!file.moveToTrash()) {
    reason = file.errorString();
    return false;
  }
  return true;
}

void SystemLogDesktop::ShowInFolder(const std::string& filePath) {
  const QString path = LocalPath(filePath);
  // The file manager of most desktops answers this and selects the file; without a session
  // bus or such a service the folder is opened instead.
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected()) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
    if (reply.type() == QDBusMessage::ReplyMessage) {
      return;
    }
  }
  const QFileInfo info(path);
  QDesktopServices::openUrl(QUrl::fromLocalFile(info.isDir() ? path : info.absolutePath()));
}

void SystemLogDesktop::OpenFolder(const std::string& folder) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(LocalPath(folder)));
}

LogDesktop& DefaultLogDesktop() {
  static SystemLogDesktop desktop;
  return desktop;
}

}  // namespace orv::loganalyzer
