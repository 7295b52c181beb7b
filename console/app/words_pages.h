// The four keyword list pages of the 词库管理 section: each shows one section of the keyword
// database as one entry per line and saves it back. They differ only in their WordsPageKind.
#pragma once

#include <QTimer>
#include <QWidget>
#include <string>

#include "console/foundation/fetcher_transport.h"
#include "store/keyword_database.h"

class QLabel;
class QPlainTextEdit;

namespace orv::console {

class ConsoleState;
class CSkinButton;
class MessageBoxes;

struct WordsPageKind {
  store::Section section;
  QString caption;     // above the list
  int refreshId;       // control id of the refresh button
  int ruleLinks;       // 0, 2 (add, subtract) or 3 (and the equals rule)
  QString savingText;  // status while saving; empty: the status is left alone
  QString doneText;    // status after a save
  int firstLoadMs;     // delay of the first Load after creation
  bool onlineFetch;    // the 在线获取 button
  bool changePoll;     // reload when the online fetch changed the replace list
};

class CWordsPage : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kListId = 1034;
  static constexpr int kSaveId = 1024;
  static constexpr int kCountId = 1057;
  static constexpr int kOnlineFetchId = 1021;
  static constexpr int kAddRuleId = 1041;
  static constexpr int kSubtractRuleId = 1042;
  static constexpr int kEqualsRuleId = 1059;
  static constexpr int kChangePollMs = 2000;

  void Load();
  void Refresh();
  // False when nothing was written (refused text, declined overwrite, failed write).
  bool Save();
  void Recount();
  void ShowRuleHelp(int linkId);
  // Button 1021 of the deny page: asks, then fetches the service's deny and replace lists for
  // the stored account and merges what is new into the database file. The window stays live
  // during the request; the button is disabled meanwhile.
  void OnlineFetch();
  bool Fetching() const { return fetching_; }
  FetcherTransport& OnlineTransport() { return transport_; }
  // The change poll's tick.
  void OnChangePoll();

  QPlainTextEdit* List() const { return list_; }
  QLabel* CountLabel() const { return count_; }
  CSkinButton* SaveButton() const { return save_; }
  CSkinButton* RefreshButton() const { return refresh_; }
  CSkinButton* OnlineFetchButton() const { return onlineFetch_; }
  QLabel* RuleLink(int linkId) const;
  const QTimer& FirstLoadTimer() const { return firstLoad_; }
  const QTimer& ChangePollTimer() const { return changePoll_; }
  const WordsPageKind& Kind() const { return kind_; }

 protected:
  CWordsPage(ConsoleState& state, MessageBoxes& boxes, WordsPageKind kind, QWidget* parent);

  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildControls();
  void FinishSave(bool saved);

  ConsoleState& state_;
  MessageBoxes& boxes_;
  WordsPageKind kind_;
  std::string loadedSection_;  // the stored section this page's text came from

  QPlainTextEdit* list_ = nullptr;
  QLabel* count_ = nullptr;
  CSkinButton* save_ = nullptr;
  CSkinButton* refresh_ = nullptr;
  CSkinButton* onlineFetch_ = nullptr;
  QLabel* links_[3] = {};
  QTimer firstLoad_;
  QTimer changePoll_;
  FetcherTransport transport_;
  bool fetching_ = false;
};

class CDenyWordsPage : public CWordsPage {
  Q_OBJECT
 public:
  CDenyWordsPage(ConsoleState& state, MessageBoxes& boxes, QWidget* parent = nullptr);
};

class CReplaceWordsPage : public CWordsPage {
  Q_OBJECT
 public:
  CReplaceWordsPage(ConsoleState& state, MessageBoxes& boxes, QWidget* parent = nullptr);
};

class CRecordWordsPage : public CWordsPage {
  Q_OBJECT
 public:
  CRecordWordsPage(ConsoleState& state, MessageBoxes& boxes, QWidget* parent = nullptr);
};

class CFreeWordsPage : public CWordsPage {
  Q_OBJECT
 public:
  CFreeWordsPage(ConsoleState& state, MessageBoxes& boxes, QWidget* parent = nullptr);
};

}  // namespace orv::console
