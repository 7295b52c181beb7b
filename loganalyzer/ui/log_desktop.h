// What the log windows ask of the desktop, behind one interface so that tests can stand in:
// the clipboard, the trash, and showing a file or a folder in the file manager.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace orv::loganalyzer {

// Paths are the folder's bytes as the settings hold them; texts are GBK.
class LogDesktop {
 public:
  virtual ~LogDesktop() = default;
  // Puts the GBK text on the clipboard; false when there is no clipboard.
  virtual bool CopyText(std::string_view gbkText) = 0;
  // Moves one file (never a folder) to the desktop trash; false with `reason` set otherwise.
  virtual bool MoveToTrash(const std::string& path, QString& reason) = 0;
  // Shows the file selected in the desktop's file manager, or at least opens its folder.
  virtual void ShowInFolder(const std::string& filePath) = 0;
  // Opens a folder in the desktop's file manager.
  virtual void OpenFolder(const std::string& folder) = 0;
};

// The running desktop: Qt's clipboard, QFile::moveToTrash, and the freedesktop FileManager1
// interface over the session bus, falling back to opening the folder.
class SystemLogDesktop : public LogDesktop {
 public:
  bool CopyText(std::string_view gbkText) override;
  bool MoveToTrash(const std::string& path, QString& reason) override;
  void ShowInFolder(const std::string& filePath) override;
  void OpenFolder(const std::string& folder) override;
};

// The desktop the console's windows use unless a test hands them another.
LogDesktop& DefaultLogDesktop();

// A path's bytes as Qt file operations take them, and GBK texts for display and back.
QString LocalPath(const std::string& path);
QString FromGbk(std::string_view gbk);
std::string ToGbk(const QString& text);

}  // namespace orv::loganalyzer
