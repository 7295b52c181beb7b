// CMainDlg: the main window. Five tab buttons down the left switch between the four sections
// (the fifth opens the maker's site); the title carries the status line that pages set.
#pragma once

#include <QDialog>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QTimer>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "online/feeds.h"

class QLabel;

namespace orv::console {

class BackgroundJob;
class CIconButton;
class CPageContainer;
class ConsoleState;
class MessageBoxes;
class ProcessList;
class Shell;
struct SystemControl;

struct MainDlgTimings {
  int statusMs = 200;        // timer 1: status line into the title
  int statusClearMs = 1000;  // timer 2, once: clears the start-up status
  int adMs = 3000;           // timer 3: advertisement rotation
  int versionMarkMs = 1000;  // timer 4: verification mark behind the version label
  int feedDelayMs = 2000;    // before the update check and the advertisement feed start
  bool runFeeds = true;      // false: neither starts (the default advertisement stays)
};

// The addresses of the update check and the advertisement bar (GBK), prepared at start-up.
struct FeedAddresses {
  std::string updateFeed;
  std::string downloadPage;  // opened when the update notice names no web page
  std::string adsFeed;
  online::AdEntry defaultAd;
};

class CMainDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kFirstTabId = 1000;
  static constexpr int kAboutTabId = 1004;

  CMainDlg(ConsoleState& state, MessageBoxes& boxes, SystemControl& control,
           MainDlgTimings timings = {}, QWidget* parent = nullptr);
  ~CMainDlg() override;

  // Download time bound of the two feeds.
  static constexpr int kFeedTimeoutMs = 10000;

  // Tab buttons 1000..1003 switch sections; 1004 opens the maker's site.
  void OnTabClicked(int tabId);
  int SelectedTabId() const { return selectedTab_; }
  CPageContainer* CurrentSection() const { return currentSection_; }
  CPageContainer* Section(int tabId) const;
  CIconButton* TabButton(int tabId) const;
  QString VersionLabelText() const;

  // Timer work, public so tests can drive it without waiting for the periods.
  void OnStatusTimer();
  void OnStatusClearTimer();
  void OnAdTimer();
  void OnVersionMarkTimer();

  // The background jobs' results, on the user-interface thread. The update notice asks
  // whether to open the new version's page; the advertisement entries replace the rotation
  // (a failed download puts the default advertisement back).
  void OnUpdateFeed(const online::UpdateNotice& notice);
  void OnAdsFeed(bool downloaded, std::vector<online::AdEntry> entries);
  // A click on the advertisement (1006).
  void OpenAdLink();
  const FeedAddresses& Feeds() const { return feeds_; }
  QLabel* AdTitle() const { return adTitle_; }
  // The advertisement's text colour as drawn.
  QColor AdColour() const;
  // How many feed results have reached the window (0, 1 or 2).
  int FeedsHandled() const { return feedsHandled_; }

  const QTimer& StatusTimer() const { return statusTimer_; }
  const QTimer& StatusClearTimer() const { return statusClearTimer_; }
  const QTimer& AdTimer() const { return adTimer_; }
  const QTimer& VersionMarkTimer() const { return versionMarkTimer_; }

  // Skips the background-service question when closing (used when the program grabs a
  // screenshot and leaves by itself).
  void SetCloseWithoutAsking(bool on) { closeWithoutAsking_ = on; }

  void OpenAboutDialog();

  // Shows one leaf page by its short name (settings, words-deny, words-replace, words-record,
  // words-free, list-black, list-white), as a click on its tabs would; false for another name.
  bool ShowPage(const QString& name);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateTabButtons();
  void CreateSections();
  void CreateLabels();
  void StyleTab(CIconButton* button, bool selected);
  void SetTitleStatus(const std::string& status);
  bool ConfirmClose();
  void StartFeeds();
  void ShowAd(const online::AdEntry& entry);

  ConsoleState& state_;
  MessageBoxes& boxes_;
  SystemControl& control_;
  ProcessList& processes_;
  Shell& shell_;
  MainDlgTimings timings_;

  QPixmap background_;
  QFont normalFont_;
  QFont boldFont_;
  std::array<CIconButton*, 5> tabs_{};
  std::array<CPageContainer*, 4> sections_{};
  CPageContainer* currentSection_ = nullptr;
  int selectedTab_ = kFirstTabId;

  QLabel* makerLine_ = nullptr;     // 1005
  QLabel* adTitle_ = nullptr;       // 1006
  QLabel* versionLabel_ = nullptr;  // 1023
  QLabel* adDot_ = nullptr;         // 1069
  QLabel* solutions_ = nullptr;     // 1074
  FeedAddresses feeds_;
  online::AdRotation adRotation_;
  std::string adLink_;  // GBK
  QColor adColour_;
  int feedsHandled_ = 0;
  std::unique_ptr<BackgroundJob> updateJob_;
  std::unique_ptr<BackgroundJob> adsJob_;

  std::string shownStatus_;
  QTimer statusTimer_;
  QTimer statusClearTimer_;
  QTimer adTimer_;
  QTimer versionMarkTimer_;

  bool closeWithoutAsking_ = false;
  bool dragging_ = false;
  QPoint dragOffset_;
};

}  // namespace orv::console
