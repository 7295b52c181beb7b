// The settings page on a settings file Windows wrote (GBK, CR LF), with the services, orvctl,
// the shell and the folder browser answered by test doubles.
#include "console/app/settings_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSysInfo>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "console/app/account_record.h"
#include "console/app/sibling_programs.h"
#include "console/foundation/program_runner.h"
#include "console/foundation/skin_button.h"
#include "console/foundation/switch_button.h"
#include "fake_system.h"
#include "page_fixture.h"
#include "store/settings_file.h"

namespace orv::console::testing {
namespace {

namespace keys = store::keys;

constexpr SettingsPageTimings kNoPauses{0, 0, 0, 0};

class SettingsPageTest : public ::testing::Test, public PageFixture {
 protected:
  void SetUp() override {
    logFolder = folder.Path() + "log";
    ASSERT_TRUE(QDir().mkdir(QString::fromStdString(logFolder)));
    const std::string user = ScrambleAccountRecord(MakeAccountRecord(Gbk("站长"), "secret"));
    WriteBytes(state.SettingsPath(),
               Gbk("[OrvFilter]\r\nKeySoft=Orvane\r\nKeyIsSystem=1\r\nKeyIsLog=1\r\n"
                   "KeySafeCode=k3y\r\nKeyIsGzip=0\r\nKeyIsShowWords=1\r\nKeyLogPath=") +
                   logFolder +
                   Gbk("\r\nKeyFileType=asp|php|htm\r\nKeyAutoHour=3\r\nKeyClearLog=60\r\n"
                       "KeySendWords=本页含有非法信息\r\nKeyHeiUrl=/admin\r\nKeyUser=") +
                   user + "\r\nKeyIsAutoWords=1\r\n");
  }

  CSettingsPage& Page() {
    if (!page_) page_ = std::make_unique<CSettingsPage>(state, boxes, system.control, kNoPauses);
    return *page_;
  }
  std::string Key(std::string_view key) const {
    return store::SettingsFile(state.SettingsPath()).ReadKey(key);
  }
  QString Status() const {
    return QString::fromStdString(codepage::AnsiToUtf8(state.StatusText()));
  }

  std::string logFolder;
  FakeSystem system{folder.Path()};
  std::unique_ptr<CSettingsPage> page_;
};

TEST_F(SettingsPageTest, LoadsEveryFieldAndTheAccountName) {
  CSettingsPage& page = Page();
  EXPECT_TRUE(page.SystemSwitch()->isChecked());
  EXPECT_EQ(page.SystemSwitch()->text(), QStringLiteral("系统已开启"));
  EXPECT_EQ(page.FileTypes()->text(), QStringLiteral("asp|php|htm"));
  EXPECT_EQ(page.SendWords()->text(), QStringLiteral("本页含有非法信息"));
  EXPECT_EQ(page.SafeCode()->text(), QStringLiteral("k3y"));
  EXPECT_FALSE(page.GzipBox()->isChecked());
  EXPECT_TRUE(page.ShowWordsBox()->isChecked());
  EXPECT_TRUE(page.LogBox()->isChecked());
  EXPECT_EQ(page.LogPath()->text(), QString::fromStdString(logFolder));
  EXPECT_EQ(page.ClearDays()->text(), QStringLiteral("60"));
  EXPECT_TRUE(page.AutoWordsBox()->isChecked());
  EXPECT_EQ(page.AutoHour()->text(), QStringLiteral("3"));
  EXPECT_EQ(page.UserName()->text(), QStringLiteral("站长"));
  EXPECT_TRUE(page.Password()->text().isEmpty());
}

TEST_F(SettingsPageTest, StartShowsTheRealArchitectureAndWritesNothing) {
  const std::string before = ReadBytes(state.SettingsPath());
  CSettingsPage& page = Page();
  page.show();
  QTRY_VERIFY(!page.StartTimer().isActive());
  EXPECT_TRUE(page.OsLabel()->text().startsWith(QStringLiteral("操作系统:")));
  EXPECT_TRUE(page.OsLabel()->text().endsWith(
      QLatin1Char('(') + QSysInfo::currentCpuArchitecture() + QLatin1Char(')')));
  EXPECT_FALSE(page.AdviceButton()->isVisible());
  EXPECT_EQ(ReadBytes(state.SettingsPath()), before);

  EXPECT_EQ(OsLabelText(QStringLiteral("Windows 7/2008 R2"), true, QStringLiteral("x86_64")),
            QStringLiteral("操作系统:Windows 7/2008 R2(x64)"));
}

TEST_F(SettingsPageTest, SaveWritesTheKeysInOrderThenRepairs) {
  // Only the title line: every key the page writes is appended in the order it is written.
  WriteBytes(state.SettingsPath(), "[OrvFilter]\r\nKeySoft=Orvane\r\n");
  CSettingsPage& page = Page();
  page.SystemSwitch()->setChecked(true);
  page.GzipBox()->setChecked(true);
  page.FileTypes()->setText(QStringLiteral("asp|aspx"));
  page.SendWords()->setText(QStringLiteral("访问被拒绝"));
  page.SafeCode()->setText(QStringLiteral("abc"));
  page.LogPath()->setText(QString::fromStdString(logFolder));
  page.AutoHour()->setText(QStringLiteral("23"));
  page.ClearDays()->setText(QStringLiteral("30"));

  EXPECT_TRUE(page.Save());
  const std::string expected =
      "[OrvFilter]\r\nKeySoft=Orvane\r\nKeyIsSystem=1\r\nKeyIsGzip=1\r\nKeyIsLog=0\r\n"
      "KeyIsShowWords=0\r\nKeyIsAutoWords=0\r\nKeyAutoHour=23\r\nKeyClearLog=30\r\n"
      "KeyFileType=asp|aspx\r\nKeySendWords=" +
      Gbk("访问被拒绝") + "\r\nKeySafeCode=abc\r\nKeyLogPath=" + logFolder + "\r\n";
  EXPECT_EQ(ReadBytes(state.SettingsPath()), expected);
  EXPECT_TRUE(QFile::exists(QString::fromStdString(state.DatabasePath())));
  EXPECT_EQ(system.runner.commands,
            QStringList{QStringLiteral("/opt/orvane/orvctl --dir ") +
                        QString::fromStdString(folder.Path()) + QStringLiteral(" repair")});
  EXPECT_EQ(Status(), QStringLiteral("保存设置完毕，重启IIS后生效。"));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("消息"));
  EXPECT_EQ(boxes.shown[0].text, QStringLiteral("保存完毕。"));
  EXPECT_TRUE(page.SaveButton()->isEnabled());
}

TEST_F(SettingsPageTest, SavingSwitchedOffUnloads) {
  CSettingsPage& page = Page();
  QTest::mouseClick(page.SystemSwitch(), Qt::LeftButton);
  ASSERT_EQ(Key(keys::kIsSystem), "0");
  EXPECT_TRUE(page.Save());
  ASSERT_EQ(system.runner.commands.size(), 1);
  EXPECT_TRUE(system.runner.commands[0].endsWith(QStringLiteral(" unload")));
  EXPECT_EQ(system.runner.timeouts, std::vector<int>{SiblingPrograms::kDefaultTimeoutMs});
}

TEST_F(SettingsPageTest, HourAndDaysAreStoredByTheirRules) {
  CSettingsPage& page = Page();
  const struct {
    const char* hour;
    const char* storedHour;
    const char* days;
    const char* storedDays;
  } cases[] = {{"24", "0", "", "0"}, {"23", "23", "000", "0"}, {"007", "007", "30", "30"}};
  for (const auto& c : cases) {
    page.AutoHour()->setText(QString::fromLatin1(c.hour));
    page.ClearDays()->setText(QString::fromLatin1(c.days));
    EXPECT_TRUE(page.Save());
    EXPECT_EQ(Key(keys::kAutoHour), c.storedHour) << c.hour;
    EXPECT_EQ(page.AutoHour()->text(), QString::fromLatin1(c.storedHour));
    EXPECT_EQ(Key(keys::kClearLog), c.storedDays) << c.days;
    EXPECT_EQ(page.ClearDays()->text(), QString::fromLatin1(c.storedDays));
  }
  // The fields take digits only, the hour three of them.
  page.AutoHour()->clear();
  QTest::keyClicks(page.AutoHour(), QStringLiteral("1a2-34"));
  EXPECT_EQ(page.AutoHour()->text(), QStringLiteral("123"));
  page.ClearDays()->clear();
  QTest::keyClicks(page.ClearDays(), QStringLiteral("9x0"));
  EXPECT_EQ(page.ClearDays()->text(), QStringLiteral("90"));
}

TEST_F(SettingsPageTest, ARefusedLogPathSwitchesLoggingOffButSavesTheRest) {
  CSettingsPage& page = Page();
  const std::string file = folder.Path() + "a-file";
  WriteBytes(file, "x");
  for (const std::string& path : {std::string("C:"), file, folder.Path() + "missing"}) {
    store::SettingsFile(state.SettingsPath()).WriteKey(keys::kIsLog, "1");
    page.Load();
    boxes.shown.clear();
    page.LogPath()->setText(QString::fromStdString(path));
    page.SafeCode()->setText(QStringLiteral("new-code"));
    EXPECT_FALSE(page.Save()) << path;
    EXPECT_EQ(Key(keys::kIsLog), "0");
    EXPECT_EQ(Key(keys::kLogPath), logFolder);
    EXPECT_EQ(Key(keys::kSafeCode), "new-code");
    EXPECT_TRUE(page.LogBox()->isChecked());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Warning);
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("错误"));
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("日志路径不存在，请重新选择设置。"));
  }
}

TEST_F(SettingsPageTest, TheSwitchIsWrittenAtOnce) {
  CSettingsPage& page = Page();
  CSwitchButton* toggle = page.SystemSwitch();
  QTest::mouseClick(toggle, Qt::LeftButton);
  EXPECT_EQ(Key(keys::kIsSystem), "0");
  EXPECT_EQ(toggle->text(), QStringLiteral("系统已关闭"));
  EXPECT_EQ(toggle->TextColor(), QColor(Qt::red));
  EXPECT_EQ(Status(), QStringLiteral("操作完毕，请[保存]并重启IIS后生效..."));
  state.SetStatusText("");
  QTest::mouseClick(toggle, Qt::LeftButton);
  EXPECT_EQ(Key(keys::kIsSystem), "1");
  EXPECT_EQ(toggle->TextColor(), QColor(11, 109, 18));
  EXPECT_EQ(Status(), QStringLiteral("操作完毕，请[保存]并重启IIS后生效..."));
  // The page's own clicks are no change by another program.
  EXPECT_TRUE(page.Save());
  EXPECT_FALSE(BoxShown(QStringLiteral("其他程序")));
  EXPECT_FALSE(system.runner.commands.isEmpty());
}

TEST_F(SettingsPageTest, ASwitchThatCannotBeWrittenFlipsBack) {
  CSettingsPage& page = Page();
  QFile::remove(QString::fromStdString(state.SettingsPath()));
  ASSERT_TRUE(QDir().mkdir(QString::fromStdString(state.SettingsPath())));
  QTest::mouseClick(page.SystemSwitch(), Qt::LeftButton);
  EXPECT_TRUE(page.SystemSwitch()->isChecked());
  EXPECT_EQ(page.SystemSwitch()->text(), QStringLiteral("系统已开启"));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Error);
  EXPECT_NE(Status(), QStringLiteral("操作完毕，请[保存]并重启IIS后生效..."));
}

TEST_F(SettingsPageTest, AFailedWriteIsReportedAndTheSystemLeftAlone) {
  CSettingsPage& page = Page();
  QFile::remove(QString::fromStdString(state.SettingsPath()));
  ASSERT_TRUE(QDir().mkdir(QString::fromStdString(state.SettingsPath())));
  boxes.answers = {BoxAnswer::Yes};  // the keys now read differently: overwrite
  EXPECT_FALSE(page.Save());
  EXPECT_EQ(boxes.shown.back().icon, BoxIcon::Error);
  EXPECT_TRUE(boxes.shown.back().text.contains(QStringLiteral("KeyIsSystem")));
  EXPECT_FALSE(BoxShown(QStringLiteral("保存完毕")));
  EXPECT_TRUE(system.runner.commands.isEmpty());
  EXPECT_EQ(Status(), QStringLiteral("保存设置失败。"));
}

TEST_F(SettingsPageTest, TextGbkCannotHoldIsRefusedBeforeAnyWrite) {
  CSettingsPage& page = Page();
  const std::string before = ReadBytes(state.SettingsPath());
  page.GzipBox()->setChecked(true);
  page.SendWords()->setText(QStringLiteral("禁止访问\U0001F6AB"));
  EXPECT_FALSE(page.Save());
  EXPECT_EQ(ReadBytes(state.SettingsPath()), before);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("提示信息")));
  EXPECT_TRUE(system.runner.commands.isEmpty());
}

TEST_F(SettingsPageTest, BytesThatAreNotGbkSurviveALoadAndSave) {
  const std::string odd = Gbk("提示") + "\xFF\x81";
  store::SettingsFile(state.SettingsPath()).WriteKey(keys::kSendWords, odd);
  EXPECT_TRUE(Page().Save());
  EXPECT_EQ(Key(keys::kSendWords), odd);
}

TEST_F(SettingsPageTest, KeysChangedByAnotherProgramAreOverwrittenOnlyWhenAllowed) {
  CSettingsPage& page = Page();
  store::SettingsFile(state.SettingsPath()).WriteKey(keys::kSafeCode, "from-orvctl");
  page.GzipBox()->setChecked(true);

  boxes.answers = {BoxAnswer::No};
  EXPECT_FALSE(page.Save());
  EXPECT_EQ(Key(keys::kSafeCode), "from-orvctl");
  EXPECT_EQ(Key(keys::kIsGzip), "0");
  EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("KeySafeCode")));
  EXPECT_TRUE(system.runner.commands.isEmpty());

  boxes.answers = {BoxAnswer::Yes};
  EXPECT_TRUE(page.Save());
  EXPECT_EQ(Key(keys::kSafeCode), "k3y");
  EXPECT_EQ(Key(keys::kIsGzip), "1");
}

TEST_F(SettingsPageTest, LogFolderLinks) {
  CSettingsPage& page = Page();
  const std::string before = ReadBytes(state.SettingsPath());

  system.folders.answer = 0;
  QTest::mouseClick(page.Link(CSettingsPage::kChooseLinkId), Qt::LeftButton);
  EXPECT_EQ(page.LogPath()->text(), QString::fromStdString(logFolder));
  system.folders.answer = 1;
  system.folders.folder = "/var/log/orvane/";
  QTest::mouseClick(page.Link(CSettingsPage::kChooseLinkId), Qt::LeftButton);
  EXPECT_EQ(system.folders.asked, (std::vector<std::string>{logFolder, logFolder}));
  EXPECT_EQ(page.LogPath()->text(), QStringLiteral("/var/log/orvane"));
  EXPECT_EQ(ReadBytes(state.SettingsPath()), before);

  // A folder that is not there is not handed to the desktop to guess at.
  QTest::mouseClick(page.Link(CSettingsPage::kOpenLinkId), Qt::LeftButton);
  EXPECT_TRUE(system.shell.opened.isEmpty());
  EXPECT_TRUE(BoxShown(QStringLiteral("日志路径不存在")));
  page.LogPath()->setText(QString::fromStdString(logFolder));
  QTest::mouseClick(page.Link(CSettingsPage::kOpenLinkId), Qt::LeftButton);
  EXPECT_EQ(system.shell.opened, QStringList{QString::fromStdString(logFolder)});

  // 详细 opens the log window on the stored folder, not on the unsaved text of the field.
  std::vector<std::string> opened;
  page.SetLogWindowOpener([&](QWidget*, const std::string& where) { opened.push_back(where); });
  page.LogPath()->setText(QStringLiteral("/not/saved/yet"));
  QTest::mouseClick(page.Link(CSettingsPage::kDetailLinkId), Qt::LeftButton);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], state.Settings().GetLogPath());

  boxes.shown.clear();
  QTest::mouseClick(page.Link(CSettingsPage::kVerifyLinkId), Qt::LeftButton);
  ASSERT_EQ(boxes.shown.size(), 1u);
  // The password field starts empty: the link asks for it and sends nothing.
  EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("用户名或密码输入错误")));
}

// Records the thread the restart ran on.
class ThreadRecordingServices : public FakeServiceControl {
 public:
  QThread* restartThread = nullptr;
  ServiceResult RestartService(const QString& serviceName) override {
    restartThread = QThread::currentThread();
    return FakeServiceControl::RestartService(serviceName);
  }
};

TEST_F(SettingsPageTest, RestartRunsOnAWorkerAndReportsBack) {
  ThreadRecordingServices services;
  SystemControl control{services, system.siblings, system.processes, system.shell, system.folders};
  CSettingsPage page(state, boxes, control, kNoPauses);

  boxes.answers = {BoxAnswer::No};
  page.RestartIis();
  EXPECT_TRUE(services.calls.isEmpty());

  for (const bool ok : {true, false}) {
    services.result = ok ? ServiceResult{true, {}} : ServiceResult{false, QStringLiteral("超时")};
    boxes.shown.clear();
    boxes.answers = {BoxAnswer::Yes};
    page.RestartIis();
    EXPECT_FALSE(page.RestartButton()->isEnabled());
    EXPECT_EQ(page.RestartButton()->text(), QStringLiteral("重启中.."));
    QTRY_VERIFY(!page.Restarting());
    EXPECT_TRUE(page.RestartButton()->isEnabled());
    EXPECT_EQ(page.RestartButton()->text(), QStringLiteral("重启IIS"));
    EXPECT_NE(services.restartThread, QThread::currentThread());
    if (ok) {
      EXPECT_EQ(Status(), QStringLiteral("IIS服务重启完毕！"));
      EXPECT_EQ(boxes.shown.size(), 1u);  // the question only
    } else {
      EXPECT_TRUE(Status().contains(QStringLiteral("超时")));
      EXPECT_EQ(boxes.shown.back().icon, BoxIcon::Warning);
    }
  }
  EXPECT_EQ(services.calls,
            (QStringList{QStringLiteral("restart w3svc"), QStringLiteral("restart w3svc")}));
}

TEST_F(SettingsPageTest, RepairSetsTheSystemAndReinstallsAStoppedBackgroundService) {
  CSettingsPage& page = Page();
  boxes.answers = {BoxAnswer::No};
  EXPECT_FALSE(page.Repair());
  EXPECT_TRUE(system.runner.commands.isEmpty());

  system.processes.answer = 1;
  boxes.answers = {BoxAnswer::Yes};
  EXPECT_TRUE(page.Repair());
  EXPECT_TRUE(system.runner.commands.last().endsWith(QStringLiteral(" repair")));
  EXPECT_TRUE(system.services.calls.isEmpty());
  EXPECT_EQ(boxes.shown.back().text, QStringLiteral("修复完毕！"));

  system.processes.answer = 0;
  boxes.answers = {BoxAnswer::Yes};
  EXPECT_TRUE(page.Repair());
  EXPECT_EQ(system.services.calls, (QStringList{"stop OrvFilter", "disable OrvFilter",
                                                "enable OrvFilter", "start OrvFilter"}));
  EXPECT_TRUE(page.Link(CSettingsPage::kRepairLinkId)->isEnabled());

  // A service that cannot be installed, or a failing orvctl, is no "修复完毕！".
  system.services.result = {false, QStringLiteral("Unit orvfilter.service not found.")};
  ProgramResult failed;
  failed.kind = ProgramResult::Kind::Finished;
  failed.exitCode = 1;
  failed.output = QStringLiteral("orvctl: the log folder /x is not writable\n");
  system.runner.results = {failed};
  boxes.answers = {BoxAnswer::Yes};
  EXPECT_FALSE(page.Repair());
  EXPECT_EQ(boxes.shown.back().icon, BoxIcon::Warning);
  EXPECT_TRUE(boxes.shown.back().text.contains(QStringLiteral("not found")));
  EXPECT_TRUE(boxes.shown.back().text.contains(QStringLiteral("/x is not writable")));
  EXPECT_TRUE(Status().startsWith(QStringLiteral("修复未完成")));
}

// orvctl stood in for by a shell script in the console's folder, run by the real runner.
class SiblingProgramTest : public SettingsPageTest {
 protected:
  void UseScript(const std::string& body, int timeoutMs = 5000) {
    const std::string path = folder.Path() + "orvctl";
    WriteBytes(path, "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/called\"\n" + body);
    QFile::setPermissions(QString::fromStdString(path),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    UseProgram(QString::fromStdString(path), timeoutMs);
  }
  void UseProgram(const QString& path, int timeoutMs) {
    siblings_ = std::make_unique<SiblingPrograms>(runner_, path, folder.Path(), timeoutMs);
    control_ = std::make_unique<SystemControl>(
        SystemControl{system.services, *siblings_, system.processes, system.shell, system.folders});
    page_ = std::make_unique<CSettingsPage>(state, boxes, *control_, kNoPauses);
  }

  ProcessRunner runner_;
  std::unique_ptr<SiblingPrograms> siblings_;
  std::unique_ptr<SystemControl> control_;
};

TEST_F(SiblingProgramTest, ASucceedingRunIsWaitedFor) {
  UseScript("sleep 0.2\nexit 0\n");
  EXPECT_TRUE(Page().Save());
  EXPECT_EQ(ReadBytes(folder.Path() + "called"), "--dir " + folder.Path() + " repair\n");
  EXPECT_TRUE(BoxShown(QStringLiteral("保存完毕")));
}

TEST_F(SiblingProgramTest, AFailingRunIsReportedWithItsReason) {
  UseScript("echo 'orvctl: cannot write OrvFilter.db' >&2\nexit 1\n");
  EXPECT_FALSE(Page().Save());
  EXPECT_FALSE(BoxShown(QStringLiteral("保存完毕")));
  EXPECT_TRUE(Status().contains(QStringLiteral("退出码 1")));
  EXPECT_TRUE(Status().contains(QStringLiteral("cannot write OrvFilter.db")));
  EXPECT_EQ(boxes.shown.back().icon, BoxIcon::Warning);
  // The settings themselves were saved.
  EXPECT_EQ(Key(keys::kIsSystem), "1");
}

TEST_F(SiblingProgramTest, AProgramThatCannotStartIsReported) {
  UseProgram(QString::fromStdString(folder.Path() + "no-such-orvctl"), 5000);
  EXPECT_FALSE(Page().Save());
  EXPECT_TRUE(Status().contains(QStringLiteral("无法启动 orvctl repair")));
  EXPECT_FALSE(BoxShown(QStringLiteral("保存完毕")));
}

TEST_F(SiblingProgramTest, AHangingProgramIsStoppedAtTheBoundWithTheWindowAlive) {
  UseScript("exec sleep 30\n", 300);
  bool timerRan = false;
  QTimer::singleShot(20, [&] { timerRan = true; });
  EXPECT_FALSE(Page().Save());
  EXPECT_TRUE(timerRan);
  EXPECT_TRUE(Status().contains(QStringLiteral("没有结束")));
  EXPECT_TRUE(Page().SaveButton()->isEnabled());
}

}  // namespace
}  // namespace orv::console::testing
