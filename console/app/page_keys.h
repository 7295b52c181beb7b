// Keys that the editing pages take before their controls see them.
#pragma once

#include <QKeyEvent>
#include <QPlainTextEdit>

namespace orv::console {

inline bool IsEscape(const QKeyEvent* key) {
  return key->key() == Qt::Key_Escape;
}

inline bool IsEnter(const QKeyEvent* key) {
  return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

inline bool IsCtrlLetter(const QKeyEvent* key, Qt::Key letter) {
  return (key->modifiers() & Qt::ControlModifier) && key->key() == letter;
}

// Ctrl+A in a list: the whole text selected, the view following the caret.
inline void SelectWholeList(QPlainTextEdit* list) {
  list->selectAll();
  list->ensureCursorVisible();
}

}  // namespace orv::console
