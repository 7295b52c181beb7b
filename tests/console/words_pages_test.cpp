// The keyword list pages driven as the administrator uses them, on a console folder whose
// database Windows wrote (GBK, CR LF lines).
#include "console/app/words_pages.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>

#include "console/app/page_text.h"
#include "console/foundation/skin_button.h"
#include "page_fixture.h"
#include "store/section_store.h"

namespace orv::console::testing {
namespace {

using store::Section;

class WordsPageTest : public ::testing::Test, public PageFixture {
 protected:
  void SetUp() override {
    WriteDatabase(
        Gbk("<OrvKeyDeny>@@法轮@@赌博+网站\r\n@@</OrvKeyDeny>\r\n"
            "<OrvKeyRepl>@@色情=**@@</OrvKeyRepl>\r\n"
            "<KeyWordsJilu>@@代开发票@@</KeyWordsJilu>\r\n"
            "<OrvKeyFree>@@新闻联播@@</OrvKeyFree>\r\n"));
  }
  QString Text(const CWordsPage& page) const { return page.List()->toPlainText(); }
};

TEST_F(WordsPageTest, LoadsShowsAndSavesOnlyItsOwnSectionAsTheFileStandsNow) {
  CDenyWordsPage page(state, boxes);
  page.Load();
  EXPECT_EQ(Text(page), QStringLiteral("法轮\n赌博+网站"));
  EXPECT_EQ(page.CountLabel()->text(), QStringLiteral("1组"));

  // Another program rewrites the record list while the console runs.
  ASSERT_EQ(store::SaveSectionToDisk(state.DatabasePath(), Section::Record, Gbk("发票@@代考")),
            store::StoreOutcome::Done);

  page.List()->setPlainText(QStringLiteral("法轮\n赌博+网站\n六合彩\n"));
  ASSERT_TRUE(page.Save());
  EXPECT_EQ(SectionOnDisk(Section::Deny), Gbk("法轮@@赌博+网站@@六合彩@@"));
  EXPECT_EQ(SectionOnDisk(Section::Record), Gbk("发票@@代考"));
  EXPECT_EQ(SectionOnDisk(Section::Free), Gbk("@@新闻联播@@"));
  EXPECT_EQ(page.CountLabel()->text(), QStringLiteral("3组"));
  EXPECT_EQ(state.StatusText(), Gbk("保存拦截关键词完毕，重启IIS后生效。"));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, QStringLiteral("保存完毕。"));
  EXPECT_EQ(page.SaveButton()->text(), QStringLiteral("保 存"));
  EXPECT_TRUE(page.SaveButton()->isEnabled());

  // The trailing line break comes back off on the next load.
  page.Refresh();
  EXPECT_EQ(Text(page), QStringLiteral("法轮\n赌博+网站\n六合彩"));
  EXPECT_EQ(state.StatusText(), "0");
}

TEST_F(WordsPageTest, SeparatorsAtTheEndsAndEmptyLines) {
  CFreeWordsPage page(state, boxes);
  store::SaveSectionToDisk(state.DatabasePath(), Section::Free, "@@@@x");
  page.Refresh();
  EXPECT_EQ(Text(page), QStringLiteral("\nx"));

  const std::pair<QString, std::string> saves[] = {
      {QStringLiteral("aa\n\nbb"), "aa@@bb"},
      {QStringLiteral("aa\n\n\nbb"), "aa@@@@bb"},
      {QString(), ""},
  };
  for (const auto& [edit, stored] : saves) {
    page.List()->setPlainText(edit);
    ASSERT_TRUE(page.Save());
    EXPECT_EQ(SectionOnDisk(Section::Free), stored) << edit.toStdString();
  }
  EXPECT_EQ(state.StatusText(), Gbk("保存设置完毕，重启IIS后生效。"));
}

TEST_F(WordsPageTest, BytesThatAreNotGbkSurviveALoadAndASave) {
  const std::string odd = "ab\xFF" + Gbk("丂") + "\x81";  // a stray 0xFF and a lone lead byte
  store::SaveSectionToDisk(state.DatabasePath(), Section::Record, odd + "@@cd");
  CRecordWordsPage page(state, boxes);
  page.Refresh();
  ASSERT_TRUE(page.Save());
  EXPECT_EQ(SectionOnDisk(Section::Record), odd + "@@cd");
}

TEST_F(WordsPageTest, TextGbkCannotHoldIsRefusedNamingTheLine) {
  CDenyWordsPage page(state, boxes);
  page.Load();
  const std::string before = ReadBytes(state.DatabasePath());
  page.List()->setPlainText(QStringLiteral("法轮\n笑脸\U0001F600\n赌博"));
  EXPECT_FALSE(page.Save());
  EXPECT_EQ(ReadBytes(state.DatabasePath()), before);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("第2行")));
  EXPECT_FALSE(BoxShown(QStringLiteral("保存完毕")));
  EXPECT_TRUE(page.SaveButton()->isEnabled());
  EXPECT_EQ(page.SaveButton()->text(), QStringLiteral("保 存"));
}

TEST_F(WordsPageTest, AFailedWriteIsReportedNotAnnouncedAsDone) {
  CReplaceWordsPage page(state, boxes);
  page.Load();
  // The database path turns into something that is not a readable file.
  QFile::remove(QString::fromStdString(state.DatabasePath()));
  ASSERT_TRUE(QDir().mkdir(QString::fromStdString(state.DatabasePath())));
  page.List()->setPlainText(QStringLiteral("色情=**"));
  EXPECT_FALSE(page.Save());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Error);
  EXPECT_FALSE(BoxShown(QStringLiteral("保存完毕")));
  EXPECT_NE(state.StatusText(), Gbk("保存替换关键词完毕，重启IIS后生效。"));
}

TEST_F(WordsPageTest, AListChangedOnDiskSinceLoadIsOverwrittenOnlyWhenTheAdministratorSaysSo) {
  CDenyWordsPage page(state, boxes);
  page.Load();
  ASSERT_EQ(store::SaveSectionToDisk(state.DatabasePath(), Section::Deny, Gbk("在线获取的词")),
            store::StoreOutcome::Done);
  page.List()->setPlainText(QStringLiteral("我的词"));

  boxes.answers = {BoxAnswer::No};
  EXPECT_FALSE(page.Save());
  EXPECT_EQ(SectionOnDisk(Section::Deny), Gbk("在线获取的词"));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].buttons, BoxButtons::YesNo);

  boxes.shown.clear();
  boxes.answers = {BoxAnswer::Yes};
  EXPECT_TRUE(page.Save());
  EXPECT_EQ(SectionOnDisk(Section::Deny), Gbk("我的词"));
  EXPECT_TRUE(BoxShown(QStringLiteral("保存完毕。")));

  // Having saved, the page's own write is no longer a change made elsewhere.
  boxes.shown.clear();
  EXPECT_TRUE(page.Save());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, QStringLiteral("保存完毕。"));
}

TEST_F(WordsPageTest, Keys) {
  QDialog window;
  auto* page = new CDenyWordsPage(state, boxes, &window);
  page->Load();
  window.show();
  QPlainTextEdit* list = page->List();

  // Enter recounts after the line break is typed.
  list->moveCursor(QTextCursor::End);
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(Text(*page), QStringLiteral("法轮\n赌博+网站\n"));
  EXPECT_EQ(page->CountLabel()->text(), QStringLiteral("2组"));

  // Escape neither reaches the window nor closes it.
  QTest::keyClick(list, Qt::Key_Escape);
  QTest::keyClick(page->SaveButton(), Qt::Key_Escape);
  EXPECT_TRUE(window.isVisible());

  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(list->textCursor().selectedText().size(), Text(*page).size());

  // Ctrl+S saves only from the list.
  QTest::keyClick(page->SaveButton(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(boxes.shown.empty());
  QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(SectionOnDisk(Section::Deny), Gbk("法轮@@赌博+网站@@"));
  EXPECT_TRUE(BoxShown(QStringLiteral("保存完毕。")));
  EXPECT_EQ(Text(*page), QStringLiteral("法轮\n赌博+网站\n"));  // no "s" typed
}

TEST_F(WordsPageTest, ButtonsLinksAndStart) {
  CDenyWordsPage deny(state, boxes);
  CReplaceWordsPage replace(state, boxes);
  CFreeWordsPage free(state, boxes);
  EXPECT_EQ(deny.FirstLoadTimer().interval(), 200);
  EXPECT_EQ(free.FirstLoadTimer().interval(), 300);
  EXPECT_TRUE(deny.FirstLoadTimer().isActive());
  EXPECT_FALSE(deny.ChangePollTimer().isActive());
  EXPECT_EQ(replace.ChangePollTimer().interval(), 2000);
  EXPECT_TRUE(replace.ChangePollTimer().isActive());

  EXPECT_EQ(deny.RuleLink(CWordsPage::kEqualsRuleId), nullptr);
  ASSERT_NE(replace.RuleLink(CWordsPage::kEqualsRuleId), nullptr);
  EXPECT_EQ(free.RuleLink(CWordsPage::kAddRuleId), nullptr);
  EXPECT_EQ(free.OnlineFetchButton(), nullptr);
  QTest::mouseClick(replace.RuleLink(CWordsPage::kEqualsRuleId), Qt::LeftButton);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("等号规则"));
  EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("等号规则说明：")));

  // The online fetch asks first; anything but Yes leaves the database alone.
  boxes.shown.clear();
  const std::string before = ReadBytes(state.DatabasePath());
  ASSERT_NE(deny.OnlineFetchButton(), nullptr);
  QTest::mouseClick(deny.OnlineFetchButton(), Qt::LeftButton);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].buttons, BoxButtons::YesNo);
  EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("差分到本地")));
  EXPECT_EQ(ReadBytes(state.DatabasePath()), before);
}

TEST_F(WordsPageTest, TheReplacePageReloadsWhenTheFetchChangedItsList) {
  CReplaceWordsPage page(state, boxes);
  page.Load();
  page.List()->setPlainText(QStringLiteral("未保存的编辑"));
  page.OnChangePoll();  // nothing changed: the edit stays
  EXPECT_EQ(Text(page), QStringLiteral("未保存的编辑"));

  store::SaveSectionToDisk(state.DatabasePath(), Section::Replace, Gbk("色情=**@@赌场=**"));
  state.replaceListChanged = true;
  page.OnChangePoll();
  EXPECT_EQ(Text(page), QStringLiteral("色情=**\n赌场=**"));
  EXPECT_FALSE(state.replaceListChanged);
}

TEST_F(WordsPageTest, AHundredThousandEntriesLoadEditAndSave) {
  std::string section;
  for (int i = 0; i < 100000; ++i) {
    section += "@@" + Gbk("关键词") + std::to_string(i);
  }
  store::SaveSectionToDisk(state.DatabasePath(), Section::Record, section);
  CRecordWordsPage page(state, boxes);
  page.Refresh();
  EXPECT_EQ(page.List()->blockCount(), 100000);
  EXPECT_EQ(page.CountLabel()->text(), QStringLiteral("99999组"));

  page.List()->moveCursor(QTextCursor::End);
  page.List()->insertPlainText(QStringLiteral("\n最后一个"));
  ASSERT_TRUE(page.Save());
  EXPECT_EQ(SectionOnDisk(Section::Record), section.substr(2) + "@@" + Gbk("最后一个"));
  EXPECT_EQ(page.CountLabel()->text(), QStringLiteral("100000组"));
}

}  // namespace
}  // namespace orv::console::testing
