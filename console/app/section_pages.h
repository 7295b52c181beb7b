// The main window's four sections, each a page container with its tabs and leaf pages.
#pragma once

#include "console/foundation/page_container.h"

namespace orv::console {

class ConsoleState;
class MessageBoxes;
struct SystemControl;

class CSettingsSection : public CPageContainer {
  Q_OBJECT
 public:
  CSettingsSection(ConsoleState& state, MessageBoxes& boxes, SystemControl& control,
                   QWidget* parent = nullptr);
};

class CKeywordSection : public CPageContainer {
  Q_OBJECT
 public:
  CKeywordSection(ConsoleState& state, MessageBoxes& boxes, QWidget* parent = nullptr);
};

class CListSection : public CPageContainer {
  Q_OBJECT
 public:
  CListSection(ConsoleState& state, MessageBoxes& boxes, QWidget* parent = nullptr);
};

class CLogSection : public CPageContainer {
  Q_OBJECT
 public:
  CLogSection(ConsoleState& state, MessageBoxes& boxes, QWidget* parent = nullptr);
};

}  // namespace orv::console
