// The delivered program, started as an administrator would, in an empty folder.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <fstream>
#include <iterator>
#include <string>

#include "console/foundation/dates_paths.h"
#include "store/settings_file.h"
#include "tests/support/temp_folder.h"

namespace orv::console {
namespace {

TEST(OrvConsoleProgram, FirstStartInAnEmptyFolderWritesDefaultsAndStaysUp) {
  orv::testing::TempFolder folder;
  QProcess console;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  console.setProcessEnvironment(environment);
  console.start(QStringLiteral(ORV_CONSOLE_PROGRAM),
                {QStringLiteral("--dir"), QString::fromStdString(folder.Path())});
  ASSERT_TRUE(console.waitForStarted(10000));

  // The defaults are written before the welcome box, which then waits for the administrator.
  // They are written key by key: wait for the last of what is checked, not the first.
  store::SettingsFile settings(folder.File("OrvFilter.ini"));
  QDeadlineTimer deadline(20000);
  auto written = [&] {
    return !settings.GetHeiUrl().empty() && store::HasFirstRunMarkers(settings.GetSoft()) &&
           PathExistsAs(folder.Path() + "log", true);
  };
  while (!written() && !deadline.hasExpired() && console.state() == QProcess::Running) {
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

namespace orv::console {
namespace {

// The windowless switches run without any display, against a stand-in systemctl that records
// what it was asked.
class CommandLineProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string script = folder_.File("systemctl");
    {
      std::ofstream out(script);
      out << "#!/bin/sh\necho \"$@\" >> '" << folder_.File("calls.txt") << "'\nexit 0\n";
    }
    QFile::setPermissions(QString::fromStdString(script),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }

  int Run(const QStringList& arguments) {
    QProcess console;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("PATH"), QString::fromStdString(folder_.Path()) +
                                                   QStringLiteral(":") +
                                                   environment.value(QStringLiteral("PATH")));
    console.setProcessEnvironment(environment);
    console.start(QStringLiteral(ORV_CONSOLE_PROGRAM), arguments);
    EXPECT_TRUE(console.waitForFinished(20000));
    return console.exitCode();
  }

  std::string Calls() {
    std::ifstream in(folder_.File("calls.txt"));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  orv::testing::TempFolder folder_;
};

TEST_F(CommandLineProgramTest, IisResetRestartsTheWebServiceUnit) {
  EXPECT_EQ(Run({QStringLiteral("/IISRESET")}), 0);
  EXPECT_EQ(Calls(), "stop orvproxy\nstart orvproxy\n");
}

TEST_F(CommandLineProgramTest, UnloadStopsTheBackgroundServiceAndWinsOverIisReset) {
  EXPECT_EQ(Run({QStringLiteral("-iisreset"), QStringLiteral("-unload")}), 0);
  EXPECT_EQ(Calls(), "stop orvfilter\n");
}

}  // namespace
}  // namespace orv::console
