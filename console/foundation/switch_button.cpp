#include "console/foundation/switch_button.h"

#include <QPainter>
#include <QPainterPath>

namespace orv::console {

namespace {
constexpr int kTrackWidth = 44;
constexpr int kTrackHeight = 22;
constexpr int kGap = 8;
const QColor kTrackOff(200, 205, 210);
const QColor kKnob(255, 255, 255);
}  // namespace

CSwitchButton::CSwitchButton(QWidget* parent) : QAbstractButton(parent) {
  setCheckable(true);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
}

void CSwitchButton::SetTextColors(const QColor& on, const QColor& off) {
  onText_ = on;
  offText_ = off;
  update();
}

QSize CSwitchButton::sizeHint() const {
  const QFontMetrics metrics(font());
  return {kTrackWidth + kGap + metrics.horizontalAdvance(text()) + 4,
          std::max(kTrackHeight, metrics.height()) + 4};
}

QRect CSwitchButton::TrackRect() const {
  return {1, (height() - kTrackHeight) / 2, kTrackWidth, kTrackHeight};
}

void CSwitchButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  // The background behind the caption is white, so the coloured text always reads well on
  // the skinned page.
  painter.fillRect(rect().adjusted(12, 0, 0, 0), Qt::white);

  const QRect track = TrackRect();
  const qreal radius = track.height() / 2.0;
  QColor trackColour = isChecked() ? onText_ : kTrackOff;
  if (!isEnabled()) trackColour = trackColour.lighter(140);
  painter.setPen(Qt::NoPen);
  painter.setBrush(trackColour);
  painter.drawRoundedRect(track, radius, radius);

  const int knobSize = track.height() - 4;
  const int knobX = isChecked() ? track.right() - knobSize - 1 : track.left() + 2;
  painter.setBrush(kKnob);
  painter.drawEllipse(QRect(knobX, track.top() + 2, knobSize, knobSize));

  if (hasFocus()) {
    painter.setPen(QPen(trackColour.darker(130), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(track).adjusted(-1.5, -1.5, 1.5, 1.5), radius + 1, radius + 1);
  }

  painter.setPen(TextColor());
  painter.setFont(font());
  const QRect textRect(track.right() + kGap, 0, width() - track.right() - kGap, height());
  painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text());
}

}  // namespace orv::console
