// The background service, stepped with a clock the test turns: the fetch in the right hour
// once a day, the reload only after additions, the retention, and a dead service.
#include <gtest/gtest.h>

#include <sstream>

#include "online/account.h"
#include "online/md5.h"
#include "online_fixtures.h"
#include "store/settings_file.h"
#include "tests/support/fake_clock.h"
#include "tools/ctl_daemon.h"
#include "tools/keyd_data.h"

namespace orv::tools {
namespace {

using online::testing::ReadFile;
using online::testing::ScratchFolder;
using online::testing::ScriptedTransport;
using online::testing::WriteFile;

class RecordingUnits : public ServiceUnits {
 public:
  UnitResult Act(const std::string& verb, const std::string& unit) override {
    calls.push_back(verb + " " + unit);
    return {!fail, fail ? "unit failed" : ""};
  }
  std::vector<std::string> calls;
  bool fail = false;
};

// Answers fetches from orvkeyd's own answer function, as if the service were reached.
class ServiceTransport : public online::HttpTransport {
 public:
  online::HttpReply HttpGet(const std::string& url) override {
    ++requests;
    if (dead) return {online::GetOutcome::NetworkFailure, "", "connection refused"};
    const std::size_t path = url.find("/free/");
    return {online::GetOutcome::Answered, AnswerRequest(*data, url.substr(path)).body, ""};
  }
  std::shared_ptr<const KeyData> data;
  bool dead = false;
  int requests = 0;
};

class Daemon : public ::testing::Test {
 protected:
  Daemon() {
    service_.data = ParseKeyData("bob\t" + online::Md5Hex("pw") + "\n", "aa\nbb\n", "").data;
    store::SettingsFile settings(folder_.File("OrvFilter.ini"));
    EXPECT_TRUE(settings.WriteKey("KeyServiceUrl", "http://svc"));
    EXPECT_TRUE(
        settings.SetUser(online::ScrambleAccountRecord(online::MakeAccountRecord("bob", "pw"))));
    EXPECT_TRUE(settings.SetIsAutoWords(true));
    EXPECT_TRUE(settings.SetAutoHour("3"));
    EXPECT_TRUE(settings.SetClearLog("0"));
    WriteFile(folder_.File("OrvFilter.db"), "<OrvKeyDeny>zz</OrvKeyDeny>");
  }
  KeywordDaemon Make() {
    return KeywordDaemon(folder_.Dir().string(), service_, units_, clock_, log_,
                         [this](const std::string& folder, unsigned days, std::time_t) {
                           retentions_.push_back(folder + " " + std::to_string(days));
                           RetentionReport report;
                           report.removed = 2;
                           return report;
                         });
  }
  store::SettingsFile Settings() { return store::SettingsFile(folder_.File("OrvFilter.ini")); }

  ScratchFolder folder_;
  ServiceTransport service_;
  RecordingUnits units_;
  orv::testing::FakeClock clock_;
  std::ostringstream log_;
  std::vector<std::string> retentions_;
};

TEST_F(Daemon, FetchesInTheRightHourOnceADayAndReloadsOnlyAfterAdditions) {
  KeywordDaemon daemon = Make();
  clock_.SetLocal(2026, 3, 1, 2, 59);
  daemon.Step();
  EXPECT_EQ(service_.requests, 0);
  clock_.SetLocal(2026, 3, 1, 3, 0);
  daemon.Step();
  EXPECT_EQ(service_.requests, 1);
  EXPECT_EQ(ReadFile(folder_.File("OrvFilter.db")),
            "<OrvKeyDeny>zz@@aa@@bb</OrvKeyDeny><OrvKeyRepl></OrvKeyRepl>");
  EXPECT_EQ(units_.calls, (std::vector<std::string>{"try-reload-or-restart orvproxy"}));
  clock_.SetLocal(2026, 3, 1, 3, 59);
  daemon.Step();
  clock_.SetLocal(2026, 3, 1, 4, 0);
  daemon.Step();
  EXPECT_EQ(service_.requests, 1);

  // The next day nothing new comes: no reload.
  clock_.SetLocal(2026, 3, 2, 3, 30);
  daemon.Step();
  EXPECT_EQ(service_.requests, 2);
  EXPECT_EQ(units_.calls.size(), 1u);
  EXPECT_NE(log_.str().find("added 2 deny and 0 replace"), std::string::npos);
  EXPECT_NE(log_.str().find("added 0 deny and 0 replace"), std::string::npos);
}

TEST_F(Daemon, FollowsTheSettingsAsTheyAreAtEachLook) {
  KeywordDaemon daemon = Make();
  ASSERT_TRUE(Settings().SetIsAutoWords(false));
  clock_.SetLocal(2026, 3, 1, 3);
  daemon.Step();
  EXPECT_EQ(service_.requests, 0);
  ASSERT_TRUE(Settings().SetIsAutoWords(true));
  ASSERT_TRUE(Settings().SetAutoHour("99"));  // out of range reads as hour 0
  clock_.SetLocal(2026, 3, 1, 4);
  daemon.Step();
  clock_.SetLocal(2026, 3, 2, 0, 10);
  daemon.Step();
  EXPECT_EQ(service_.requests, 1);
}

TEST_F(Daemon, SurvivesADeadServiceAFailedReloadAndAFullDisk) {
  KeywordDaemon daemon = Make();
  service_.dead = true;
  clock_.SetLocal(2026, 3, 1, 3);
  daemon.Step();
  EXPECT_NE(log_.str().find("keyword fetch failed"), std::string::npos);
  EXPECT_NE(log_.str().find("connection refused"), std::string::npos);
  EXPECT_TRUE(units_.calls.empty());

  // The database cannot be written: logged, no reload.
  service_.dead = false;
  std::filesystem::remove(folder_.File("OrvFilter.db"));
  std::filesystem::create_directory(folder_.File("OrvFilter.db"));
  clock_.SetLocal(2026, 3, 2, 3);
  daemon.Step();
  EXPECT_TRUE(units_.calls.empty());

  std::filesystem::remove(folder_.File("OrvFilter.db"));
  units_.fail = true;
  clock_.SetLocal(2026, 3, 3, 3);
  daemon.Step();
  EXPECT_NE(log_.str().find("reload orvproxy failed: unit failed"), std::string::npos);
  EXPECT_EQ(service_.requests, 3);
}

TEST_F(Daemon, RetentionOncePerDayWithTheConfiguredDays) {
  ASSERT_TRUE(Settings().SetClearLog("30"));
  ASSERT_TRUE(Settings().SetLogPath("/var/log/orv/"));
  KeywordDaemon daemon = Make();
  clock_.SetLocal(2026, 3, 1, 10);
  daemon.Step();
  clock_.SetLocal(2026, 3, 1, 23, 59);
  daemon.Step();
  EXPECT_EQ(retentions_, (std::vector<std::string>{"/var/log/orv/ 30"}));
  ASSERT_TRUE(Settings().SetClearLog("0"));
  clock_.SetLocal(2026, 3, 2, 0, 1);
  daemon.Step();
  EXPECT_EQ(retentions_.size(), 1u);
  EXPECT_NE(log_.str().find("log retention: off"), std::string::npos);
}

TEST(RemoveOldDayFiles, UsesTheLocalDateOfTheGivenTime) {
  ScratchFolder folder;
  for (const char* name : {"2026-3-1.log", "2026-02-20.log", "2026-2-19.log", "notes.log"}) {
    WriteFile(folder.Dir() / name, "x");
  }
  orv::testing::FakeClock clock;
  clock.SetLocal(2026, 3, 1, 0, 5);
  const RetentionReport report = RemoveOldDayFiles(folder.Dir().string(), 9, clock.Now());
  EXPECT_EQ(report.removed, 1u);
  EXPECT_TRUE(report.failures.empty());
  EXPECT_FALSE(std::filesystem::exists(folder.Dir() / "2026-2-19.log"));
  EXPECT_TRUE(std::filesystem::exists(folder.Dir() / "2026-02-20.log"));
}

}  // namespace
}  // namespace orv::tools
