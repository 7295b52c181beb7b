// The delivered program, started as an administrator would, in an empty folder.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <string>

#include "console/foundation/dates_paths.h"
#include "store/settings_file.h"
#include "temp_folder.h"

namespace orv::console {
namespace {

TEST(OrvConsoleProgram, FirstStartInAnEmptyFolderWritesDefaultsAndStaysUp) {
  testing::TempFolder folder;
  QProcess console;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  console.setProcessEnvironment(environment);
  console.start(QStringLiteral(ORV_CONSOLE_PROGRAM),
                {QStringLiteral("--dir"), QString::fromStdString(folder.Path())});
  ASSERT_TRUE(console.waitForStarted(10000));

  // The defaults are written before the welcome box, which then waits for the administrator.
  store::SettingsFile settings(folder.File("OrvFilter.ini"));
  QDeadlineTimer deadline(20000);
  while (settings.GetHeiUrl().empty() && !deadline.hasExpired() &&
         console.state() == QProcess::Running) {
    QThread::msleep(50);
  }
  EXPECT_TRUE(store::HasFirstRunMarkers(settings.GetSoft()));
  EXPECT_EQ(settings.GetHeiUrl(), std::string(store::defaults::kHeiUrl));
  EXPECT_TRUE(PathExistsAs(folder.Path() + "log", true));
  EXPECT_EQ(console.state(), QProcess::Running) << console.readAllStandardError().toStdString();

  console.kill();
  console.waitForFinished(10000);
}

}  // namespace
}  // namespace orv::console
