// The desktop services the console asks for, behind interfaces so that tests can stand in:
// the process list, opening addresses and documents, and message boxes.
#pragma once

#include <QString>
#include <string>
#include <string_view>

class QWidget;

namespace orv::console {

class ProcessList {
 public:
  virtual ~ProcessList() = default;
  // 1 running, 0 not running, -1 the process list cannot be read (see IsProcessRunning).
  virtual int IsProcessRunning(std::string_view exeName) = 0;
};

class SystemProcessList : public ProcessList {
 public:
  int IsProcessRunning(std::string_view exeName) override;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens a web address or a document with the desktop's default program.
  virtual bool Open(const QString& target) = 0;
};

class DesktopShell : public Shell {
 public:
  bool Open(const QString& target) override;
};

// The folder browser, so that tests can answer it.
class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  // 1 with `chosen` (GBK) filled, 0 when cancelled, -1 when no browser can be shown.
  virtual int Choose(QWidget* owner, const std::string& initialFolder, std::string& chosen) = 0;
};

// BrowseForFolder: the desktop's folder dialog.
class DialogFolderChooser : public FolderChooser {
 public:
  int Choose(QWidget* owner, const std::string& initialFolder, std::string& chosen) override;
};

enum class BoxIcon { Information, Warning, Question, Error };
enum class BoxButtons { Ok, OkCancel, YesNo };
enum class BoxAnswer { Ok, Cancel, Yes, No };

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual BoxAnswer Show(QWidget* owner, BoxIcon icon, const QString& caption, const QString& text,
                         BoxButtons buttons = BoxButtons::Ok) = 0;
};

// Modal QMessageBox.
class QtMessageBoxes : public MessageBoxes {
 public:
  BoxAnswer Show(QWidget* owner, BoxIcon icon, const QString& caption, const QString& text,
                 BoxButtons buttons) override;
};

}  // namespace orv::console
