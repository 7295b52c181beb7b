// CAboutDlg: product title, maker and a link to the maker's site.
#pragma once

#include <QDialog>

namespace orv::console {

class Shell;

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  CAboutDlg(Shell& shell, QWidget* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Shell& shell_;
  QWidget* link_;
};

}  // namespace orv::console
