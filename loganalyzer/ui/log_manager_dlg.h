// CLogManagerDlg: the log manager window. Days on the left; on the right the kind tabs and the
// shown page of the day's lines; search and paging along the bottom. The day index and the
// day's paging are the log analyzer's (LogIndex, DayLog); this window only drives and shows
// them. Long work (scanning, loading a large day, counting the days for the charts) runs in
// steps on the user-interface thread with the event loop kept alive between steps.
#pragma once

#include <QDialog>
#include <QMenu>
#include <QTimer>
#include <cstddef>
#include <memory>
#include <string>

#include "loganalyzer/day_log.h"
#include "loganalyzer/log_index.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabBar;
class QTableView;
class QTreeWidget;

namespace orv::console {
class MessageBoxes;
}

namespace orv::loganalyzer {

class CLogStatsDlg;
class LogDesktop;
class LogLineModel;

struct LogManagerTimings {
  int scanMs = 100;  // first scan after the window is painted, and "刷新"
  int rescanAfterDeleteMs = 10;
  std::size_t loadStepBytes = std::size_t{2} << 20;  // bytes read between two event dispatches
};

class CLogManagerDlg : public QDialog {
  Q_OBJECT

 public:
  CLogManagerDlg(std::string logFolder, console::MessageBoxes& boxes, LogDesktop& desktop,
                 QWidget* parent = nullptr, LogManagerTimings timings = {});
  CLogManagerDlg(std::string logFolder, console::MessageBoxes& boxes, LogDesktop& desktop,
                 PreselectedDay& preselected, QWidget* parent = nullptr,
                 LogManagerTimings timings = {});
  ~CLogManagerDlg() override;

  // Runs the window modally. When the log folder is not an existing directory it says so and
  // returns Rejected without showing the window.
  int Run();
  bool FolderExists() const;

  // What the events and menu commands do; public so tests can drive them.
  void Scan();
  void OpenSelectedDay();
  void DeleteDay();
  void DeleteDayFromLines();  // the line list's "删除当天所有日志": only with lines shown
  void OpenFolder();
  void Refresh();
  void ShowDetail();
  void CopyUrl();
  void CopyLine();
  void FirstPage();
  void PreviousPage();
  void NextPage();
  void LastPage();
  // The statistics of the shown day and of every listed day, counted now (with progress).
  std::unique_ptr<CLogStatsDlg> BuildStatistics();
  void ShowStatistics();

  QTreeWidget* DayList() const { return dayList_; }
  QTableView* LineList() const { return lineList_; }
  const LogLineModel& Lines() const { return *model_; }
  QTabBar* KindTabs() const { return kindTabs_; }
  QLineEdit* SearchBox() const { return search_; }
  QLabel* DayCountLabel() const { return dayCount_; }
  QLabel* SummaryLabel() const { return summary_; }
  QLabel* StatusLabel() const { return status_; }
  QMenu& DayMenu() { return dayMenu_; }
  QMenu& LineMenu() { return lineMenu_; }
  const QTimer& ScanTimer() const { return scanTimer_; }
  const LogIndex& Index() const { return index_; }
  const DayLog& Day() const { return day_; }
  bool Busy() const { return busy_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void done(int result) override;

 private:
  void BuildControls();
  void BuildMenus();
  void ReadDay(const std::string& path);
  void ShowPage(int n);
  void GoTo(int target);
  void OnKindChanged(int kind);
  void OnSearchChanged();
  void ResetKind();
  void RelabelTabs(bool withCounts);
  void SetTitleStatus(const QString& status);
  void SetLinksEnabled(bool on);
  void SetBusy(bool on);
  void FitLineColumns(int clientWidth);
  const DisplayRow* SelectedLine() const;

  std::string folder_;  // as the settings hold it
  console::MessageBoxes& boxes_;
  LogDesktop& desktop_;
  LogManagerTimings timings_;
  LogIndex index_;
  DayLog day_;
  int shownPage_ = 1;
  bool initialised_ = false;
  bool busy_ = false;
  bool closing_ = false;

  QLabel* dayCount_ = nullptr;      // 1053
  QTreeWidget* dayList_ = nullptr;  // 1043
  QLabel* summary_ = nullptr;       // 1052
  QTabBar* kindTabs_ = nullptr;     // 1045
  QTableView* lineList_ = nullptr;  // 1044
  LogLineModel* model_ = nullptr;
  QLabel* status_ = nullptr;  // 1046
  QProgressBar* progress_ = nullptr;
  QLineEdit* search_ = nullptr;          // 1016
  QPushButton* searchButton_ = nullptr;  // 1021
  QPushButton* statsButton_ = nullptr;
  QLabel* links_[4] = {};  // 1048..1051
  QMenu dayMenu_;
  QMenu lineMenu_;
  QTimer scanTimer_;
};

// Opens the log manager modally on `logFolder` (KeyLogPath as the settings hold it). The
// second form first makes `dateLabel` and `path` the preselected day ("详细" links that name a
// day); an empty label keeps the preselected day as it is.
void OpenLogManager(QWidget* owner, const std::string& logFolder, console::MessageBoxes& boxes,
                    LogDesktop& desktop);
void OpenLogManagerOnDay(QWidget* owner, const std::string& logFolder, const std::string& dateLabel,
                         const std::string& path, console::MessageBoxes& boxes,
                         LogDesktop& desktop);

}  // namespace orv::loganalyzer
