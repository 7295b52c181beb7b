// CIconButton: the main window's tab buttons: an icon and a text, colours for mouse over,
// mouse away and focus, a flat look with hover tracking, and optionally a check-box mode,
// a pop-up menu or a web address opened on click.
#pragma once

#include <QColor>
#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QPushButton>

namespace orv::console {

class Shell;

class CIconButton : public QPushButton {
  Q_OBJECT

 public:
  enum class ColorRole { MouseOver, MouseAway, Focused };

  explicit CIconButton(QWidget* parent = nullptr);

  void SetIcons(const QIcon& mouseOver, const QIcon& mouseAway);
  void SetColors(ColorRole role, const QColor& background, const QColor& text);
  QColor TextColor(ColorRole role) const;
  QColor BackgroundColor(ColorRole role) const;
  // Flat buttons track the mouse and paint their hover colours; raised ones draw a bevel.
  void SetFlatLook(bool flat);
  void SetCheckBoxMode(bool on);
  bool IsCheckedState() const { return checkedState_; }
  void SetMenu(QMenu* menu) { menu_ = menu; }
  // Opened with the shell (maximised where that means anything) when clicked; at most 260 bytes.
  void SetUrl(const QString& url, Shell* shell);
  // Paint over the parent's background so the button looks transparent.
  void SetDrawTransparent(bool on) { transparent_ = on; }

  bool IsMouseOver() const { return mouseOver_; }

 signals:
  // A command chosen from the attached pop-up menu, for the owner.
  void MenuCommand(int commandId);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void OnClicked();

  QIcon overIcon_, awayIcon_;
  QColor overBack_, overText_, awayBack_, awayText_, focusBack_, focusText_;
  bool flat_ = true;
  bool checkBoxMode_ = false;
  bool checkedState_ = false;
  bool transparent_ = false;
  bool mouseOver_ = false;
  QPointer<QMenu> menu_;
  QString url_;
  Shell* shell_ = nullptr;
};

}  // namespace orv::console
