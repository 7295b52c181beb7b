// The settings page's verify link and the deny page's 在线获取 button against orvkeyd on
// 127.0.0.1, through the console's own downloader, with the boxes answered by a test double.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

#include "console/app/account_record.h"
#include "console/app/settings_page.h"
#include "console/app/words_pages.h"
#include "console/foundation/skin_button.h"
#include "fake_system.h"
#include "key_service.h"
#include "online/account.h"
#include "online/md5.h"
#include "page_fixture.h"

namespace orv::console::testing {
namespace {

using store::Section;

// One account, 站长 with the password "s3cret", and the lists orvkeyd hands out.
tools::KeyData ServiceData() {
  tools::KeyData data;
  data.digests[Gbk("站长")] = online::Md5Hex("s3cret");
  data.digests["a b&c"] = online::Md5Hex("pw");
  data.deny = {"aa", "bb", "aa", "c", Gbk("赌场"), "x</OrvKeyDeny><OrvKeyFree>y"};
  data.replace = {"ab=xy"};
  return data;
}

class OnlinePagesTest : public ::testing::Test, public PageFixture {
 protected:
  void WriteSettings(const std::string& serviceUrl, const std::string& keyUser = {}) {
    WriteBytes(state.SettingsPath(),
               "[OrvFilter]\r\nKeyServiceUrl=" + serviceUrl + "\r\nKeyUser=" + keyUser + "\r\n");
  }
  std::string StoredUser() const { return store::SettingsFile(state.SettingsPath()).GetUser(); }
  static std::string Account(const char* userUtf8, const char* password) {
    return ScrambleAccountRecord(MakeAccountRecord(Gbk(userUtf8), password));
  }
  QString Status() const {
    return QString::fromStdString(codepage::AnsiToUtf8(state.StatusText()));
  }

  KeyService service{ServiceData()};
  FakeSystem system{folder.Path()};
};

struct DuringRequest {
  bool seen = false;
  bool controlEnabled = true;
  QString status;
};

TEST_F(OnlinePagesTest, VerifyStoresTheTrimmedAccountAndMarksTheVersion) {
  ASSERT_TRUE(service.Listening());
  WriteSettings(service.BaseUrl());
  CSettingsPage page(state, boxes, system.control, {0, 0, 0, 0});
  page.UserName()->setText(QStringLiteral("  站长 "));
  page.Password()->setText(QStringLiteral(" s3cret\t"));

  // The window keeps handling events while the request runs, with the link disabled.
  DuringRequest during;
  QTimer::singleShot(0, [&] {
    during = {true, page.Link(CSettingsPage::kVerifyLinkId)->isEnabled(), Status()};
  });
  page.VerifyAccount();

  ASSERT_TRUE(during.seen);
  EXPECT_FALSE(during.controlEnabled);
  EXPECT_EQ(during.status, QStringLiteral("正在验证..."));
  EXPECT_TRUE(page.Link(CSettingsPage::kVerifyLinkId)->isEnabled());
  EXPECT_EQ(state.StatusText(), "0");

  const online::Account stored = online::ReadStoredAccount(StoredUser());
  EXPECT_EQ(stored.user, Gbk("站长"));
  EXPECT_EQ(stored.password, "s3cret");
  EXPECT_EQ(state.TakeVersionMark(), Gbk("[已验证]"));
  EXPECT_EQ(page.UserName()->text(), QStringLiteral("站长"));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Information);
  EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("验证成功"));
  EXPECT_EQ(boxes.shown[0].text, QStringLiteral("账户验证成功，现在可以在线获取关键词库了。"));
}

TEST_F(OnlinePagesTest, VerifySendsANameWithQueryCharactersIntact) {
  WriteSettings(service.BaseUrl());
  CSettingsPage page(state, boxes, system.control, {0, 0, 0, 0});
  page.UserName()->setText(QStringLiteral("a b&c"));
  page.Password()->setText(QStringLiteral("pw"));
  page.VerifyAccount();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("验证成功"));
  EXPECT_EQ(online::ReadStoredAccount(StoredUser()).user, "a b&c");
}

TEST_F(OnlinePagesTest, RefusedOrUnsentVerificationLeavesTheStoredAccount) {
  const std::string before = Account("站长", "s3cret");
  WriteSettings(service.BaseUrl(), before);
  CSettingsPage page(state, boxes, system.control, {0, 0, 0, 0});
  state.TakeVersionMark();

  // A wrong password: the service's reason in an error box.
  page.UserName()->setText(QStringLiteral("站长"));
  page.Password()->setText(QStringLiteral("guess"));
  page.VerifyAccount();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Error);
  EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("验证错误"));
  EXPECT_EQ(boxes.shown[0].text,
            QStringLiteral("抱歉，验证错误，错误原因：\n\n用户名或密码错误。"));
  EXPECT_EQ(state.StatusText(), "0");

  // A blank password: nothing is sent and the status is left alone.
  state.SetStatusText("idle");
  page.Password()->setText(QStringLiteral("   "));
  page.VerifyAccount();
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].icon, BoxIcon::Warning);
  EXPECT_EQ(boxes.shown[1].caption, QStringLiteral("输入错误"));
  EXPECT_TRUE(boxes.shown[1].text.startsWith(QStringLiteral("用户名或密码输入错误。")));
  EXPECT_EQ(state.StatusText(), "idle");

  // A character GBK cannot carry would reach the service as something else.
  page.Password()->setText(QStringLiteral("pw😀"));
  page.VerifyAccount();
  ASSERT_EQ(boxes.shown.size(), 3u);
  EXPECT_EQ(boxes.shown[2].caption, QStringLiteral("输入错误"));

  EXPECT_EQ(StoredUser(), before);
  EXPECT_EQ(state.TakeVersionMark(), "");
}

TEST_F(OnlinePagesTest, VerifyWithTheServiceUnreachableShowsAnEmptyReason) {
  WriteSettings(kRefusingService);
  CSettingsPage page(state, boxes, system.control, {0, 0, 0, 0});
  page.UserName()->setText(QStringLiteral("站长"));
  page.Password()->setText(QStringLiteral("s3cret"));
  page.VerifyAccount();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, QStringLiteral("抱歉，验证错误，错误原因：\n\n"));
  EXPECT_EQ(StoredUser(), "");
  EXPECT_TRUE(page.Link(CSettingsPage::kVerifyLinkId)->isEnabled());
}

class OnlineFetchTest : public OnlinePagesTest {
 protected:
  void SetUp() override {
    WriteDatabase(
        "<OrvKeyDeny>bb</OrvKeyDeny>\r\n<OrvKeyRepl>ab=cd</OrvKeyRepl>\r\n"
        "<KeyWordsJilu>rec</KeyWordsJilu>\r\n<OrvKeyFree></OrvKeyFree>\r\n");
  }
};

TEST_F(OnlineFetchTest, AskingNoSendsNothingAndChangesNothing) {
  WriteSettings(kRefusingService, Account("站长", "s3cret"));
  const std::string database = ReadBytes(state.DatabasePath());
  CDenyWordsPage page(state, boxes);
  boxes.answers = {BoxAnswer::No};
  page.OnlineFetch();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Question);
  EXPECT_EQ(boxes.shown[0].buttons, BoxButtons::YesNo);
  EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Orvane"));
  EXPECT_EQ(boxes.shown[0].text,
            QStringLiteral("确定要从官方获取拦截关键词吗？获取后将差分到本地，确定吗？"));
  EXPECT_EQ(ReadBytes(state.DatabasePath()), database);
}

TEST_F(OnlineFetchTest, MergesWhatIsNewRefreshesThePagesAndAddsNothingTheSecondTime) {
  WriteSettings(service.BaseUrl(), Account("站长", "s3cret"));
  CDenyWordsPage deny(state, boxes);
  CReplaceWordsPage replace(state, boxes);
  deny.Load();
  replace.Load();

  DuringRequest during;
  QTimer::singleShot(0, [&] { during = {true, deny.OnlineFetchButton()->isEnabled(), Status()}; });
  boxes.answers = {BoxAnswer::Yes};
  deny.OnlineFetch();

  ASSERT_TRUE(during.seen);
  EXPECT_FALSE(during.controlEnabled);
  EXPECT_EQ(during.status, QStringLiteral("正在获取..."));
  EXPECT_TRUE(deny.OnlineFetchButton()->isEnabled());

  // Known entries are skipped, a repeated one is added once, a one-letter piece is dropped, and
  // an entry carrying section tags never reaches the file. Replace entries count whole.
  EXPECT_EQ(SectionOnDisk(Section::Deny), "bb@@aa@@" + Gbk("赌场"));
  EXPECT_EQ(SectionOnDisk(Section::Replace), "ab=cd@@ab=xy");
  EXPECT_EQ(SectionOnDisk(Section::Record), "rec");
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].icon, BoxIcon::Information);
  EXPECT_EQ(boxes.shown[1].caption, QStringLiteral("恭喜"));
  EXPECT_TRUE(boxes.shown[1].text.startsWith(
      QStringLiteral("拦截关键词和替换关键词都更新差分完毕，已经保存，重启IIS后立即生效。\n\n"
                     "新增拦截关键词：2 个，新增替换关键词：1 个。")))
      << boxes.shown[1].text.toStdString();
  EXPECT_TRUE(boxes.shown[1].text.contains(QStringLiteral("另有 1 个")));
  EXPECT_EQ(state.StatusText(), "0");

  // The deny page shows the merged list at once; the replace page on its next poll.
  EXPECT_EQ(deny.List()->toPlainText(), QStringLiteral("bb\naa\n赌场"));
  EXPECT_EQ(replace.List()->toPlainText(), QStringLiteral("ab=cd"));
  replace.OnChangePoll();
  EXPECT_EQ(replace.List()->toPlainText(), QStringLiteral("ab=cd\nab=xy"));
  EXPECT_FALSE(state.replaceListChanged.load());

  boxes.answers = {BoxAnswer::Yes};
  deny.OnlineFetch();
  ASSERT_EQ(boxes.shown.size(), 4u);
  EXPECT_TRUE(
      boxes.shown[3].text.contains(QStringLiteral("新增拦截关键词：0 个，新增替换关键词：0 个。")));
  EXPECT_FALSE(state.replaceListChanged.load());
  EXPECT_EQ(SectionOnDisk(Section::Deny), "bb@@aa@@" + Gbk("赌场"));
}

TEST_F(OnlineFetchTest, RefusedOrUnreachableServiceLeavesTheDatabase) {
  const std::string database = ReadBytes(state.DatabasePath());
  CDenyWordsPage deny(state, boxes);

  WriteSettings(service.BaseUrl(), Account("站长", "wrong"));
  boxes.answers = {BoxAnswer::Yes};
  deny.OnlineFetch();
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].icon, BoxIcon::Error);
  EXPECT_EQ(boxes.shown[1].caption, QStringLiteral("错误"));
  EXPECT_EQ(boxes.shown[1].text, QStringLiteral("发生错误，错误原因：\n\n用户名或密码错误。"));

  WriteSettings(kRefusingService, Account("站长", "s3cret"));
  boxes.answers = {BoxAnswer::Yes};
  deny.OnlineFetch();
  ASSERT_EQ(boxes.shown.size(), 4u);
  EXPECT_EQ(boxes.shown[3].text, QStringLiteral("发生错误，错误原因：\n\n"));

  EXPECT_EQ(ReadBytes(state.DatabasePath()), database);
  EXPECT_TRUE(deny.OnlineFetchButton()->isEnabled());
  EXPECT_EQ(state.StatusText(), "0");
  EXPECT_FALSE(state.replaceListChanged.load());
}

}  // namespace
}  // namespace orv::console::testing
