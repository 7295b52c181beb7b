// The URL and IP list pages of the 黑白名单 section: each edits a URL list and an IP list of the
// settings file, one entry per line, and saves both.
#pragma once

#include <QWidget>
#include <string>
#include <string_view>

class QLabel;
class QPlainTextEdit;

namespace orv::console {

class ConsoleState;
class CSkinButton;
class MessageBoxes;

struct ListPageKind {
  QString urlTitle;
  std::string_view urlKey;
  QString ipTitle;
  std::string_view ipKey;
};

class CListPage : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kUrlListId = 1035;
  static constexpr int kIpListId = 1036;
  static constexpr int kUrlCountId = 1055;
  static constexpr int kIpCountId = 1056;
  static constexpr int kSaveId = 1024;

  void Load();
  // False when nothing or not everything was written.
  bool Save();
  void RecountUrls();
  void RecountIps();

  QPlainTextEdit* UrlList() const { return urls_.list; }
  QPlainTextEdit* IpList() const { return ips_.list; }
  QLabel* UrlCount() const { return urls_.count; }
  QLabel* IpCount() const { return ips_.count; }
  CSkinButton* SaveButton() const { return save_; }

 protected:
  CListPage(ConsoleState& state, MessageBoxes& boxes, ListPageKind kind, QWidget* parent);

  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct List {
    QString title;
    std::string_view key;
    QPlainTextEdit* list = nullptr;
    QLabel* count = nullptr;
    std::string loaded;  // the stored value this list's text came from
  };
  QWidget* BuildList(List& list, int listId, int countId);
  void Recount(List& list);

  ConsoleState& state_;
  MessageBoxes& boxes_;
  List urls_;
  List ips_;
  CSkinButton* save_ = nullptr;
};

class CBlackListPage : public CListPage {
  Q_OBJECT
 public:
  CBlackListPage(ConsoleState& state, MessageBoxes& boxes, QWidget* parent = nullptr);
};

class CWhiteListPage : public CListPage {
  Q_OBJECT
 public:
  CWhiteListPage(ConsoleState& state, MessageBoxes& boxes, QWidget* parent = nullptr);
};

}  // namespace orv::console
