// CPageContainer: one row of tab buttons over one child page per tab, inside a dotted frame.
// The main window's four sections are page containers.
#pragma once

#include <QWidget>
#include <vector>

namespace orv::console {

class CSkinButton;

class CPageContainer : public QWidget {
  Q_OBJECT

 public:
  // Geometry of the tabs and the pages inside the container.
  static constexpr int kTabWidth = 66;
  static constexpr int kTabHeight = 26;
  static constexpr int kTabY = 0;
  static constexpr int kFirstTabX = 12;
  static constexpr int kTabStep = 64;
  static constexpr int kPageX = 14;
  static constexpr int kPageY = 40;
  static constexpr int kPageWidth = 520;
  static constexpr int kPageHeight = 345;

  explicit CPageContainer(QWidget* parent = nullptr);

  // Adds a tab with control id `tabId` and its page (the container takes it over). The first
  // page added is shown, the others hidden.
  void AddPage(int tabId, const QString& caption, QWidget* page);

  int PageCount() const { return static_cast<int>(tabs_.size()); }
  CSkinButton* TabButton(int tabId) const;
  QWidget* Page(int tabId) const;
  int CurrentTabId() const;

  // The click on a tab: nothing when its page is already visible, else the pages and the tab
  // colours change over.
  void SelectTab(int tabId);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Tab {
    int id;
    CSkinButton* button;
    QWidget* page;
  };
  void ColourTab(CSkinButton* button, bool active);

  std::vector<Tab> tabs_;
};

}  // namespace orv::console
