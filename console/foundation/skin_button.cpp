#include "console/foundation/skin_button.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace orv::console {

SkinChoice ChooseSkinImage(bool enabled, bool pressed, bool mouseOver, bool hasPressed,
                           bool hasMouseOver, bool hasDisabled) {
  SkinChoice choice;
  if (!enabled) {
    if (hasDisabled) {
      choice.image = SkinState::Disabled;
    } else {
      choice.greyed = true;
    }
    return choice;
  }
  if (pressed) {
    if (hasPressed) {
      choice.image = SkinState::Pressed;
    } else {
      choice.shifted = true;
    }
    return choice;
  }
  if (mouseOver && hasMouseOver) {
    choice.image = SkinState::MouseOver;
  }
  return choice;
}

CSkinButton::CSkinButton(QWidget* parent) : QPushButton(parent) {
  setAttribute(Qt::WA_Hover);
  // Inside a dialog an auto-default button would turn every Enter into a click.
  setAutoDefault(false);
  setFlat(true);
}

void CSkinButton::SetBitmaps(const QString& normal, const QString& pressed,
                             const QString& mouseOver, const QString& disabled) {
  normal_ = normal.isEmpty() ? QPixmap() : QPixmap(normal);
  pressed_ = pressed.isEmpty() ? QPixmap() : QPixmap(pressed);
  mouseOverImage_ = mouseOver.isEmpty() ? QPixmap() : QPixmap(mouseOver);
  disabled_ = disabled.isEmpty() ? QPixmap() : QPixmap(disabled);
  update();
}

void CSkinButton::SetTextColors(const QColor& normal, const QColor& pressed,
                                const QColor& mouseOver) {
  normalText_ = normal;
  pressedText_ = pressed;
  overText_ = mouseOver;
  update();
}

void CSkinButton::SetFontSpec(const QString& face, double pointSize, bool bold, bool italic,
                              bool underline) {
  QFont font(face);
  font.setPointSizeF(pointSize);
  font.setBold(bold);
  font.setItalic(italic);
  font.setUnderline(underline);
  setFont(font);
}

void CSkinButton::SetShadowText(bool on, const QColor& color) {
  shadow_ = on;
  shadowColor_ = color;
  update();
}

QColor CSkinButton::TextColorFor(SkinState state) const {
  switch (state) {
    case SkinState::Pressed:
      return pressedText_;
    case SkinState::MouseOver:
      return overText_;
    case SkinState::Normal:
    case SkinState::Disabled:
      break;
  }
  return normalText_;
}

void CSkinButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const bool pressed = isDown() || isChecked();
  const SkinChoice choice = ChooseSkinImage(isEnabled(), pressed, mouseOver_, !pressed_.isNull(),
                                            !mouseOverImage_.isNull(), !disabled_.isNull());
  const QPixmap* image = &normal_;
  switch (choice.image) {
    case SkinState::Pressed:
      image = &pressed_;
      break;
    case SkinState::MouseOver:
      image = &mouseOverImage_;
      break;
    case SkinState::Disabled:
      image = &disabled_;
      break;
    case SkinState::Normal:
      break;
  }
  const QPoint offset = choice.shifted ? QPoint(1, 1) : QPoint(0, 0);
  if (normal_.isNull()) {
    // A page button without images of its own still looks like a button.
    painter.setRenderHint(QPainter::Antialiasing);
    QColor face(236, 242, 248);
    if (!isEnabled()) {
      face = QColor(240, 240, 240);
    } else if (pressed) {
      face = QColor(206, 221, 236);
    } else if (mouseOver_) {
      face = QColor(224, 236, 250);
    }
    painter.setPen(QColor(isEnabled() ? QColor(140, 165, 190) : QColor(190, 190, 190)));
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
  } else if (!image->isNull()) {
    const QRect target = rect().translated(offset);
    if (choice.greyed) {
      QStyleOption option;
      option.initFrom(this);
      const QPixmap grey = style()->generatedIconPixmap(QIcon::Disabled, *image, &option);
      painter.drawPixmap(target, grey);
    } else {
      painter.drawPixmap(target, *image);
    }
  }

  const QRect textRect = rect().translated(offset);
  if (!isEnabled()) {
    // Embossed: a highlight one pixel down-right under the shadow-coloured text.
    painter.setPen(palette().color(QPalette::Light));
    painter.drawText(textRect.translated(1, 1), Qt::AlignCenter, text());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawText(textRect, Qt::AlignCenter, text());
    return;
  }
  const SkinState textState =
      pressed ? SkinState::Pressed : (mouseOver_ ? SkinState::MouseOver : SkinState::Normal);
  if (shadow_) {
    painter.setPen(shadowColor_);
    painter.drawText(textRect.translated(3, 2), Qt::AlignCenter, text());
  }
  painter.setPen(TextColorFor(textState));
  painter.drawText(textRect, Qt::AlignCenter, text());
  if (focusRect_ && hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect().adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

void CSkinButton::enterEvent(QEnterEvent* event) {
  mouseOver_ = true;
  update();
  emit MouseEntered();
  QPushButton::enterEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event) {
  mouseOver_ = false;
  update();
  QPushButton::leaveEvent(event);
}

void CSkinButton::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  QPushButton::mousePressEvent(event);
}

}  // namespace orv::console
