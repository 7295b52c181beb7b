#include "console/foundation/desktop_services.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include "console/foundation/system_info.h"

namespace orv::console {

int SystemProcessList::IsProcessRunning(std::string_view exeName) {
  return orv::console::IsProcessRunning(exeName);
}

bool DesktopShell::Open(const QString& target) {
  const QUrl url =
      QFileInfo::exists(target) ? QUrl::fromLocalFile(target) : QUrl::fromUserInput(target);
  return QDesktopServices::openUrl(url);
}

int DialogFolderChooser::Choose(QWidget* owner, const std::string& initialFolder,
                                std::string& chosen) {
  return BrowseForFolder(owner, initialFolder, chosen);
}

BoxAnswer QtMessageBoxes::Show(QWidget* owner, BoxIcon icon, const QString& caption,
                               const QString& text, BoxButtons buttons) {
  QMessageBox box(owner);
  box.setWindowTitle(caption);
  box.setText(text);
  switch (icon) {
    case BoxIcon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case BoxIcon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case BoxIcon::Question:
      box.setIcon(QMessageBox::Question);
      break;
    case BoxIcon::Error:
      box.setIcon(QMessageBox::Critical);
      break;
  }
  switch (buttons) {
    case BoxButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case BoxButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case BoxButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok:
      return BoxAnswer::Ok;
    case QMessageBox::Yes:
      return BoxAnswer::Yes;
    case QMessageBox::No:
      return BoxAnswer::No;
    default:
      return BoxAnswer::Cancel;
  }
}

}  // namespace orv::console
