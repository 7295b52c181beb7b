// Test doubles for the console's desktop stand-ins: they answer as scripted and record what
// they were asked.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <string>
#include <vector>

#include "console/foundation/desktop_services.h"
#include "console/foundation/program_runner.h"
#include "console/foundation/service_control.h"

namespace orv::console::testing {

struct ShownBox {
  BoxIcon icon;
  QString caption;
  QString text;
  BoxButtons buttons;
};

class FakeMessageBoxes : public MessageBoxes {
 public:
  std::vector<ShownBox> shown;
  std::deque<BoxAnswer> answers;  // taken in order; Ok when none is left

  BoxAnswer Show(QWidget*, BoxIcon icon, const QString& caption, const QString& text,
                 BoxButtons buttons) override {
    shown.push_back(ShownBox{icon, caption, text, buttons});
    if (answers.empty()) {
      return BoxAnswer::Ok;
    }
    const BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

class FakeProcessList : public ProcessList {
 public:
  int answer = 0;
  std::vector<std::string> asked;

  int IsProcessRunning(std::string_view exeName) override {
    asked.emplace_back(exeName);
    return answer;
  }
};

class FakeShell : public Shell {
 public:
  QStringList opened;

  bool Open(const QString& target) override {
    opened.append(target);
    return true;
  }
};

class FakeFolderChooser : public FolderChooser {
 public:
  int answer = 0;
  std::string folder;              // given as chosen when answer == 1
  std::vector<std::string> asked;  // the initial folders

  int Choose(QWidget*, const std::string& initialFolder, std::string& chosen) override {
    asked.push_back(initialFolder);
    if (answer == 1) chosen = folder;
    return answer;
  }
};

class FakeServiceControl : public ServiceControl {
 public:
  QStringList calls;  // "start X", "stop X", "enable X", "disable X", "restart X"
  ServiceResult result{true, {}};

  ServiceResult SetServiceRunning(const QString& serviceName, bool start) override {
    calls.append((start ? QStringLiteral("start ") : QStringLiteral("stop ")) + serviceName);
    return result;
  }
  ServiceResult SetServiceEnabled(const QString& serviceName, bool enabled) override {
    calls.append((enabled ? QStringLiteral("enable ") : QStringLiteral("disable ")) + serviceName);
    return result;
  }
  ServiceResult RestartService(const QString& serviceName) override {
    calls.append(QStringLiteral("restart ") + serviceName);
    return result;
  }
};

class FakeProgramRunner : public ProgramRunner {
 public:
  QStringList commands;  // program and arguments joined by spaces
  std::vector<int> timeouts;
  std::deque<ProgramResult> results;  // taken in order; a clean finish when none is left

  ProgramResult Run(const QString& program, const QStringList& arguments, int timeoutMs) override {
    commands.append((QStringList{program} + arguments).join(QLatin1Char(' ')));
    timeouts.push_back(timeoutMs);
    if (results.empty()) {
      ProgramResult done;
      done.kind = ProgramResult::Kind::Finished;
      done.exitCode = 0;
      return done;
    }
    ProgramResult next = results.front();
    results.pop_front();
    return next;
  }
};

}  // namespace orv::console::testing
