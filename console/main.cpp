// OrvConsole: the administrator's program. Without a switch it shows the start-up window and
// then the main window; "/unload" stops the background service and "/iisreset" restarts the
// web service, both without a window.
//
// Options for tests and installs: --dir DIR uses DIR instead of the program's folder for the
// settings file, the keyword database and the log folder; --screenshot FILE saves a picture of
// the main window after start-up and leaves (message boxes are then answered with OK and
// their texts printed); --page NAME shows that page first (settings, words-deny, ...).
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>

#include "console/app/command_line.h"
#include "console/app/console_state.h"
#include "console/app/loader_dlg.h"
#include "console/app/main_dlg.h"
#include "console/app/settings_page.h"
#include "console/app/sibling_programs.h"
#include "console/foundation/dates_paths.h"
#include "console/foundation/desktop_services.h"
#include "console/foundation/program_runner.h"
#include "console/foundation/service_control.h"

namespace {

constexpr const char* kConsoleUsage =
    "usage: OrvConsole [--dir DIR] [--page NAME] [--screenshot FILE] [/unload | /iisreset]\n"
    "\n"
    "The administrator's window for the filter's settings (OrvFilter.ini), keyword lists\n"
    "(OrvFilter.db) and event logs in DIR, by default the folder that holds OrvConsole.\n"
    "\n"
    "  --dir DIR          use DIR instead of the program's folder\n"
    "  --page NAME        show that page first: settings, words-deny, words-replace,\n"
    "                     words-record, words-free, list-black, list-white, logs\n"
    "  --screenshot FILE  save a picture of the main window after start-up and leave\n"
    "  /unload            stop the background service (orvfilter) without a window\n"
    "  /iisreset          restart the web service (orvproxy) without a window\n";

// For --screenshot: nobody is there to answer, so every box is answered with OK.
class AnswerOkMessageBoxes : public orv::console::MessageBoxes {
 public:
  orv::console::BoxAnswer Show(QWidget*, orv::console::BoxIcon, const QString& caption,
                               const QString& text, orv::console::BoxButtons) override {
    std::fprintf(stderr, "[%s] %s\n", qPrintable(caption), qPrintable(text));
    return orv::console::BoxAnswer::Ok;
  }
};

QString OptionValue(const QStringList& arguments, const QString& option) {
  const qsizetype at = arguments.indexOf(option);
  return (at >= 0 && at + 1 < arguments.size()) ? arguments.at(at + 1) : QString();
}

}  // namespace

int main(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) {
    arguments.append(QString::fromLocal8Bit(argv[i]));
  }

  if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
    std::fputs(kConsoleUsage, stdout);
    return 0;
  }

  using namespace orv::console;
  const CommandLineMode mode = ModeFromCommandLine(SwitchTextFromArguments(arguments));
  if (mode != CommandLineMode::Normal) {
    // No window, so no display either: the switches must work from a scheduled task or a
    // remote shell.
    QCoreApplication app(argc, argv);
    ProcessRunner runner;
    SystemdServiceControl services(runner);
    QString failure;
    if (!RunCommandLineMode(mode, services, failure)) {
      std::fprintf(stderr, "OrvConsole: %s\n", qPrintable(failure));
      return 1;
    }
    return 0;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("OrvConsole"));
  const QString dirOption = OptionValue(arguments, QStringLiteral("--dir"));
  const std::string appDirectory = dirOption.isEmpty()
                                       ? ModuleDirectory()
                                       : QDir(dirOption).absolutePath().toLocal8Bit().toStdString();
  const QString screenshot = OptionValue(arguments, QStringLiteral("--screenshot"));

  ConsoleState state(appDirectory);
  QtMessageBoxes interactiveBoxes;
  AnswerOkMessageBoxes unattendedBoxes;
  MessageBoxes& boxes = screenshot.isEmpty() ? static_cast<MessageBoxes&>(interactiveBoxes)
                                             : static_cast<MessageBoxes&>(unattendedBoxes);
  SystemProcessList processes;
  DesktopShell shell;
  ProcessRunner runner;
  SystemdServiceControl services(runner);
  SiblingPrograms siblings(runner, OrvctlBesideConsole(), appDirectory);
  DialogFolderChooser folders;
  SystemControl control{services, siblings, processes, shell, folders};

  {
    CLoaderDlg loader(state, boxes);
    loader.exec();
  }

  CMainDlg mainDlg(state, boxes, control);
  int result = 0;
  const QString page = OptionValue(arguments, QStringLiteral("--page"));
  if (!page.isEmpty() && !mainDlg.ShowPage(page)) {
    std::fprintf(stderr, "OrvConsole: no page named %s\n", qPrintable(page));
    return 2;
  }
  if (!screenshot.isEmpty()) {
    mainDlg.SetCloseWithoutAsking(true);
    // After the start-up status has gone and the verification mark is in place.
    QTimer::singleShot(1500, &mainDlg, [&] {
      if (!mainDlg.grab().save(screenshot)) {
        std::fprintf(stderr, "OrvConsole: cannot write %s\n", qPrintable(screenshot));
        result = 1;
      }
      mainDlg.close();
    });
  }
  mainDlg.exec();
  return result;
}
