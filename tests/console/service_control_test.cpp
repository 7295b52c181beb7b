#include "console/foundation/service_control.h"

#include <gtest/gtest.h>

#include "console/foundation/program_runner.h"
#include "fakes.h"

namespace orv::console {
namespace {

using testing::FakeProgramRunner;

ProgramResult Outcome(ProgramResult::Kind kind, int exitCode = 0, QString output = {}) {
  ProgramResult result;
  result.kind = kind;
  result.exitCode = exitCode;
  result.output = std::move(output);
  return result;
}

TEST(UnitForService, MapsTheServiceNames) {
  EXPECT_EQ(UnitForService("w3svc", "orvproxy"), "orvproxy");
  EXPECT_EQ(UnitForService("W3SVC", "nginx"), "nginx");
  EXPECT_EQ(UnitForService("OrvFilter", "orvproxy"), "orvfilter");
}

TEST(SystemdServiceControl, StartsAndStopsUnitsWithABound) {
  FakeProgramRunner runner;
  SystemdServiceControl services(runner, "orvproxy", 30000, 0);
  EXPECT_TRUE(services.SetServiceRunning("OrvFilter", false).ok);
  EXPECT_TRUE(services.SetServiceRunning("w3svc", true).ok);
  EXPECT_TRUE(services.SetServiceEnabled("OrvFilter", false).ok);
  EXPECT_TRUE(services.SetServiceEnabled("OrvFilter", true).ok);
  EXPECT_EQ(runner.commands,
            (QStringList{"systemctl stop orvfilter", "systemctl start orvproxy",
                         "systemctl disable orvfilter", "systemctl enable orvfilter"}));
  EXPECT_EQ(runner.timeouts, (std::vector<int>{30000, 30000, 30000, 30000}));
}

TEST(SystemdServiceControl, RestartStopsThenStarts) {
  FakeProgramRunner runner;
  SystemdServiceControl services(runner, "orvproxy", 30000, 0);
  const ServiceResult result = services.RestartService("w3svc");
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(result.message.isEmpty());
  EXPECT_EQ(runner.commands, (QStringList{"systemctl stop orvproxy", "systemctl start orvproxy"}));
}

TEST(SystemdServiceControl, AStopThatTimesOutIsReportedAndNotFollowedByAStart) {
  FakeProgramRunner runner;
  runner.results.push_back(Outcome(ProgramResult::Kind::TimedOut));
  SystemdServiceControl services(runner, "orvproxy", 30000, 0);
  const ServiceResult result = services.RestartService("w3svc");
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.message.contains("orvproxy"));
  EXPECT_TRUE(result.message.contains("30"));
  EXPECT_EQ(runner.commands, (QStringList{"systemctl stop orvproxy"}));
}

TEST(SystemdServiceControl, FailuresCarryTheReason) {
  FakeProgramRunner runner;
  runner.results.push_back(Outcome(ProgramResult::Kind::Finished, 0));
  runner.results.push_back(
      Outcome(ProgramResult::Kind::Finished, 5, "Unit orvproxy.service not found.\n"));
  runner.results.push_back(Outcome(ProgramResult::Kind::FailedToStart, -1, "No such file"));
  SystemdServiceControl services(runner, "orvproxy", 30000, 0);
  const ServiceResult restart = services.RestartService("w3svc");
  EXPECT_FALSE(restart.ok);
  EXPECT_TRUE(restart.message.contains("not found")) << restart.message.toStdString();
  const ServiceResult stop = services.SetServiceRunning("OrvFilter", false);
  EXPECT_FALSE(stop.ok);
  EXPECT_TRUE(stop.message.contains("No such file"));
}

TEST(ProcessRunner, ReportsExitCodesMissingProgramsAndTimeouts) {
  ProcessRunner runner;
  const ProgramResult finished = runner.Run("sh", {"-c", "echo out; exit 3"}, 10000);
  EXPECT_EQ(finished.kind, ProgramResult::Kind::Finished);
  EXPECT_EQ(finished.exitCode, 3);
  EXPECT_FALSE(finished.Succeeded());
  EXPECT_TRUE(finished.output.contains("out"));

  EXPECT_EQ(runner.Run("no-such-program-orvane", {}, 10000).kind,
            ProgramResult::Kind::FailedToStart);

  // A program that outlives its bound is stopped and reported, not waited for.
  EXPECT_EQ(runner.Run("sleep", {"30"}, 100).kind, ProgramResult::Kind::TimedOut);
}

}  // namespace
}  // namespace orv::console
