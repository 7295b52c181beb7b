// Pictures of the log windows for the documentation: the main window on its 日志分析 tab,
// the log manager window and the statistics charts, over a log folder made by
// scripts/make-log-week.py.
//
//   orv_log_screenshots LOG_FOLDER OUT_DIR [DATE_LABEL]
//
// DATE_LABEL (yyyy-mm-dd) picks the day the log manager opens on; the newest day otherwise.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>
#include <memory>

#include "console/app/console_state.h"
#include "console/app/main_dlg.h"
#include "console/app/settings_page.h"
#include "console/app/sibling_programs.h"
#include "console/foundation/desktop_services.h"
#include "console/foundation/program_runner.h"
#include "console/foundation/service_control.h"
#include "loganalyzer/log_index.h"
#include "loganalyzer/ui/log_desktop.h"
#include "loganalyzer/ui/log_manager_dlg.h"
#include "loganalyzer/ui/log_stats_view.h"

namespace {

using namespace orv;

class QuietBoxes : public console::MessageBoxes {
 public:
  console::BoxAnswer Show(QWidget*, console::BoxIcon, const QString& caption, const QString& text,
                          console::BoxButtons) override {
    std::fprintf(stderr, "[%s] %s\n", qPrintable(caption), qPrintable(text));
    return console::BoxAnswer::Ok;
  }
};

class NoShell : public console::Shell {
 public:
  bool Open(const QString&) override { return true; }
};

void Settle(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

bool Save(QWidget& widget, const QString& path) {
  Settle(300);
  if (!widget.grab().save(path)) {
    std::fprintf(stderr, "orv_log_screenshots: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("wrote %s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: orv_log_screenshots LOG_FOLDER OUT_DIR [DATE_LABEL]\n");
    return 2;
  }
  const std::string folder =
      QDir(QString::fromLocal8Bit(argv[1])).absolutePath().toStdString() + "/";
  const QDir out(QString::fromLocal8Bit(argv[2]));
  if (argc > 3) {
    loganalyzer::SharedPreselectedDay().label = argv[3];
  }

  QTemporaryDir appDir;
  console::ConsoleState state(appDir.path().toStdString());
  state.Settings().SetLogPath(folder);
  QuietBoxes boxes;
  console::SystemProcessList processes;
  NoShell shell;
  bool ok = true;

  {
    console::ProcessRunner runner;
    console::SystemdServiceControl services(runner);
    console::SiblingPrograms siblings(runner, console::OrvctlBesideConsole(),
                                      appDir.path().toStdString());
    console::DialogFolderChooser folders;
    console::SystemControl control{services, siblings, processes, shell, folders};
    console::CMainDlg main(state, boxes, control);
    main.SetCloseWithoutAsking(true);
    main.show();
    main.OnTabClicked(1003);
    Settle(1600);  // the page scans half a second after it starts
    if (auto* list = main.findChild<QTreeWidget*>(QStringLiteral("list1019"))) {
      list->setCurrentItem(list->topLevelItem(2));
    }
    ok = Save(main, out.filePath(QStringLiteral("log-list-page.png"))) && ok;
    main.close();
  }

  loganalyzer::CLogManagerDlg manager(folder, boxes, loganalyzer::DefaultLogDesktop());
  manager.resize(1120, 680);
  manager.show();
  manager.Scan();
  manager.LineList()->selectRow(4);
  ok = Save(manager, out.filePath(QStringLiteral("log-manager.png"))) && ok;

  if (std::unique_ptr<loganalyzer::CLogStatsDlg> stats = manager.BuildStatistics()) {
    stats->show();
    ok = Save(*stats, out.filePath(QStringLiteral("log-charts.png"))) && ok;
  } else {
    ok = false;
  }
  return ok ? 0 : 1;
}
