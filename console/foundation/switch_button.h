// CSwitchButton: the system switch of the settings page, drawn as a sliding toggle with its
// caption beside it. It is a checkable button, so a click (or Space) flips it and emits
// toggled/clicked like a check box.
#pragma once

#include <QAbstractButton>
#include <QColor>

namespace orv::console {

class CSwitchButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit CSwitchButton(QWidget* parent = nullptr);

  // Caption colours for the two states.
  void SetTextColors(const QColor& on, const QColor& off);
  QColor TextColor() const { return isChecked() ? onText_ : offText_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect TrackRect() const;

  QColor onText_{11, 109, 18};
  QColor offText_{Qt::red};
};

}  // namespace orv::console
