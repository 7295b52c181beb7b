// The update check and the advertisement bar: the feeds' rules on their own, and the main
// window reading both feeds from orvkeyd on 127.0.0.1 in the background.
#include "online/feeds.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QThread>

#include "console/app/main_dlg.h"
#include "console/app/product_texts.h"
#include "fake_system.h"
#include "key_service.h"
#include "page_fixture.h"

namespace orv::console::testing {
namespace {

using online::AdEntry;

TEST(UpdateFeed, OnlyADottedVersionAfterOursCountsAsNewer) {
  EXPECT_TRUE(online::IsNewerVersion("2.2", "2.1"));
  EXPECT_TRUE(online::IsNewerVersion("2.10", "2.1"));
  EXPECT_TRUE(online::IsNewerVersion("3.0", "2.1"));
  EXPECT_FALSE(online::IsNewerVersion("10.0", "2.1"));  // compared as text
  EXPECT_FALSE(online::IsNewerVersion("3", "2.1"));     // no dot
  EXPECT_FALSE(online::IsNewerVersion("2.1", "2.1"));
  EXPECT_FALSE(online::IsNewerVersion("", "2.1"));
}

TEST(UpdateFeed, OnlyWebAddressesAreOpened) {
  const auto page = [](const char* text) {
    return online::UpdatePageToOpen({"2.2", text, ""}, "https://default/");
  };
  EXPECT_EQ(page("http://dl.example/v22"), "http://dl.example/v22");
  EXPECT_EQ(page("HTTPS://dl.example/v22"), "HTTPS://dl.example/v22");
  EXPECT_EQ(page("www.example.com/v22"), "https://default/");
  EXPECT_EQ(page("file:///tmp/run.sh?http://x"), "https://default/");
  EXPECT_EQ(page(""), "https://default/");
  EXPECT_EQ(online::AdLinkToOpen("", "https://default/"), "https://default/");
}

TEST(AdsFeed, SelectsEntriesForThisProgramAndKeepsDoubleByteTitles) {
  // "\x81\x41" is one GBK character whose second byte is "A": lower-casing must not touch it.
  const std::string feed =
      "<ORVADS><SOFT>*</SOFT><URL>HTTP://A.example/X</URL><TITLE>T\x81\x41</TITLE>"
      "<COLOR>1</COLOR>##short##"
      "<soft>othersoft</soft><url>http://b</url><title>b</title><color>2</color>##"
      "<soft>orvfilter</soft><url>http://c</url><title>c</title><color>4</color>##"
      "<soft>*,!orvfilter</soft><url>http://d</url><title>d</title><color>3</color>##"
      "<soft>*</soft><url>http://e</url><title>no colour</title></orvads>";
  const std::vector<AdEntry> entries = online::ParseAdsFeed(feed, online::kProductCode);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].link, "http://a.example/x");
  EXPECT_EQ(entries[0].title, "t\x81\x41");
  EXPECT_EQ(entries[0].colour, "1");
  EXPECT_EQ(entries[1].title, "c");
  EXPECT_TRUE(online::ParseAdsFeed("", online::kProductCode).empty());
}

TEST(AdsFeed, ColoursAndRotation) {
  EXPECT_EQ(online::AdColour("7"), (online::Rgb{0, 0, 0}));
  EXPECT_EQ(online::AdColour("1"), (online::Rgb{255, 0, 0}));
  EXPECT_EQ(online::AdColour("3"), (online::Rgb{0, 255, 0}));
  EXPECT_EQ(online::AdColour("2"), (online::Rgb{0, 0, 255}));
  EXPECT_EQ(online::AdColour("4"), (online::Rgb{130, 100, 20}));
  EXPECT_EQ(online::AdColour("5"), (online::Rgb{255, 255, 255}));
  EXPECT_EQ(online::AdColour("9"), (online::Rgb{0, 0, 0}));
  EXPECT_EQ(online::AdColour(""), (online::Rgb{0, 0, 0}));

  online::AdRotation rotation;
  const AdEntry fallback{"http://default", "default", ""};
  EXPECT_EQ(rotation.Next(fallback).title, "default");
  rotation.Reset({{"http://1", "one", "1"}, {"http://2", "two", "2"}});
  EXPECT_EQ(rotation.Next(fallback).title, "one");
  EXPECT_EQ(rotation.Next(fallback).title, "two");
  EXPECT_EQ(rotation.Next(fallback).title, "one");
}

// Feeds start at once; the rotation and the status timers only turn when a test says so.
constexpr MainDlgTimings kFeedsAtOnce{3600000, 3600000, 3600000, 3600000, 0, true};

class MainWindowFeedsTest : public ::testing::Test, public PageFixture {
 protected:
  std::unique_ptr<CMainDlg> OpenWindow(const std::string& serviceUrl) {
    WriteBytes(state.SettingsPath(), "[OrvFilter]\r\nKeyServiceUrl=" + serviceUrl + "\r\n");
    return std::make_unique<CMainDlg>(state, boxes, system.control, kFeedsAtOnce);
  }
  // Runs the event loop until both feeds have reached the window (bounded, never timed).
  static bool WaitForFeeds(const CMainDlg& window) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (window.FeedsHandled() < 2 && elapsed.elapsed() < 20000) {
      QCoreApplication::processEvents();
      QThread::msleep(5);
    }
    return window.FeedsHandled() == 2;
  }

  FakeSystem system{folder.Path()};
};

tools::KeyData Feeds(std::string update, std::string ads) {
  tools::KeyData data;
  data.updateFeed = std::move(update);
  data.adsFeed = std::move(ads);
  return data;
}

TEST_F(MainWindowFeedsTest, NewerVersionAsksAndOpensItsPageOrTheDefaultOne) {
  KeyService service(
      Feeds("<ORVVersion>2.2</ORVVersion>\r\n<ORVUpdateUrl>http://dl.example/v22</ORVUpdateUrl>"
            "<ORVUpdateAbout>" +
                Gbk("更快") + "</ORVUpdateAbout>",
            ""));
  ASSERT_TRUE(service.Listening());
  boxes.answers = {BoxAnswer::Yes};
  auto window = OpenWindow(service.BaseUrl());
  ASSERT_TRUE(WaitForFeeds(*window));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Information);
  EXPECT_EQ(boxes.shown[0].buttons, BoxButtons::YesNo);
  EXPECT_EQ(boxes.shown[0].text,
            QStringLiteral("发现新版本:2.2\n\n 升级描述:\n 更快\n\n是否查看新的版本？"));
  EXPECT_EQ(system.shell.opened, QStringList{QStringLiteral("http://dl.example/v22")});

  // A page that is no web address: the default download page instead.
  KeyService other(
      Feeds("<ORVVersion>2.2</ORVVersion><ORVUpdateUrl>dl.example/v22</ORVUpdateUrl>", ""));
  boxes.answers = {BoxAnswer::Yes};
  window = OpenWindow(other.BaseUrl());
  ASSERT_TRUE(WaitForFeeds(*window));
  ASSERT_EQ(system.shell.opened.size(), 2);
  EXPECT_EQ(system.shell.opened[1], DownloadPageAddress());
}

TEST_F(MainWindowFeedsTest, VersionWithoutADotShowsNothing) {
  KeyService service(Feeds("<ORVVersion>3</ORVVersion><ORVUpdateUrl>http://x</ORVUpdateUrl>", ""));
  auto window = OpenWindow(service.BaseUrl());
  ASSERT_TRUE(WaitForFeeds(*window));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindowFeedsTest, AdvertisementsRotateInTheirColoursAndOpenTheirLinks) {
  KeyService service(
      Feeds("", "<orvads><soft>*</soft><url>http://one.example/</url><title>" + Gbk("第一条") +
                    "</title><color>1</color>##"
                    "<soft>otherprog</soft><url>http://x/</url><title>x</title><color>2</color>##"
                    "<soft>orvfilter</soft><url>javascript:alert(1)</url><title>two</title>"
                    "<color>4</color></orvads>"));
  auto window = OpenWindow(service.BaseUrl());
  ASSERT_TRUE(WaitForFeeds(*window));

  window->OnAdTimer();
  EXPECT_EQ(window->AdTitle()->text(), QStringLiteral("第一条"));
  EXPECT_EQ(window->AdColour(), QColor(255, 0, 0));
  window->OpenAdLink();
  window->OnAdTimer();
  EXPECT_EQ(window->AdTitle()->text(), QStringLiteral("two"));
  EXPECT_EQ(window->AdColour(), QColor(130, 100, 20));
  window->OpenAdLink();  // not a web address: the default link
  window->OnAdTimer();
  EXPECT_EQ(window->AdTitle()->text(), QStringLiteral("第一条"));
  EXPECT_EQ(system.shell.opened,
            (QStringList{QStringLiteral("http://one.example/"), DefaultAdLink()}));
}

TEST_F(MainWindowFeedsTest, UnreachableFeedsLeaveTheDefaultAdvertisement) {
  auto window = OpenWindow(kRefusingService);
  ASSERT_TRUE(WaitForFeeds(*window));
  window->OnAdTimer();
  EXPECT_EQ(window->AdTitle()->text(), DefaultAdTitle());
  EXPECT_EQ(window->AdColour(), QColor(0, 0, 0));
  window->OpenAdLink();
  EXPECT_EQ(system.shell.opened, QStringList{DefaultAdLink()});
  EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace orv::console::testing
