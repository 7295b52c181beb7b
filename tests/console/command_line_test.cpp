#include "console/app/command_line.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace orv::console {
namespace {

TEST(ModeFromCommandLine, SwitchesAnywhereInAnyCaseUnloadFirst) {
  EXPECT_EQ(ModeFromCommandLine("/IISRESET"), CommandLineMode::IisReset);
  EXPECT_EQ(ModeFromCommandLine("now -iisreset please"), CommandLineMode::IisReset);
  EXPECT_EQ(ModeFromCommandLine("x-IisResetx"), CommandLineMode::IisReset);
  EXPECT_EQ(ModeFromCommandLine("/Unload"), CommandLineMode::Unload);
  EXPECT_EQ(ModeFromCommandLine("-iisreset -unload"), CommandLineMode::Unload);
  EXPECT_EQ(ModeFromCommandLine("/iisreset /unload"), CommandLineMode::Unload);
  EXPECT_EQ(ModeFromCommandLine(""), CommandLineMode::Normal);
  EXPECT_EQ(ModeFromCommandLine("unload iisreset"), CommandLineMode::Normal);
}

TEST(SwitchTextFromArguments, LeavesOutTheProgramPathAndOurOptions) {
  EXPECT_EQ(SwitchTextFromArguments({"/opt/unload/OrvConsole"}), "");
  EXPECT_EQ(SwitchTextFromArguments(
                {"/opt/OrvConsole", "--dir", "/srv/-iisreset", "/UNLOAD", "--screenshot", "a"}),
            "/UNLOAD");
  EXPECT_EQ(SwitchTextFromArguments({"OrvConsole", "--page", "/unload"}), "");
  EXPECT_EQ(SwitchTextFromArguments({"OrvConsole", "a", "-IISRESET"}), "a -IISRESET");
  EXPECT_EQ(ModeFromCommandLine(SwitchTextFromArguments({"/srv/iisreset/OrvConsole"})),
            CommandLineMode::Normal);
}

TEST(RunCommandLineMode, UnloadStopsTheBackgroundService) {
  testing::FakeServiceControl services;
  QString failure = "stale";
  EXPECT_TRUE(RunCommandLineMode(CommandLineMode::Unload, services, failure));
  EXPECT_EQ(services.calls, QStringList{"stop OrvFilter"});
  EXPECT_TRUE(failure.isEmpty());
}

TEST(RunCommandLineMode, IisResetRestartsTheWebServiceAndReportsFailure) {
  testing::FakeServiceControl services;
  QString failure;
  EXPECT_TRUE(RunCommandLineMode(CommandLineMode::IisReset, services, failure));
  EXPECT_EQ(services.calls, QStringList{"restart w3svc"});

  services.result = ServiceResult{false, QStringLiteral("服务 orvproxy 在 30 秒内未完成 stop")};
  EXPECT_FALSE(RunCommandLineMode(CommandLineMode::IisReset, services, failure));
  EXPECT_EQ(failure, services.result.message);
}

TEST(RunCommandLineMode, NormalStartTouchesNoService) {
  testing::FakeServiceControl services;
  QString failure;
  EXPECT_TRUE(RunCommandLineMode(CommandLineMode::Normal, services, failure));
  EXPECT_TRUE(services.calls.isEmpty());
}

}  // namespace
}  // namespace orv::console
