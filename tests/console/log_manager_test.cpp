// The log manager window driven offscreen over a folder of GBK day files: the day shown first,
// kind tabs, search, paging keys, details and copies, deletion, stepwise loading and the
// statistics charts.
#include <gtest/gtest.h>

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QStackedBarSeries>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include "log_windows_support.h"
#include "loganalyzer/ui/log_line_model.h"
#include "loganalyzer/ui/log_manager_dlg.h"
#include "loganalyzer/ui/log_stats_view.h"

namespace orv::console::testing {
namespace {

using loganalyzer::CLogManagerDlg;
using loganalyzer::CLogStatsView;
using loganalyzer::PreselectedDay;

class LogManagerTest : public ::testing::Test {
 protected:
  LogManagerTest() : logs(folder.Path()) {}

  CLogManagerDlg& Open(loganalyzer::LogManagerTimings timings = {}) {
    dialog = std::make_unique<CLogManagerDlg>(logs.Path(), boxes, desktop, preselected, nullptr,
                                              timings);
    dialog->show();
    dialog->Scan();
    return *dialog;
  }
  QString Status() const { return dialog->StatusLabel()->text(); }
  QString Cell(int row, int column) const {
    return dialog->Lines().data(dialog->Lines().index(row, column), Qt::DisplayRole).toString();
  }
  int Rows() const { return dialog->Lines().rowCount(); }
  void SelectLine(int row) { dialog->LineList()->selectRow(row); }

  TempFolder folder;
  LogFolder logs;
  FakeMessageBoxes boxes;
  FakeLogDesktop desktop;
  PreselectedDay preselected;
  std::unique_ptr<CLogManagerDlg> dialog;
};

TEST_F(LogManagerTest, OpensOnThePreselectedDayWithCountsOnTheTabs) {
  logs.WriteDay("2025-3-1", {Event{}});
  logs.WriteDay("2025-3-6", {Event{}, Event{.kind = kReplaceWord}, Event{.kind = kRecordWord},
                             Event{.kind = "other"}});
  logs.WriteDay("2025-3-10", {Event{}});
  preselected.label = "2025-03-06";
  Open();

  EXPECT_EQ(dialog->DayCountLabel()->text(), QStringLiteral("总日志数[3]天"));
  QTreeWidget* days = dialog->DayList();
  ASSERT_EQ(days->topLevelItemCount(), 3);
  EXPECT_EQ(days->topLevelItem(0)->text(1), QStringLiteral("2025-03-10"));
  EXPECT_EQ(days->topLevelItem(0)->text(0), QStringLiteral("3"));
  EXPECT_EQ(days->topLevelItem(2)->text(1), QStringLiteral("2025-03-01"));
  EXPECT_EQ(days->currentItem()->text(1), QStringLiteral("2025-03-06"));

  EXPECT_EQ(dialog->KindTabs()->currentIndex(), 0);
  EXPECT_EQ(dialog->KindTabs()->tabText(0), QStringLiteral("总 数(4)"));
  EXPECT_EQ(dialog->KindTabs()->tabText(1), QStringLiteral("拦 截(1)"));
  EXPECT_EQ(dialog->KindTabs()->tabText(4), QStringLiteral("其 他(1)"));
  EXPECT_EQ(dialog->SummaryLabel()->text(), QStringLiteral("2025-03-06 的日志条数 4,符合条件数:4"));
  EXPECT_EQ(Status(), QStringLiteral("页码:1/1。显示第1-4条,总4条."));
  EXPECT_EQ(Rows(), 4);
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("详细日志管理器 - Orvane·非法信息过滤系统"));

  // Choosing another day shows it from page 1 of every kind and remembers it.
  dialog->KindTabs()->setCurrentIndex(1);
  days->setCurrentItem(days->topLevelItem(0));
  dialog->OpenSelectedDay();
  EXPECT_EQ(dialog->KindTabs()->currentIndex(), 0);
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(preselected.label, "2025-03-10");
  EXPECT_EQ(preselected.path, logs.File("2025-3-10.log"));
}

TEST_F(LogManagerTest, KindTabsAndSearchRefilterPageOneAtEveryKeystroke) {
  logs.WriteDay("2025-3-6", {Event{.key = "casino", .url = "www.Example.com/deny"},
                             Event{.kind = kReplaceWord, .key = "dice", .url = "www.other.org/y"},
                             Event{.key = "poker", .url = "www.other.org/x"}});
  Open();
  dialog->KindTabs()->setCurrentIndex(1);
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Cell(0, 4), QStringLiteral("casino"));
  dialog->KindTabs()->setCurrentIndex(2);
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(Cell(0, 4), QStringLiteral("dice"));

  dialog->KindTabs()->setCurrentIndex(0);
  QLineEdit* search = dialog->SearchBox();
  search->setFocus();
  QTest::keyClicks(search, QStringLiteral("EXA"));
  EXPECT_EQ(Rows(), 1);  // letters fold, so "EXA" finds www.Example.com
  QTest::keyClicks(search, QStringLiteral("x"));
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(Status(), QStringLiteral("页码:1/1。显示第1-0条,总3条."));
  search->clear();
  EXPECT_EQ(Rows(), 3);
}

TEST_F(LogManagerTest, PagingKeysWorkWithTheCaretInTheSearchBox) {
  logs.WriteNumberedDay("2025-3-6", 120);
  Open();
  QLineEdit* search = dialog->SearchBox();
  search->setFocus();
  search->setText(QStringLiteral("k"));  // matches every line; the caret is in the box

  QTest::keyClick(search, Qt::Key_Right);
  EXPECT_EQ(Status(), QStringLiteral("页码:2/3。显示第51-100条,总120条."));
  EXPECT_EQ(Cell(0, 0), QStringLiteral("51"));
  EXPECT_EQ(Cell(0, 4), QStringLiteral("k51"));
  QTest::keyClick(search, Qt::Key_PageDown);
  EXPECT_EQ(Status(), QStringLiteral("页码:3/3。显示第101-120条,总120条."));
  QTest::keyClick(search, Qt::Key_Right);  // already on the last page
  EXPECT_EQ(Rows(), 20);
  QTest::keyClick(dialog->LineList(), Qt::Key_Left);
  QTest::keyClick(search, Qt::Key_PageUp);
  EXPECT_EQ(Status(), QStringLiteral("页码:1/3。显示第1-50条,总120条."));
  EXPECT_EQ(search->text(), QStringLiteral("k"));  // the keys paged, they did not edit

  dialog->LastPage();
  EXPECT_EQ(Cell(19, 4), QStringLiteral("k120"));
  dialog->FirstPage();
  EXPECT_EQ(Cell(0, 4), QStringLiteral("k1"));
}

TEST_F(LogManagerTest, DetailAndCopiesUseTheSelectedRow) {
  logs.WriteDay("2025-3-6", {Event{.key = "casino", .ip = "10.1.2.3", .refer = ""},
                             Event{.key = "dice", .url = "www.example.com/b"}});
  Open();
  dialog->ShowDetail();
  dialog->CopyUrl();
  EXPECT_TRUE(boxes.shown.empty());  // nothing selected: nothing to show or copy

  SelectLine(0);
  dialog->ShowDetail();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Orvane详细日志"));
  EXPECT_TRUE(
      boxes.shown[0].text.contains(QStringLiteral("来自IP:10.1.2.3\n\n关联词:-\n\nURL地址:")));

  SelectLine(1);
  dialog->CopyUrl();
  ASSERT_EQ(desktop.copied.size(), 1u);
  EXPECT_EQ(desktop.copied[0], "www.example.com/b");
  EXPECT_EQ(boxes.shown.back().text,
            QStringLiteral("成功复制URL地址到剪贴板：\n\nwww.example.com/b"));
  dialog->CopyLine();
  EXPECT_NE(desktop.copied[1].find("\n\xC0\xB4\xD7\xD4IP:10.0.0.1\n"),
            std::string::npos);  // 来自IP

  desktop.clipboardWorks = false;
  dialog->CopyLine();
  EXPECT_EQ(boxes.shown.back().icon, BoxIcon::Error);
  EXPECT_TRUE(boxes.shown.back().text.endsWith(QStringLiteral(" 复制到剪贴板失败！请重试。")));
}

TEST_F(LogManagerTest, DeletingTheShownDayRescansToTheNewestLeft) {
  logs.WriteDay("2025-3-1", {Event{}});
  logs.WriteDay("2025-3-6", {Event{}, Event{}});
  preselected.label = "2025-03-01";
  Open();

  boxes.answers = {BoxAnswer::No};
  dialog->DeleteDay();
  EXPECT_TRUE(desktop.trashed.empty());

  boxes.answers = {BoxAnswer::Yes};
  dialog->DeleteDay();
  ASSERT_EQ(desktop.trashed, std::vector<std::string>{logs.File("2025-3-1.log")});
  EXPECT_TRUE(preselected.label.empty());
  EXPECT_TRUE(dialog->ScanTimer().isActive());
  dialog->Scan();
  EXPECT_EQ(dialog->DayCountLabel()->text(), QStringLiteral("总日志数[1]天"));
  EXPECT_EQ(Rows(), 2);

  boxes.answers = {BoxAnswer::Yes};
  dialog->DeleteDay();
  dialog->Scan();
  EXPECT_EQ(dialog->SummaryLabel()->text(), QStringLiteral("暂无日志."));
  EXPECT_EQ(Rows(), 0);
}

TEST_F(LogManagerTest, AFailedDeletionIsReportedAndTheDayStays) {
  logs.WriteDay("2025-3-6", {Event{}});
  Open();
  desktop.refused.insert(logs.File("2025-3-6.log"));
  boxes.answers = {BoxAnswer::Yes};
  dialog->DeleteDay();
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].icon, BoxIcon::Error);
  EXPECT_TRUE(boxes.shown[1].text.contains(QStringLiteral("权限不够")));
  EXPECT_FALSE(dialog->ScanTimer().isActive());
  EXPECT_EQ(dialog->Index().CurrentPath(), logs.File("2025-3-6.log"));
}

TEST_F(LogManagerTest, AVanishedDayFileIsReportedOnEveryPage) {
  logs.WriteNumberedDay("2025-3-6", 60);
  Open();
  std::filesystem::remove(logs.File("2025-3-6.log"));
  dialog->NextPage();
  EXPECT_EQ(dialog->SummaryLabel()->text(), QStringLiteral("所选日志文件不存在！"));
  EXPECT_EQ(Rows(), 0);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("日志不存在"));
}

TEST_F(LogManagerTest, AMissingFolderIsReportedWithoutAWindow) {
  CLogManagerDlg missing(logs.Path() + "nowhere/", boxes, desktop, preselected);
  EXPECT_FALSE(missing.ScanTimer().isActive());
  EXPECT_EQ(missing.Run(), QDialog::Rejected);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("无日志"));
  EXPECT_TRUE(boxes.shown[0].text.endsWith(QStringLiteral("nowhere/ 不存在，没有日志")));
}

TEST_F(LogManagerTest, ALargeDayLoadsInStepsWithTheEventLoopRunning) {
  logs.WriteNumberedDay("2025-3-6", 20000);
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(0);
  Open({.loadStepBytes = 64 * 1024});
  EXPECT_GT(ticks, 5);
  EXPECT_FALSE(dialog->Busy());
  EXPECT_FALSE(dialog->findChild<QProgressBar*>()->isVisible());
  EXPECT_EQ(dialog->KindTabs()->tabText(0), QStringLiteral("总 数(20000)"));
  EXPECT_TRUE(dialog->DayList()->isEnabled());
}

TEST_F(LogManagerTest, MenusOfferTheirCommands) {
  QStringList dayItems;
  QStringList lineItems;
  logs.WriteDay("2025-3-6", {Event{}});
  Open();
  for (QAction* action : dialog->DayMenu().actions()) dayItems << action->text();
  for (QAction* action : dialog->LineMenu().actions()) lineItems << action->text();
  EXPECT_EQ(dayItems,
            (QStringList{"查看当天日志", "删除当天日志", "", "打开日志目录", "", "刷新(&R)"}));
  EXPECT_EQ(lineItems, (QStringList{"日志详细", "", "删除当天所有日志", "打开日志目录", "",
                                    "复制URL到剪贴板", "复制整条到剪贴板"}));
  dialog->OpenFolder();
  EXPECT_EQ(desktop.shown, std::vector<std::string>{logs.File("2025-3-6.log")});
}

TEST_F(LogManagerTest, StatisticsChartTheShownDayAndEveryListedDay) {
  logs.WriteDay("2025-3-5", {Event{.hour = 8}, Event{.hour = 8, .kind = kRecordWord}});
  logs.WriteDay("2025-3-6",
                {Event{.hour = 14, .key = "dice", .ip = "10.0.0.9"}, Event{.hour = 14},
                 Event{.hour = 14, .key = "dice", .ip = "10.0.0.9"},
                 Event{.hour = 14, .kind = kReplaceWord, .key = "dice"}, Event{.hour = 3}});
  Open();
  std::unique_ptr<loganalyzer::CLogStatsDlg> stats = dialog->BuildStatistics();
  ASSERT_TRUE(stats);
  CLogStatsView& view = stats->View();

  auto* hours = qobject_cast<QStackedBarSeries*>(view.HourChart()->series().value(0));
  ASSERT_NE(hours, nullptr);
  ASSERT_EQ(hours->count(), 4);
  EXPECT_EQ(hours->barSets()[0]->label(), QStringLiteral("拦截"));
  EXPECT_EQ(hours->barSets()[0]->at(14), 3);
  EXPECT_EQ(hours->barSets()[0]->at(3), 1);
  EXPECT_EQ(hours->barSets()[1]->at(14), 1);
  EXPECT_EQ(hours->barSets()[0]->count(), 24);

  auto* keys = qobject_cast<QHorizontalBarSeries*>(
      view.TopChart(CLogStatsView::kTopKeywords)->series().value(0));
  ASSERT_NE(keys, nullptr);
  auto* names = qobject_cast<QBarCategoryAxis*>(
      view.TopChart(CLogStatsView::kTopKeywords)->axes(Qt::Vertical).value(0));
  ASSERT_NE(names, nullptr);
  EXPECT_EQ(names->categories().last(), QStringLiteral("1. dice"));  // the top bar
  EXPECT_EQ(keys->barSets()[0]->at(names->count() - 1), 3);
  EXPECT_TRUE(view.Headline()->text().contains(QStringLiteral("14:00-14:59（3 次）")));

  const QList<QAbstractSeries*> perDay = view.DaysChart()->series();
  ASSERT_EQ(perDay.size(), 4);
  auto* denied = qobject_cast<QLineSeries*>(perDay[0]);
  auto* recorded = qobject_cast<QLineSeries*>(perDay[2]);
  ASSERT_EQ(denied->count(), 2);  // oldest first
  EXPECT_EQ(denied->at(0).y(), 1);
  EXPECT_EQ(denied->at(1).y(), 4);
  EXPECT_EQ(recorded->at(0).y(), 1);
}

}  // namespace
}  // namespace orv::console::testing
