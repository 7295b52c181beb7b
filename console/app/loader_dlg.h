// CLoaderDlg: the start-up window. It paints first, then runs the load steps with a progress
// bar and a status line, and closes itself.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace orv::console {

class ConsoleState;
class MessageBoxes;

struct LoaderTimings {
  int startDelayMs = 80;   // lets the window paint before the work starts
  int finalPauseMs = 100;  // after "加载完毕！"
  int closeDelayMs = 600;  // before the window closes
};

class CLoaderDlg : public QDialog {
  Q_OBJECT

 public:
  CLoaderDlg(ConsoleState& state, MessageBoxes& boxes, LoaderTimings timings = {},
             QWidget* parent = nullptr);

  int Progress() const;
  QString StatusText() const;
  bool LoadSucceeded() const { return loadSucceeded_; }

  // The work of the start timer; public so tests can run it without waiting.
  void RunLoadSteps();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  ConsoleState& state_;
  MessageBoxes& boxes_;
  LoaderTimings timings_;
  QPixmap background_;
  QProgressBar* progress_;
  QLabel* status_;
  QTimer startTimer_;
  bool loadSucceeded_ = false;
};

}  // namespace orv::console
