// orvctl as the administrator runs it, on folders written the way Windows leaves them
// (CR LF lines, GBK keywords), with a stand-in systemctl on PATH for repair and unload.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/temp_folder.h"
#include "tools/bounded_process.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::ssize(bytes));
}

// GBK keywords of the fixture: 非法, 敏感 and 丂 (whose trail byte is "@").
constexpr std::string_view kDatabase =
    "<OrvKeyDeny>\xB7\xC7\xB7\xA8@@\xC3\xF4\xB8\xD0\x81\x40@@abc+def</OrvKeyDeny>\r\n"
    "<OrvKeyRepl>\xBA\xCD\xD0\xB3=**@@bad\xFF</OrvKeyRepl>\r\n"
    "<KeyWordsJilu></KeyWordsJilu>\r\n"
    "<OrvKeyFree>@@ok</OrvKeyFree>\r\n";

struct CtlRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class CtlFolder {
 public:
  CtlFolder() : path_(folder_.Dir()) {
    fs::create_directories(path_ / "log");
    fs::create_directories(path_ / "bin");
    WriteFile(path_ / "OrvFilter.db", kDatabase);
    WriteFile(path_ / "OrvFilter.ini",
              "[OrvFilter]\r\nKeySoft=Orvane\r\nKeyIsSystem=1\r\nKeyIsLog=1\r\nKeyLogPath=" +
                  (path_ / "log").string() +
                  "\r\nKeyFileType=asp|htm\r\nKeyHeiUrl=.asp;|/x|/\xB7\xC7\r\nKeyAutoHour=3\r\n");
    // The stand-in service manager: logs its arguments, fails when told to.
    WriteFile(path_ / "bin" / "systemctl",
              "#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/calls\"\n"
              "[ -f \"$(dirname \"$0\")/fail\" ] && { echo 'Unit orvproxy.service not found.' "
              ">&2; exit 5; }\nexit 0\n");
    fs::permissions(path_ / "bin" / "systemctl", fs::perms::owner_all);
  }
  fs::path File(const std::string& name) const { return path_ / name; }
  std::string Calls() const { return ReadFile(path_ / "bin" / "calls"); }

  // Runs orvctl with `arguments` (shell words) after --dir, feeding `input` on stdin.
  CtlRun Run(const std::string& arguments, std::string_view input = "",
             const std::string& path = "") const {
    WriteFile(path_ / "stdin.bin", input);
    const std::string searchPath =
        path.empty() ? (path_ / "bin").string() + ":/usr/bin:/bin" : path;
    const std::string command =
        "PATH='" + searchPath + "' '" + ORVCTL_PATH + "' --dir '" + path_.string() + "' " +
        arguments + " <'" + (path_ / "stdin.bin").string() + "' >'" +
        (path_ / "stdout.bin").string() + "' 2>'" + (path_ / "stderr.txt").string() + "'";
    const int status = std::system(command.c_str());
    CtlRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFile(path_ / "stdout.bin");
    run.err = ReadFile(path_ / "stderr.txt");
    return run;
  }

 private:
  orv::testing::TempFolder folder_{"orvctl-test"};
  fs::path path_;
};

TEST(OrvctlWords, ShowAndCountConvertTheStoredListToUtf8Lines) {
  CtlFolder folder;
  CtlRun run = folder.Run("words deny show");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "非法\n敏感丂\nabc+def\n");
  run = folder.Run("--gbk words deny show");
  EXPECT_EQ(run.out, "\xB7\xC7\xB7\xA8\n\xC3\xF4\xB8\xD0\x81\x40\nabc+def\n");
  EXPECT_EQ(folder.Run("words deny count").out, "2组\n");
  EXPECT_EQ(folder.Run("words free show").out, "ok\n");
  EXPECT_EQ(folder.Run("words record show").out, "");
  EXPECT_EQ(folder.Run("words record count").out, "0组\n");
}

TEST(OrvctlWords, SaveStoresOnlyItsOwnSectionAsThePageWould) {
  CtlFolder folder;
  const std::string before = ReadFile(folder.File("OrvFilter.db"));
  CtlRun run = folder.Run("words record save", "记录\r\n\r\nxy\r\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  const std::string after = ReadFile(folder.File("OrvFilter.db"));
  EXPECT_NE(after.find("<KeyWordsJilu>\xBC\xC7\xC2\xBC@@xy</KeyWordsJilu>"), std::string::npos);
  // The other sections are as they were (the file's line breaks are joined away).
  for (const char* tag : {"OrvKeyDeny", "OrvKeyRepl", "OrvKeyFree"}) {
    const std::string open = std::string("<") + tag + ">";
    const std::string close = std::string("</") + tag + ">";
    const auto section = [&](const std::string& text) {
      const auto from = text.find(open) + open.size();
      return text.substr(from, text.find(close) - from);
    };
    EXPECT_EQ(section(after), section(before)) << tag;
  }
  // Saved from a file, then shown again: the same lines, the invalid byte of the replace
  // list included.
  const std::string replace = folder.Run("words replace show").out;
  WriteFile(folder.File("replace.txt"), replace);
  EXPECT_EQ(folder.Run("words replace save '" + folder.File("replace.txt").string() + "'").exitCode,
            0);
  EXPECT_NE(ReadFile(folder.File("OrvFilter.db")).find("<OrvKeyRepl>\xBA\xCD\xD0\xB3=**@@bad\xFF<"),
            std::string::npos);
}

TEST(OrvctlWords, TextGbkCannotHoldIsRefusedWithItsLineAndNothingChanges) {
  CtlFolder folder;
  const std::string before = ReadFile(folder.File("OrvFilter.db"));
  const CtlRun run = folder.Run("words deny save", "好\n笑\n😀\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("line 3"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1);  // one line
  EXPECT_EQ(ReadFile(folder.File("OrvFilter.db")), before);
  EXPECT_EQ(folder.Run("words deny save '" + folder.File("absent").string() + "'").exitCode, 1);
}

TEST(OrvctlWords, AFileThatCannotBeReadOrWrittenIsReportedNotSaved) {
  CtlFolder folder;
  fs::remove(folder.File("OrvFilter.db"));
  fs::create_directory(folder.File("OrvFilter.db"));
  CtlRun run = folder.Run("words deny save", "x\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;
  EXPECT_EQ(folder.Run("words deny show").exitCode, 1);
  fs::remove(folder.File("OrvFilter.ini"));
  fs::create_directory(folder.File("OrvFilter.ini"));
  EXPECT_EQ(folder.Run("lists url-black save", "/a\n").exitCode, 1);
  EXPECT_EQ(folder.Run("set KeyIsGzip 1").exitCode, 1);
  EXPECT_EQ(folder.Run("get KeyIsGzip").exitCode, 1);
}

TEST(OrvctlLists, ShowCountAndSaveUseTheBarForm) {
  CtlFolder folder;
  EXPECT_EQ(folder.Run("lists url-black show").out, ".asp;\n/x\n/非\n");
  EXPECT_EQ(folder.Run("lists url-black count").out, "2组\n");  // "/x" is under 3 bytes
  EXPECT_EQ(folder.Run("lists ip-white save", "10.0.0.1\n\n10.0.0.2-10.0.0.9\n").exitCode, 0);
  EXPECT_EQ(folder.Run("get KeyBaiIp").out, "10.0.0.1||10.0.0.2-10.0.0.9\n");
  EXPECT_EQ(folder.Run("lists ip-white show").out, "10.0.0.1\n\n10.0.0.2-10.0.0.9\n");
  EXPECT_EQ(folder.Run("get KeyHeiUrl").out, ".asp;|/x|/非\n");  // untouched
  EXPECT_EQ(folder.Run("lists url-grey show").exitCode, 1);
}

TEST(OrvctlSettings, GetAndSetApplyThePagesRules) {
  CtlFolder folder;
  EXPECT_EQ(folder.Run("get keyautohour").out, "3\n");
  EXPECT_EQ(folder.Run("set KeyAutoHour 24").exitCode, 0);
  EXPECT_EQ(folder.Run("get KeyAutoHour").out, "0\n");
  EXPECT_EQ(folder.Run("set KeyClearLog 000").exitCode, 0);
  EXPECT_EQ(folder.Run("get KeyClearLog").out, "0\n");
  EXPECT_EQ(folder.Run("set KeySendWords '请勿发布'").exitCode, 0);
  EXPECT_EQ(folder.Run("get KeySendWords").out, "请勿发布\n");
  EXPECT_NE(ReadFile(folder.File("OrvFilter.ini")).find("\xC7\xEB\xCE\xF0"), std::string::npos);

  const std::string before = ReadFile(folder.File("OrvFilter.ini"));
  for (const char* refused :
       {"set KeyIsSystem yes", "set KeyLogPath /no/such/folder", "set KeyLogPath /",
        "set KeyAutoHour x1", "set KeyNothing 1", "get KeyNothing", "set KeySendWords '😀'"}) {
    const CtlRun run = folder.Run(refused);
    EXPECT_EQ(run.exitCode, 1) << refused;
    EXPECT_FALSE(run.err.empty()) << refused;
  }
  EXPECT_EQ(ReadFile(folder.File("OrvFilter.ini")), before);
}

TEST(OrvctlUsage, BadUsageIsTwoAndHelpDocumentsEveryCommand) {
  CtlFolder folder;
  for (const char* bad : {"", "words", "words deny", "words deny delete", "get", "set KeyIsLog",
                          "check extra", "--gbk check", "--bogus words deny show", "frobnicate"}) {
    EXPECT_EQ(folder.Run(bad).exitCode, 2) << bad;
  }
  const CtlRun help = folder.Run("--help");
  EXPECT_EQ(help.exitCode, 0);
  for (const char* word : {"words", "lists", "get", "set", "check", "repair", "unload", "--gbk"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
}

TEST(OrvctlCheck, PassesASoundFolderAndFailsWhatTheFilterWouldMiss) {
  CtlFolder folder;
  CtlRun run = folder.Run("check");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("filter: on"), std::string::npos);
  EXPECT_NE(run.out.find("deny: 3 entries (GBK), 3 (UTF-8)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("url-black 3"), std::string::npos);  // the filter keeps 2 bytes

  fs::remove_all(folder.File("log"));
  run = folder.Run("check");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("problem: log folder"), std::string::npos) << run.out;

  fs::create_directories(folder.File("log"));
  fs::remove(folder.File("OrvFilter.ini"));
  EXPECT_EQ(folder.Run("check").exitCode, 1);
}

TEST(OrvctlSystem, RepairAndUnloadDriveTheWebServiceAndReportFailures) {
  CtlFolder folder;
  fs::remove(folder.File("OrvFilter.db"));
  fs::remove_all(folder.File("log"));
  CtlRun run = folder.Run("repair");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::is_regular_file(folder.File("OrvFilter.db")));
  EXPECT_TRUE(fs::is_directory(folder.File("log")));
  EXPECT_EQ(folder.Calls(),
            "--no-ask-password --no-pager enable orvproxy\n"
            "--no-ask-password --no-pager reload-or-restart orvproxy\n");

  run = folder.Run("unload");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(folder.Run("get KeyIsSystem").out, "0\n");
  EXPECT_NE(folder.Calls().find("try-reload-or-restart orvproxy"), std::string::npos);

  WriteFile(folder.File("bin/fail"), "");
  run = folder.Run("repair");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("Unit orvproxy.service not found."), std::string::npos) << run.err;

  // No systemctl at all: said so, not hung.
  run = folder.Run("unload", "", folder.File("log").string());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("systemctl not found"), std::string::npos) << run.err;
}

TEST(BoundedProcess, AProgramThatDoesNotEndInTimeIsStopped) {
  using orv::tools::ProcessOutcome;
  const ProcessOutcome slow = orv::tools::RunBounded({"sleep", "30"}, 200);
  EXPECT_EQ(slow.kind, ProcessOutcome::Kind::TimedOut);
  const ProcessOutcome said = orv::tools::RunBounded({"sh", "-c", "echo hi; exit 3"}, 10000);
  EXPECT_EQ(said.kind, ProcessOutcome::Kind::Finished);
  EXPECT_EQ(said.exitCode, 3);
  EXPECT_EQ(said.output, "hi\n");
  EXPECT_EQ(orv::tools::RunBounded({"orv-no-such-program"}, 1000).kind,
            ProcessOutcome::Kind::NotFound);
}

}  // namespace
