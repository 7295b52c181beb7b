// The load steps of a normal start, apart from the window that shows their progress.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace orv::console {

class ConsoleState;
class MessageBoxes;

class StartupLoader {
 public:
  // Progress in percent and the status text to show.
  using Report = std::function<void(int progress, const QString& status)>;

  StartupLoader(ConsoleState& state, MessageBoxes& boxes, Report report, QWidget* owner = nullptr);

  // Runs every step: first-run check (defaults and welcome message, or an error message when
  // the defaults cannot be written), then the keyword database (an error message when it
  // exists but cannot be read). False after such an error; the start goes on either way.
  bool Run();

  // The short pause after the last step, so "加载完毕！" can be read.
  void SetFinalPauseMs(int ms) { finalPauseMs_ = ms; }

 private:
  ConsoleState& state_;
  MessageBoxes& boxes_;
  Report report_;
  QWidget* owner_;
  int finalPauseMs_ = 100;
};

}  // namespace orv::console
