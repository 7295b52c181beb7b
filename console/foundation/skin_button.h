// CSkinButton: a push button drawn from images, one per state (normal, pressed, mouse-over,
// disabled), with a text colour per state. The page containers' tabs and the pages' buttons.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QPushButton>

namespace orv::console {

enum class SkinState { Normal, Pressed, MouseOver, Disabled };

// Which image a state shows, given the images that exist: the disabled image when disabled
// (else the normal one, drawn greyed), else the pressed image when pressed (else the normal
// one shifted by 1, 1), else the mouse-over image while the mouse is over (else the normal).
struct SkinChoice {
  SkinState image = SkinState::Normal;
  bool greyed = false;
  bool shifted = false;
};
SkinChoice ChooseSkinImage(bool enabled, bool pressed, bool mouseOver, bool hasPressed,
                           bool hasMouseOver, bool hasDisabled);

class CSkinButton : public QPushButton {
  Q_OBJECT

 public:
  explicit CSkinButton(QWidget* parent = nullptr);

  // Images by resource path; an empty path means none for that state.
  void SetBitmaps(const QString& normal, const QString& pressed, const QString& mouseOver,
                  const QString& disabled);
  void SetTextColors(const QColor& normal, const QColor& pressed, const QColor& mouseOver);
  void SetFontSpec(const QString& face, double pointSize, bool bold, bool italic, bool underline);
  void SetShadowText(bool on, const QColor& color = QColor(0, 0, 0, 90));
  void SetFocusRect(bool on) { focusRect_ = on; }
  void SetCursorShape(Qt::CursorShape shape) { setCursor(shape); }

  bool IsMouseOver() const { return mouseOver_; }
  QColor TextColorFor(SkinState state) const;

 signals:
  void MouseEntered();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QPixmap normal_, pressed_, mouseOverImage_, disabled_;
  QColor normalText_{Qt::black}, pressedText_{Qt::black}, overText_{Qt::black};
  bool shadow_ = false;
  QColor shadowColor_;
  bool focusRect_ = false;
  bool mouseOver_ = false;
};

}  // namespace orv::console
