// CSettingsPage: the page behind the 系统设置 tab. It edits the filter's switches and texts in
// the settings file, turns the whole system on or off, restarts the web service, repairs the
// installation and points at the log folder.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "console/foundation/fetcher_transport.h"
#include "console/foundation/service_control.h"
#include "store/settings_rules.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orv::console {

class ConsoleState;
class CSkinButton;
class CSwitchButton;
class FolderChooser;
class MessageBoxes;
class ProcessList;
class Shell;
class SiblingPrograms;
struct SiblingOutcome;

// What the console controls outside its own files, behind interfaces so tests can stand in.
struct SystemControl {
  ServiceControl& services;
  SiblingPrograms& siblings;
  ProcessList& processes;
  Shell& shell;
  FolderChooser& folders;
};

struct SettingsPageTimings {
  int startMs = 20;           // after the page has painted: OS label and switch caption
  int restartPauseMs = 500;   // before the restart of the web service begins
  int serviceStepMs = 200;    // between removing and installing the background service
  int serviceSettleMs = 500;  // after installing it
};

// The label of the operating system: "操作系统:" name and, in brackets, "x64" for a 32-bit
// program on 64-bit Windows, else the machine's architecture.
QString OsLabelText(const QString& osName, bool wow64, const QString& architecture);

class CSettingsPage : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kSwitchId = 1020;
  static constexpr int kRestartId = 1021;
  static constexpr int kSaveId = 1024;
  static constexpr int kAdviceId = 1067;
  static constexpr int kOsLabelId = 1068;
  static constexpr int kChooseLinkId = 1039;
  static constexpr int kOpenLinkId = 1040;
  static constexpr int kDetailLinkId = 1054;
  static constexpr int kVerifyLinkId = 1061;
  static constexpr int kRepairLinkId = 1071;

  CSettingsPage(ConsoleState& state, MessageBoxes& boxes, SystemControl& control,
                SettingsPageTimings timings = {}, QWidget* parent = nullptr);
  // Waits for a web service restart still running, which reports back to this page.
  ~CSettingsPage() override;

  // Runs the log manager window for 详细; without one the window runs modally on the stored
  // log folder.
  void SetLogWindowOpener(std::function<void(QWidget*, const std::string&)> opener) {
    logWindowOpener_ = std::move(opener);
  }

  void Load();
  // True when every key was written and the system was set; the boxes say what was not.
  bool Save();
  // The switch was clicked: KeyIsSystem is written at once.
  void OnSwitchClicked();
  // Asks, then restarts the web service on a worker thread; the result comes back queued.
  void RestartIis();
  // Asks, then runs the repair; true when every step succeeded.
  bool Repair();
  void ChooseLogFolder();
  void OpenLogFolder();
  // The log manager window arrives with the log analyzer; until then this says so.
  void OpenLogManager();
  // Link 1061: verifies the typed account with the online keyword service and, when the
  // service accepts it, stores it in KeyUser. The window stays live during the request; the
  // link is disabled meanwhile.
  void VerifyAccount();
  void ShowSixtyFourBitAdvice();
  // Timer 1: the OS label and the switch caption once the page is up.
  void OnStartTimer();

  CSwitchButton* SystemSwitch() const { return switch_; }
  QLineEdit* FileTypes() const { return fileTypes_; }
  QLineEdit* SendWords() const { return sendWords_; }
  QLineEdit* SafeCode() const { return safeCode_; }
  QCheckBox* GzipBox() const { return gzip_; }
  QCheckBox* ShowWordsBox() const { return showWords_; }
  QCheckBox* LogBox() const { return log_; }
  QLineEdit* LogPath() const { return logPath_; }
  QLineEdit* ClearDays() const { return clearDays_; }
  QCheckBox* AutoWordsBox() const { return autoWords_; }
  QLineEdit* AutoHour() const { return autoHour_; }
  QLineEdit* UserName() const { return user_; }
  QLineEdit* Password() const { return password_; }
  CSkinButton* SaveButton() const { return save_; }
  CSkinButton* RestartButton() const { return restart_; }
  CSkinButton* AdviceButton() const { return advice_; }
  QLabel* OsLabel() const { return osLabel_; }
  QLabel* Link(int linkId) const;
  const QTimer& StartTimer() const { return startTimer_; }
  bool Restarting() const { return restarting_; }
  bool Verifying() const { return verifying_; }
  FetcherTransport& OnlineTransport() { return transport_; }

 private:
  static QString RestartCaption();
  void BuildControls();
  void ShowSwitchCaption();
  bool ReadFields(store::SettingsPageFields& fields);
  bool SaveSteps();
  // Has orvctl apply the switch: repair when it is on, unload when it is off.
  SiblingOutcome ApplySystemSwitch();
  void FinishRestart(const ServiceResult& result);
  void Status(const QString& text);

  ConsoleState& state_;
  MessageBoxes& boxes_;
  SystemControl& control_;
  SettingsPageTimings timings_;
  std::function<void(QWidget*, const std::string&)> logWindowOpener_;
  // The page's keys as loaded (or last saved), to notice another program's changes.
  store::SettingsPageFields loaded_;

  CSwitchButton* switch_ = nullptr;
  QLineEdit* fileTypes_ = nullptr;
  QLineEdit* sendWords_ = nullptr;
  QLineEdit* safeCode_ = nullptr;
  QCheckBox* gzip_ = nullptr;
  QCheckBox* showWords_ = nullptr;
  QCheckBox* log_ = nullptr;
  QLineEdit* logPath_ = nullptr;
  QLineEdit* clearDays_ = nullptr;
  QCheckBox* autoWords_ = nullptr;
  QLineEdit* autoHour_ = nullptr;
  QLineEdit* user_ = nullptr;
  QLineEdit* password_ = nullptr;
  CSkinButton* save_ = nullptr;
  CSkinButton* restart_ = nullptr;
  CSkinButton* advice_ = nullptr;
  QLabel* osLabel_ = nullptr;
  QLabel* links_[5] = {};

  QTimer startTimer_;
  bool restarting_ = false;
  std::thread restartThread_;
  FetcherTransport transport_;
  bool verifying_ = false;
};

}  // namespace orv::console
