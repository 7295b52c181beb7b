// The log list page over a folder of day files: which files are listed and how, the day handed
// to the log window, and clearing with a file that cannot be removed.
#include "console/app/log_list_page.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTreeWidget>

#include "console/foundation/skin_button.h"
#include "log_windows_support.h"
#include "loganalyzer/log_index.h"

namespace orv::console::testing {
namespace {

class LogListPageTest : public ::testing::Test {
 protected:
  LogListPageTest() : logs(fixture.folder.Path()) {
    loganalyzer::SharedPreselectedDay() = {};
    fixture.state.Settings().SetLogPath(logs.Path());
  }
  CLogListPage& Page() {
    page = std::make_unique<CLogListPage>(
        fixture.state, fixture.boxes, desktop,
        [this](QWidget*, const std::string& folder) { opened.push_back(folder); }, -1);
    page->Scan();
    return *page;
  }
  QString Text(int row, int column) const { return page->List()->topLevelItem(row)->text(column); }
  int Rows() const { return page->List()->topLevelItemCount(); }

  PageFixture fixture;
  LogFolder logs;
  FakeLogDesktop desktop;
  std::vector<std::string> opened;
  std::unique_ptr<CLogListPage> page;
};

TEST_F(LogListPageTest, ListsDayFilesWithTheirLineCountsNewestOnTop) {
  logs.WriteDay("2025-3-1", {Event{}, Event{}, Event{}});
  logs.WriteDay("2025-3-10", {Event{}, Event{}});
  WriteBytes(logs.File("2025-3-2.log"), "\r\n\r\n");  // no line: not listed
  WriteBytes(logs.File("system.log"), "x\r\n");
  WriteBytes(logs.File("notes.txt"), "x\r\n");
  std::filesystem::create_directories(logs.File("2025-3-4.log"));
  Page();

  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Text(0, CLogListPage::kColumnSerial), QStringLiteral("2"));
  EXPECT_EQ(Text(0, CLogListPage::kColumnDate), QStringLiteral("2025-03-10"));
  EXPECT_EQ(Text(0, CLogListPage::kColumnLines), QStringLiteral("2"));
  EXPECT_EQ(Text(1, CLogListPage::kColumnSerial), QStringLiteral("1"));
  EXPECT_EQ(Text(1, CLogListPage::kColumnDate), QStringLiteral("2025-03-01"));
  EXPECT_EQ(Text(1, CLogListPage::kColumnLines), QStringLiteral("3"));
  EXPECT_EQ(Text(1, CLogListPage::kColumnPath), QString::fromStdString(logs.File("2025-3-1.log")));
  EXPECT_EQ(page->ScanStatus()->text(), QStringLiteral("完毕，共 2 项。"));
  EXPECT_TRUE(page->RefreshButton()->isEnabled());

  // The folder read without its trailing separator gives the same list.
  std::string bare = logs.Path();
  bare.pop_back();
  fixture.state.Settings().SetLogPath(bare);
  page->Scan();
  EXPECT_EQ(Rows(), 2);
  EXPECT_EQ(Text(1, CLogListPage::kColumnPath), QString::fromStdString(logs.File("2025-3-1.log")));
}

TEST_F(LogListPageTest, AMissingFolderListsNothing) {
  fixture.state.Settings().SetLogPath(logs.Path() + "gone/");
  Page();
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(page->ScanStatus()->text(), QStringLiteral("完毕."));
  page->ClearLogs();
  EXPECT_TRUE(fixture.boxes.shown.empty());
}

TEST_F(LogListPageTest, OpeningADayHandsItToTheLogWindow) {
  logs.WriteDay("2025-3-1", {Event{}});
  logs.WriteDay("2025-3-6", {Event{}});
  Page();
  page->OpenSelectedDay();  // no selection
  EXPECT_TRUE(opened.empty());

  page->List()->setCurrentItem(page->List()->topLevelItem(1));
  page->OpenSelectedDay();
  ASSERT_EQ(opened, std::vector<std::string>{logs.Path()});
  EXPECT_EQ(loganalyzer::SharedPreselectedDay().label, "2025-03-01");
  EXPECT_EQ(loganalyzer::SharedPreselectedDay().path, logs.File("2025-3-1.log"));

  loganalyzer::SharedPreselectedDay().label = "2025-03-06";
  page->DetailButton()->click();  // the window opens on the day chosen last
  EXPECT_EQ(opened.size(), 2u);
  EXPECT_EQ(loganalyzer::SharedPreselectedDay().label, "2025-03-06");
}

TEST_F(LogListPageTest, ClearingReportsFilesThatCouldNotBeRemoved) {
  logs.WriteDay("2025-3-1", {Event{}});
  logs.WriteDay("2025-3-5", {Event{}});
  logs.WriteDay("2025-3-6", {Event{}});
  Page();
  fixture.boxes.answers = {BoxAnswer::No};
  page->ClearLogs();
  EXPECT_EQ(Rows(), 3);
  EXPECT_TRUE(desktop.trashed.empty());

  desktop.refused.insert(logs.File("2025-3-5.log"));
  fixture.boxes.answers = {BoxAnswer::Yes};
  page->ClearLogs();
  ASSERT_EQ(fixture.boxes.shown.size(), 3u);
  EXPECT_EQ(fixture.boxes.shown[1].caption, QStringLiteral("日志文件清理警告"));
  const ShownBox& summary = fixture.boxes.shown[2];
  EXPECT_EQ(summary.icon, BoxIcon::Warning);
  EXPECT_TRUE(
      summary.text.startsWith(QStringLiteral("操作完成，成功删除日志文件 2 个，失败 1 个。")));
  EXPECT_TRUE(summary.text.contains(QString::fromStdString(logs.File("2025-3-5.log")) +
                                    QStringLiteral("：权限不够")));
  // The row stays, still pointing at its file, so it can be opened or removed again.
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(Text(0, CLogListPage::kColumnPath), QString::fromStdString(logs.File("2025-3-5.log")));
  EXPECT_TRUE(std::filesystem::exists(logs.File("2025-3-5.log")));
  EXPECT_FALSE(std::filesystem::exists(logs.File("2025-3-1.log")));
}

TEST_F(LogListPageTest, AYearOfDaysIsScannedWithTheEventLoopRunning) {
  for (int month = 1; month <= 12; ++month) {
    for (int day = 1; day <= 28; ++day) {
      logs.WriteDay("2024-" + std::to_string(month) + "-" + std::to_string(day), {Event{}});
    }
  }
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(0);
  Page();
  EXPECT_EQ(Rows(), 12 * 28);
  EXPECT_EQ(Text(0, CLogListPage::kColumnDate), QStringLiteral("2024-12-28"));
  EXPECT_GT(ticks, 100);
}

}  // namespace
}  // namespace orv::console::testing
