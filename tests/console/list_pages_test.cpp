// The URL and IP list pages on a settings file Windows wrote (GBK, CR LF).
#include "console/app/list_pages.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include "console/foundation/skin_button.h"
#include "page_fixture.h"
#include "store/settings_file.h"

namespace orv::console::testing {
namespace {

namespace keys = store::keys;

class ListPageTest : public ::testing::Test, public PageFixture {
 protected:
  void SetUp() override {
    WriteBytes(state.SettingsPath(),
               Gbk("[OrvFilter]\r\nKeyIsSystem=1\r\nKeyHeiUrl=/admin|/dede/|/manage\r\n"
                   "KeyHeiIp=10.0.0.1|中|中国\r\nKeyBaiUrl=\r\n"));
  }
  std::string Key(std::string_view key) const {
    return store::SettingsFile(state.SettingsPath()).ReadKey(key);
  }
};

TEST_F(ListPageTest, LoadsAndCountsLinesOfThreeBytesOrMore) {
  CBlackListPage page(state, boxes);
  EXPECT_EQ(page.UrlList()->toPlainText(), QStringLiteral("/admin\n/dede/\n/manage"));
  EXPECT_EQ(page.UrlCount()->text(), QStringLiteral("3组"));
  // Counted in stored bytes: one Chinese character is two bytes and does not count.
  EXPECT_EQ(page.IpCount()->text(), QStringLiteral("2组"));

  page.UrlList()->setPlainText(QStringLiteral("a\nbb\nccc"));
  EXPECT_EQ(page.UrlCount()->text(), QStringLiteral("1组"));
  EXPECT_EQ(page.IpCount()->text(), QStringLiteral("2组"));
}

TEST_F(ListPageTest, SavesBothListsInTheBarForm) {
  CWhiteListPage page(state, boxes);
  EXPECT_EQ(page.UrlList()->toPlainText(), QString());
  const std::pair<QString, std::string> saves[] = {
      {QStringLiteral("x1\nx2"), "x1|x2"},
      {QStringLiteral("x1\n\nx2"), "x1||x2"},
      {QStringLiteral("x1\n\n\nx2"), "x1|||x2"},
      {QStringLiteral("/新闻/\n"), Gbk("/新闻/|")},
  };
  for (const auto& [edit, stored] : saves) {
    page.UrlList()->setPlainText(edit);
    page.IpList()->setPlainText(QStringLiteral("192.168.1.0-192.168.1.255"));
    boxes.shown.clear();
    ASSERT_TRUE(page.Save());
    EXPECT_EQ(Key(keys::kBaiUrl), stored) << edit.toStdString();
    EXPECT_EQ(Key(keys::kBaiIp), "192.168.1.0-192.168.1.255");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("保存完毕。"));
  }
  EXPECT_EQ(Key(keys::kIsSystem), "1");
  EXPECT_EQ(state.StatusText(), Gbk("保存设置完毕，重启IIS后生效。"));

  // A trailing "|" loads back as a trailing empty line.
  CWhiteListPage reloaded(state, boxes);
  EXPECT_EQ(reloaded.UrlList()->toPlainText(), QStringLiteral("/新闻/\n"));
}

TEST_F(ListPageTest, KeysSaveFromEitherListOnly) {
  CBlackListPage page(state, boxes);
  page.IpList()->setPlainText(QStringLiteral("1.2.3.4"));
  page.UrlList()->setPlainText(QStringLiteral("/x"));

  QTest::keyClick(page.SaveButton(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(boxes.shown.empty());
  QTest::keyClick(page.IpList(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(Key(keys::kHeiIp), "1.2.3.4");
  EXPECT_EQ(Key(keys::kHeiUrl), "/x");
  EXPECT_EQ(page.IpList()->toPlainText(), QStringLiteral("1.2.3.4"));

  QTest::keyClick(page.UrlList(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(page.UrlList()->textCursor().selectedText(), QStringLiteral("/x"));
  QTest::keyClick(page.UrlList(), Qt::Key_Escape);
  EXPECT_EQ(page.UrlList()->toPlainText(), QStringLiteral("/x"));
}

TEST_F(ListPageTest, RefusedTextWritesNeitherList) {
  CBlackListPage page(state, boxes);
  const std::string before = ReadBytes(state.SettingsPath());
  page.UrlList()->setPlainText(QStringLiteral("/ok"));
  page.IpList()->setPlainText(QStringLiteral("1.1.1.1\n\U0001F600"));
  EXPECT_FALSE(page.Save());
  EXPECT_EQ(ReadBytes(state.SettingsPath()), before);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("IP黑名单")));
  EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("第2行")));
}

TEST_F(ListPageTest, AKeyChangedOnDiskIsOverwrittenOnlyWhenAllowed) {
  CBlackListPage page(state, boxes);
  store::SettingsFile(state.SettingsPath()).WriteKey(keys::kHeiUrl, "/from-orvctl");
  page.UrlList()->setPlainText(QStringLiteral("/mine"));

  boxes.answers = {BoxAnswer::No};
  EXPECT_FALSE(page.Save());
  EXPECT_EQ(Key(keys::kHeiUrl), "/from-orvctl");
  EXPECT_FALSE(BoxShown(QStringLiteral("保存完毕")));

  boxes.answers = {BoxAnswer::Yes};
  EXPECT_TRUE(page.Save());
  EXPECT_EQ(Key(keys::kHeiUrl), "/mine");
}

TEST_F(ListPageTest, AFailedWriteIsReported) {
  CWhiteListPage page(state, boxes);
  QFile::remove(QString::fromStdString(state.SettingsPath()));
  ASSERT_TRUE(QDir().mkdir(QString::fromStdString(state.SettingsPath())));
  page.UrlList()->setPlainText(QStringLiteral("/x"));
  EXPECT_FALSE(page.Save());
  ASSERT_FALSE(boxes.shown.empty());
  EXPECT_EQ(boxes.shown.back().icon, BoxIcon::Error);
  EXPECT_FALSE(BoxShown(QStringLiteral("保存完毕")));
}

}  // namespace
}  // namespace orv::console::testing
