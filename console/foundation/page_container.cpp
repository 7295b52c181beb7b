#include "console/foundation/page_container.h"

#include <QKeyEvent>
#include <QPainter>

#include "console/foundation/skin_button.h"

namespace orv::console {

namespace {
const QColor kFrameColour(202, 209, 201);
}

CPageContainer::CPageContainer(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
}

void CPageContainer::AddPage(int tabId, const QString& caption, QWidget* page) {
  auto* button = new CSkinButton(this);
  button->setObjectName(QStringLiteral("tab%1").arg(tabId));
  button->setText(caption);
  button->SetBitmaps(QStringLiteral(":/orvane/tab_normal.png"),
                     QStringLiteral(":/orvane/tab_pressed.png"),
                     QStringLiteral(":/orvane/tab_over.png"), QString());
  const int index = static_cast<int>(tabs_.size());
  button->setGeometry(kFirstTabX + kTabStep * index, kTabY, kTabWidth, kTabHeight);
  button->setCursor(Qt::PointingHandCursor);
  page->setParent(this);
  page->setGeometry(kPageX, kPageY, kPageWidth, kPageHeight);
  const bool first = tabs_.empty();
  page->setVisible(first);
  ColourTab(button, first);
  tabs_.push_back(Tab{tabId, button, page});
  connect(button, &QPushButton::clicked, this, [this, tabId] { SelectTab(tabId); });
}

CSkinButton* CPageContainer::TabButton(int tabId) const {
  for (const Tab& tab : tabs_) {
    if (tab.id == tabId) {
      return tab.button;
    }
  }
  return nullptr;
}

QWidget* CPageContainer::Page(int tabId) const {
  for (const Tab& tab : tabs_) {
    if (tab.id == tabId) {
      return tab.page;
    }
  }
  return nullptr;
}

int CPageContainer::CurrentTabId() const {
  for (const Tab& tab : tabs_) {
    if (!tab.page->isHidden()) {
      return tab.id;
    }
  }
  return -1;
}

void CPageContainer::SelectTab(int tabId) {
  QWidget* page = Page(tabId);
  if (page == nullptr || !page->isHidden()) {
    return;
  }
  for (const Tab& tab : tabs_) {
    if (!tab.page->isHidden()) {
      tab.page->hide();
      ColourTab(tab.button, false);
    }
  }
  page->show();
  ColourTab(TabButton(tabId), true);
}

void CPageContainer::ColourTab(CSkinButton* button, bool active) {
  const QColor red(255, 0, 0);
  button->SetTextColors(active ? red : QColor(Qt::black), red, red);
}

void CPageContainer::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QPen pen(kFrameColour, 1, Qt::DotLine);
  painter.setPen(pen);
  painter.drawLine(10, 25, 530, 25);
  painter.drawLine(10, 400, 530, 400);
  painter.drawLine(2, 35, 2, 390);
  painter.drawLine(541, 35, 541, 390);
  // The corners are rounded off by single pixels on the diagonals between the lines' ends.
  for (int step = 1; step < 10; ++step) {
    painter.drawPoint(2 + step * 8 / 10, 35 - step);
    painter.drawPoint(541 - step * 11 / 10, 35 - step);
    painter.drawPoint(2 + step * 8 / 10, 390 + step);
    painter.drawPoint(541 - step * 11 / 10, 390 + step);
  }
}

void CPageContainer::keyPressEvent(QKeyEvent* event) {
  // Esc and Enter must never reach the dialog around the container, which would close on them.
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace orv::console
