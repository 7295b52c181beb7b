#include "console/foundation/system_info.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <fstream>
#include <string>

#include "tests/support/temp_folder.h"

namespace orv::console {
namespace {

using orv::testing::TempFolder;

void FakeProcess(const TempFolder& proc, const std::string& pid, const std::string& cmdline,
                 const std::string& comm) {
  QDir().mkpath(QString::fromStdString(proc.File(pid)));
  std::ofstream(proc.File(pid + "/cmdline"), std::ios::binary) << cmdline;
  std::ofstream(proc.File(pid + "/comm"), std::ios::binary) << comm;
}

TEST(IsProcessRunning, MatchesNamesWithoutPathOrCase) {
  TempFolder proc;
  FakeProcess(proc, "17", std::string("/opt/orvane/OrvFilter\0--service", 31), "OrvFilter\n");
  FakeProcess(proc, "23", "", "kworker/0:1\n");
  FakeProcess(proc, "40", std::string("sshd: admin\0", 12), "sshd\n");
  QDir().mkpath(QString::fromStdString(proc.File("self")));

  EXPECT_EQ(IsProcessRunningIn(proc.Path(), "orvfilter.exe"), 1);
  EXPECT_EQ(IsProcessRunningIn(proc.Path(), "ORVFILTER"), 1);
  EXPECT_EQ(IsProcessRunningIn(proc.Path(), "kworker/0:1"), 1);  // kernel thread: comm only
  EXPECT_EQ(IsProcessRunningIn(proc.Path(), "sshd"), 1);
  EXPECT_EQ(IsProcessRunningIn(proc.Path(), "orvfilter.ex"), 0);
  EXPECT_EQ(IsProcessRunningIn(proc.Path(), "nginx.exe"), 0);
  EXPECT_EQ(IsProcessRunningIn(proc.File("missing"), "sshd"), -1);
}

TEST(IsProcessRunning, FindsThisTestOnTheRealProcessList) {
  const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  EXPECT_EQ(IsProcessRunning(self.toStdString()), 1);
  EXPECT_EQ(IsProcessRunning("no-such-program-orvane.exe"), 0);
}

TEST(GetOsName, NameFromOsReleaseAndTheOtherCode) {
  EXPECT_EQ(OsNameFromOsRelease("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
                                "(bookworm)\"\nID=debian\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(OsNameFromOsRelease("ID=x\nNAME='Alpine Linux'\r\n"), "Alpine Linux");
  EXPECT_EQ(OsNameFromOsRelease("PRETTY_NAMES=no\nID=x\n"), "");
  std::string name;
  EXPECT_EQ(GetOsName(name), kOsCodeOther);
  EXPECT_FALSE(name.empty());
  EXPECT_FALSE(IsWow64());
}

TEST(PumpMessages, DispatchesAndReportsAConsumedQuit) {
  bool ran = false;
  QMetaObject::invokeMethod(
      qApp, [&] { ran = true; }, Qt::QueuedConnection);
  EXPECT_TRUE(PumpMessages());
  EXPECT_TRUE(ran);
  QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit));
  EXPECT_FALSE(PumpMessages());
  EXPECT_TRUE(PumpMessages());  // consumed, not posted again
}

TEST(CopyTextToClipboard, PutsGbkTextAsUnicode) {
  ASSERT_TRUE(CopyTextToClipboard("2012-11-1\t\xC0\xB9\xBD\xD8"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("2012-11-1\t拦截"));
}

}  // namespace
}  // namespace orv::console
