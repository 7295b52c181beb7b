// CLogListPage: the 系统日志 page of the 日志分析 section. Lists the day files of the log
// folder with their line counts, opens the log manager window on a chosen day, opens the
// folder and clears every listed file (to the desktop trash).
#pragma once

#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace orv::loganalyzer {
class LogDesktop;
}

namespace orv::console {

class ConsoleState;
class CSkinButton;
class MessageBoxes;

// Runs the log manager window for a log folder and returns when it closes.
using LogWindowOpener = std::function<void(QWidget* owner, const std::string& logFolder)>;

class CLogListPage : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kColumnSerial = 0;
  static constexpr int kColumnDate = 1;
  static constexpr int kColumnLines = 2;
  static constexpr int kColumnPath = 3;  // hidden: the file's full path

  // `opener` empty: the log manager window runs modally.
  CLogListPage(ConsoleState& state, MessageBoxes& boxes, loganalyzer::LogDesktop& desktop,
               LogWindowOpener opener = {}, int startScanMs = 500, QWidget* parent = nullptr);

  // Fills the list from the log folder. Days are listed newest first (the oldest gets serial
  // 1); the events are dispatched after each file so a year of days does not freeze the page.
  void Scan();
  void OpenSelectedDay();
  void OpenViewer();
  // Asks, then moves every listed file to the trash; rows whose file could not be moved stay
  // listed, marked, and the summary names them with the reason.
  void ClearLogs();
  void OpenFolder();

  QTreeWidget* List() const { return list_; }
  QLabel* ScanStatus() const { return scanStatus_; }
  CSkinButton* RefreshButton() const { return refresh_; }
  CSkinButton* DetailButton() const { return detail_; }
  QMenu& ContextMenu() { return menu_; }
  const QTimer& StartTimer() const { return startTimer_; }
  // The log folder as scanned: KeyLogPath with a trailing separator.
  std::string LogFolder() const;

 private:
  void OnStartTimer();
  void OpenWindow();

  ConsoleState& state_;
  MessageBoxes& boxes_;
  loganalyzer::LogDesktop& desktop_;
  LogWindowOpener opener_;
  bool scanning_ = false;

  QTreeWidget* list_ = nullptr;     // 1019
  CSkinButton* detail_ = nullptr;   // 1038
  CSkinButton* refresh_ = nullptr;  // 1037
  QLabel* scanStatus_ = nullptr;    // 1058
  QMenu menu_;
  QTimer startTimer_;
};

}  // namespace orv::console
