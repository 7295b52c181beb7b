#include "console/foundation/icon_button.h"

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionButton>

#include "console/foundation/desktop_services.h"

namespace orv::console {

CIconButton::CIconButton(QWidget* parent) : QPushButton(parent) {
  const QPalette system = QApplication::palette();
  overBack_ = awayBack_ = focusBack_ = system.color(QPalette::Button);
  overText_ = awayText_ = focusText_ = system.color(QPalette::ButtonText);
  setAttribute(Qt::WA_Hover);
  // Inside a dialog an auto-default button would turn every Enter into a click.
  setAutoDefault(false);
  setFlat(true);
  connect(this, &QPushButton::clicked, this, &CIconButton::OnClicked);
}

void CIconButton::SetIcons(const QIcon& mouseOver, const QIcon& mouseAway) {
  overIcon_ = mouseOver;
  awayIcon_ = mouseAway;
  update();
}

void CIconButton::SetColors(ColorRole role, const QColor& background, const QColor& text) {
  switch (role) {
    case ColorRole::MouseOver:
      overBack_ = background;
      overText_ = text;
      break;
    case ColorRole::MouseAway:
      awayBack_ = background;
      awayText_ = text;
      break;
    case ColorRole::Focused:
      focusBack_ = background;
      focusText_ = text;
      break;
  }
  update();
}

QColor CIconButton::TextColor(ColorRole role) const {
  return role == ColorRole::MouseOver ? overText_
                                      : (role == ColorRole::Focused ? focusText_ : awayText_);
}

QColor CIconButton::BackgroundColor(ColorRole role) const {
  return role == ColorRole::MouseOver ? overBack_
                                      : (role == ColorRole::Focused ? focusBack_ : awayBack_);
}

void CIconButton::SetFlatLook(bool flat) {
  flat_ = flat;
  setFlat(flat);
  update();
}

void CIconButton::SetCheckBoxMode(bool on) {
  checkBoxMode_ = on;
  checkedState_ = false;
}

void CIconButton::SetUrl(const QString& url, Shell* shell) {
  url_ = url.left(260);
  shell_ = shell;
}

void CIconButton::OnClicked() {
  if (checkBoxMode_) {
    checkedState_ = !checkedState_;
    update();
    return;
  }
  if (menu_ != nullptr) {
    if (QAction* chosen = menu_->exec(mapToGlobal(QPoint(0, height())))) {
      emit MenuCommand(chosen->data().toInt());
    }
    return;
  }
  if (!url_.isEmpty() && shell_ != nullptr) {
    shell_->Open(url_);
  }
}

void CIconButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const bool hover = flat_ && mouseOver_;
  const ColorRole role =
      hover ? ColorRole::MouseOver : (hasFocus() ? ColorRole::Focused : ColorRole::MouseAway);
  const QColor back = BackgroundColor(role);
  const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  if (!transparent_ || hover || checkedState_) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(back);
    painter.drawRoundedRect(box, 5, 5);
  }
  if (!flat_) {
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &option, &painter, this);
  }
  const QIcon& icon = (hover && !overIcon_.isNull()) ? overIcon_ : awayIcon_;
  const int iconSide = qMin(iconSize().height(), height() - 4);
  int x = 8;
  const QPoint shift = isDown() ? QPoint(1, 1) : QPoint(0, 0);
  if (!icon.isNull()) {
    icon.paint(&painter,
               QRect(QPoint(x, (height() - iconSide) / 2) + shift, QSize(iconSide, iconSide)));
    x += iconSide + 6;
  }
  painter.setPen(TextColor(role));
  painter.setFont(font());
  painter.drawText(QRect(x, 0, width() - x - 4, height()).translated(shift),
                   Qt::AlignVCenter | Qt::AlignLeft, text());
}

void CIconButton::enterEvent(QEnterEvent* event) {
  if (flat_) {
    mouseOver_ = true;
    update();
  }
  QPushButton::enterEvent(event);
}

void CIconButton::leaveEvent(QEvent* event) {
  mouseOver_ = false;
  update();
  QPushButton::leaveEvent(event);
}

}  // namespace orv::console
