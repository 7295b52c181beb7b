#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "console/app/about_dlg.h"
#include "console/app/account_record.h"
#include "console/app/console_state.h"
#include "console/app/main_dlg.h"
#include "console/app/product_texts.h"
#include "console/foundation/icon_button.h"
#include "console/foundation/page_container.h"
#include "console/foundation/scramble.h"
#include "fake_system.h"
#include "tests/support/temp_folder.h"

namespace orv::console {
namespace {

using namespace testing;
using orv::testing::TempFolder;

const QString kTitle = QStringLiteral("Orvane·非法信息过滤系统 Ver2.1");

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_ = std::make_unique<ConsoleState>(folder_.Path());
    ASSERT_TRUE(state_->Settings().WriteDefaults(state_->AppDirectory()));
  }

  CMainDlg& Window() {
    if (!window_) {
      window_ = std::make_unique<CMainDlg>(*state_, boxes_, system_.control);
    }
    return *window_;
  }

  QLabel* Label(int id) { return Window().findChild<QLabel*>(QStringLiteral("control%1").arg(id)); }

  TempFolder folder_;
  std::unique_ptr<ConsoleState> state_;
  FakeMessageBoxes boxes_;
  FakeSystem system_;
  FakeProcessList& processes_ = system_.processes;
  FakeShell& shell_ = system_.shell;
  std::unique_ptr<CMainDlg> window_;
};

TEST_F(MainWindowTest, StartsWithTheLoadingStatusAndTheSettingsSection) {
  CMainDlg& window = Window();
  EXPECT_EQ(window.windowTitle(), kTitle + QStringLiteral(" - 加载词库..."));
  EXPECT_EQ(window.SelectedTabId(), 1000);
  EXPECT_EQ(window.CurrentSection(), window.Section(1000));
  EXPECT_TRUE(window.TabButton(1000)->font().bold());
  EXPECT_FALSE(window.TabButton(1001)->font().bold());
  EXPECT_EQ(window.TabButton(1000)->TextColor(CIconButton::ColorRole::MouseAway),
            QColor(255, 0, 0));
  const QStringList texts{"系统设置", "词库管理", "黑白名单", "日志分析", "关于我们"};
  const QStringList tips{"系统设置，设置软件主要功能", "词库管理，管理拦截/替换关键词",
                         "黑白名单，管理URL/IP地址访问名单", "日志分析，拦截/替换日志分析管理",
                         "关于我们，Orvane系列软件"};
  for (int i = 0; i < 5; ++i) {
    CIconButton* button = window.TabButton(1000 + i);
    EXPECT_EQ(button->geometry(), QRect(20, 70 + 47 * i, 100, 32));
    EXPECT_EQ(button->text(), texts[i]);
    EXPECT_EQ(button->toolTip(), tips[i]);
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(window.Section(1000 + i)->geometry(), QRect(140, 68, 546, 403));
    EXPECT_EQ(window.Section(1000 + i)->isHidden(), i != 0);
  }
  EXPECT_EQ(window.Section(1001)->PageCount(), 4);
  EXPECT_EQ(window.Section(1002)->PageCount(), 2);
}

TEST_F(MainWindowTest, ShowsAPageByName) {
  CMainDlg& window = Window();
  EXPECT_TRUE(window.Section(1000)->Page(1011)->inherits("orv::console::CSettingsPage"));
  EXPECT_TRUE(window.ShowPage(QStringLiteral("list-white")));
  EXPECT_EQ(window.SelectedTabId(), 1002);
  EXPECT_EQ(window.CurrentSection()->CurrentTabId(), 1010);
  EXPECT_TRUE(window.ShowPage(QStringLiteral("words-free")));
  EXPECT_EQ(window.CurrentSection(), window.Section(1001));
  EXPECT_EQ(window.CurrentSection()->CurrentTabId(), 1015);
  EXPECT_FALSE(window.ShowPage(QStringLiteral("no-such-page")));
  EXPECT_EQ(window.SelectedTabId(), 1001);
  EXPECT_TRUE(window.ShowPage(QStringLiteral("logs")));
  EXPECT_EQ(window.SelectedTabId(), 1003);
  EXPECT_EQ(window.CurrentSection()->CurrentTabId(), 1012);
}

TEST_F(MainWindowTest, TimersHaveTheirPeriods) {
  CMainDlg& window = Window();
  EXPECT_EQ(window.StatusTimer().interval(), 200);
  EXPECT_TRUE(window.StatusTimer().isActive());
  EXPECT_EQ(window.StatusClearTimer().interval(), 1000);
  EXPECT_TRUE(window.StatusClearTimer().isSingleShot());
  EXPECT_EQ(window.AdTimer().interval(), 3000);
  EXPECT_EQ(window.VersionMarkTimer().interval(), 1000);
  EXPECT_TRUE(window.VersionMarkTimer().isActive());
}

TEST_F(MainWindowTest, StatusLineFollowsStatusTextAndClears) {
  CMainDlg& window = Window();
  QSignalSpy titles(&window, &QWidget::windowTitleChanged);
  window.OnStatusTimer();
  EXPECT_EQ(titles.count(), 0);  // the shown status is already the loading text

  window.OnStatusClearTimer();
  EXPECT_FALSE(window.StatusClearTimer().isActive());
  EXPECT_EQ(state_->StatusText(), "0");
  window.OnStatusTimer();
  EXPECT_EQ(window.windowTitle(), kTitle);
  EXPECT_EQ(state_->StatusText(), "");

  state_->SetStatusText("\xD5\xFD\xD4\xDA\xB1\xA3\xB4\xE6...");  // "正在保存..."
  window.OnStatusTimer();
  EXPECT_EQ(window.windowTitle(), kTitle + QStringLiteral(" - 正在保存..."));
  const int changes = titles.count();
  state_->SetStatusText("\xD5\xFD\xD4\xDA\xB1\xA3\xB4\xE6...");
  window.OnStatusTimer();
  EXPECT_EQ(titles.count(), changes);  // the same text twice changes the title once

  state_->SetStatusText("0");
  window.OnStatusTimer();
  EXPECT_EQ(window.windowTitle(), kTitle);
}

TEST_F(MainWindowTest, VersionMarkWithoutAccountIsUnverifiedAndShownOnce) {
  CMainDlg& window = Window();
  EXPECT_EQ(window.VersionLabelText(), QStringLiteral("版本：v2.1"));
  window.OnVersionMarkTimer();
  EXPECT_EQ(window.VersionLabelText(), QStringLiteral("版本：v2.1[未验证]"));
  EXPECT_EQ(state_->TakeVersionMark(), "");
  window.OnVersionMarkTimer();
  EXPECT_EQ(window.VersionLabelText(), QStringLiteral("版本：v2.1[未验证]"));
}

TEST_F(MainWindowTest, VersionMarkOfAVerifiedAccount) {
  ASSERT_TRUE(state_->Settings().SetUser(ScrambleAccountRecord(MakeAccountRecord("abc", "pw"))));
  CMainDlg& window = Window();
  window.OnVersionMarkTimer();
  EXPECT_EQ(window.VersionLabelText(), QStringLiteral("版本：v2.1[已验证]"));
}

TEST(VersionMarkFor, UserNameLengthAndLeadingOne) {
  EXPECT_EQ(VersionMarkFor(ScrambleAccountRecord(MakeAccountRecord("abc", "p"))), kMarkVerified);
  EXPECT_EQ(VersionMarkFor(ScrambleAccountRecord(MakeAccountRecord("ab", "p"))), kMarkUnverified);
  EXPECT_EQ(VersionMarkFor(ScrambleAccountRecord("0<u>abcdef</u><p>p</p>")), kMarkUnverified);
  EXPECT_EQ(VersionMarkFor(""), kMarkUnverified);
  // A record scrambled with another key does not read back.
  EXPECT_EQ(VersionMarkFor(ScrambleWithKey(MakeAccountRecord("abc", "p"), AccountKey() + 1)),
            kMarkUnverified);
}

TEST_F(MainWindowTest, TabButtonsSwitchSectionsAndFonts) {
  CMainDlg& window = Window();
  window.show();
  QTest::mouseClick(window.TabButton(1002), Qt::LeftButton);
  EXPECT_EQ(window.SelectedTabId(), 1002);
  EXPECT_EQ(window.CurrentSection(), window.Section(1002));
  EXPECT_TRUE(window.Section(1002)->isVisible());
  EXPECT_FALSE(window.Section(1000)->isVisible());
  EXPECT_TRUE(window.TabButton(1002)->font().bold());
  EXPECT_FALSE(window.TabButton(1000)->font().bold());
  EXPECT_EQ(window.TabButton(1000)->TextColor(CIconButton::ColorRole::MouseAway),
            QColor(29, 43, 58));

  // Pressing the selected tab again keeps everything as it is.
  window.OnTabClicked(1002);
  EXPECT_EQ(window.CurrentSection(), window.Section(1002));
  EXPECT_TRUE(window.TabButton(1002)->font().bold());

  // "关于我们" opens the maker's site and leaves the section alone.
  QTest::mouseClick(window.TabButton(1004), Qt::LeftButton);
  EXPECT_EQ(shell_.opened, QStringList{MakerAddress()});
  EXPECT_EQ(window.SelectedTabId(), 1002);
}

TEST_F(MainWindowTest, ClosesAtOnceWhileTheBackgroundServiceRuns) {
  CMainDlg& window = Window();
  window.show();
  processes_.answer = 1;
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(processes_.asked, std::vector<std::string>{"orvfilter.exe"});
}

TEST_F(MainWindowTest, AsksBeforeClosingWithoutTheBackgroundService) {
  CMainDlg& window = Window();
  window.show();
  processes_.answer = 0;
  boxes_.answers = {BoxAnswer::Cancel, BoxAnswer::Ok};
  EXPECT_FALSE(window.close());
  EXPECT_TRUE(window.isVisible());
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].caption, QStringLiteral("是否关闭"));
  EXPECT_EQ(boxes_.shown[0].icon, BoxIcon::Warning);
  EXPECT_EQ(boxes_.shown[0].buttons, BoxButtons::OkCancel);
  EXPECT_EQ(boxes_.shown[0].text,
            QStringLiteral("系统进程被停止，无法自动更新关键词以及确保所有网站被正常监控。\n\n"
                           "要修复，请点击下方的【修复系统】操作修复。\n\n确定关闭退出吗？"));
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, AnUnreadableProcessListCountsAsNotRunning) {
  CMainDlg& window = Window();
  window.show();
  processes_.answer = -1;
  boxes_.answers = {BoxAnswer::Cancel};
  EXPECT_FALSE(window.close());
  EXPECT_EQ(boxes_.shown.size(), 1u);
}

TEST_F(MainWindowTest, KeysAndLinks) {
  CMainDlg& window = Window();
  window.show();
  QTest::keyClick(&window, Qt::Key_Escape);
  QTest::keyClick(&window, Qt::Key_Return);
  EXPECT_TRUE(window.isVisible());
  QTest::keyClick(&window, Qt::Key_F1);
  QTest::mouseClick(Label(1074), Qt::LeftButton);
  QTest::mouseClick(Label(1005), Qt::LeftButton);
  QTest::mouseClick(Label(1006), Qt::LeftButton);
  EXPECT_EQ(shell_.opened,
            (QStringList{MakerAddress(), SolutionsAddress(), MakerAddress(), DefaultAdLink()}));
  EXPECT_EQ(Label(1069)->text(), QStringLiteral("·"));
  for (int id : {1005, 1006, 1074}) {
    EXPECT_EQ(Label(id)->cursor().shape(), Qt::PointingHandCursor) << id;
  }
}

}  // namespace
}  // namespace orv::console

namespace orv::console {
namespace {

TEST(CAboutDlg, ShowsTheTitleAndLinksToTheMaker) {
  testing::FakeShell shell;
  CAboutDlg about(shell);
  about.show();
  QStringList texts;
  for (QLabel* label : about.findChildren<QLabel*>()) {
    texts.append(label->text());
  }
  EXPECT_TRUE(texts.contains(QStringLiteral("Orvane·非法信息过滤系统 Ver2.1 版")));
  auto* link = about.findChild<QLabel*>(QStringLiteral("control1064"));
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseClick(link, Qt::LeftButton);
  EXPECT_EQ(shell.opened, QStringList{MakerAddress()});
}

}  // namespace
}  // namespace orv::console
