#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <fstream>
#include <string>
#include <vector>

#include "console/app/console_state.h"
#include "console/app/loader_dlg.h"
#include "console/app/product_texts.h"
#include "console/foundation/dates_paths.h"
#include "fakes.h"
#include "store/settings_file.h"
#include "tests/support/temp_folder.h"

namespace orv::console {
namespace {

using orv::testing::TempFolder;
using testing::FakeMessageBoxes;

constexpr LoaderTimings kNoWaiting{0, 0, 0};

// Key names of the settings file, in file order.
std::vector<std::string> KeysInFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> keys;
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) {
      keys.push_back(line.substr(0, equals));
    }
  }
  return keys;
}

void RunLoader(ConsoleState& state, FakeMessageBoxes& boxes) {
  CLoaderDlg loader(state, boxes, kNoWaiting);
  loader.RunLoadSteps();
  EXPECT_EQ(loader.Progress(), 99);
  EXPECT_EQ(loader.StatusText(), QStringLiteral("加载完毕！"));
}

TEST(Startup, FirstRunWritesDefaultsInOrderAndWelcomesOnce) {
  TempFolder folder;
  ConsoleState state(folder.Path());
  FakeMessageBoxes boxes;
  RunLoader(state, boxes);

  EXPECT_EQ(
      KeysInFile(state.SettingsPath()),
      (std::vector<std::string>{"KeySoft", "KeyVersion", "KeyIsSystem", "KeyIsLog", "KeySafeCode",
                                "KeyIsGzip", "KeyIsShowWords", "KeyLogPath", "KeyFileType",
                                "KeyAutoHour", "KeyClearLog", "KeyBaiUrl", "KeyHeiUrl"}));
  EXPECT_EQ(state.Settings().GetLogPath(), folder.Path() + "log/");
  EXPECT_TRUE(PathExistsAs(folder.Path() + "log", true));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Information);
  EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Orvane"));
  EXPECT_EQ(boxes.shown[0].text,
            QStringLiteral("欢迎使用 Orvane·非法信息过滤系统！这个信息只会在首次使用时弹出。\n\n"
                           "更多服务器软件请随时关注：https://www.orvane.net"));

  // The second start finds its own defaults and says nothing.
  ConsoleState again(folder.Path());
  FakeMessageBoxes quiet;
  RunLoader(again, quiet);
  EXPECT_TRUE(quiet.shown.empty());
}

TEST(Startup, ATitleLineWithOneMarkerOnlyCountsAsFirstRun) {
  TempFolder folder;
  ConsoleState state(folder.Path());
  ASSERT_TRUE(state.Settings().SetSoft("Orvane\xA1\xA4 web filter"));  // "Orvane·" only
  ASSERT_TRUE(state.Settings().SetIsSystem(true));
  FakeMessageBoxes boxes;
  RunLoader(state, boxes);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Information);
  EXPECT_TRUE(store::HasFirstRunMarkers(state.Settings().GetSoft()));
  EXPECT_FALSE(state.Settings().GetIsSystem());  // the defaults were written again
}

TEST(Startup, DefaultsThatCannotBeWrittenAreReportedNotWelcomed) {
  TempFolder folder;
  ConsoleState state(folder.Path() + "missing/folder");
  FakeMessageBoxes boxes;
  CLoaderDlg loader(state, boxes, kNoWaiting);
  loader.RunLoadSteps();
  EXPECT_FALSE(loader.LoadSucceeded());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Error);
  EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("OrvFilter.ini")));
  EXPECT_FALSE(boxes.shown[0].text.contains(QStringLiteral("欢迎")));
}

TEST(Startup, LoadsTheKeywordDatabase) {
  TempFolder folder;
  std::ofstream(folder.File("OrvFilter.db"), std::ios::binary)
      << "<OrvKeyDeny>@@bad@@word@@</OrvKeyDeny>";
  ConsoleState state(folder.Path());
  FakeMessageBoxes boxes;
  RunLoader(state, boxes);
  EXPECT_EQ(state.Database().GetSection(store::Section::Deny), "@@bad@@word@@");
}

TEST(Startup, TheLoaderWindowRunsItselfAndCloses) {
  TempFolder folder;
  ConsoleState state(folder.Path());
  FakeMessageBoxes boxes;
  CLoaderDlg loader(state, boxes, kNoWaiting);
  EXPECT_EQ(loader.StatusText(), QStringLiteral("启动中..."));
  EXPECT_EQ(loader.windowTitle(), QStringLiteral("Orvane·非法信息过滤系统v2.1"));
  EXPECT_EQ(loader.exec(), QDialog::Accepted);
  EXPECT_TRUE(loader.LoadSucceeded());
  EXPECT_EQ(boxes.shown.size(), 1u);
}

}  // namespace
}  // namespace orv::console

namespace orv::console {
namespace {

TEST(Startup, ADatabaseThatCannotBeReadIsReported) {
  orv::testing::TempFolder folder;
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder.File("OrvFilter.db"))));
  ConsoleState state(folder.Path());
  ASSERT_TRUE(state.Settings().WriteDefaults(state.AppDirectory()));
  testing::FakeMessageBoxes boxes;
  CLoaderDlg loader(state, boxes, kNoWaiting);
  loader.RunLoadSteps();
  EXPECT_FALSE(loader.LoadSucceeded());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Error);
  EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("OrvFilter.db")));
}

}  // namespace
}  // namespace orv::console
