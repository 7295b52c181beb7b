// orvctl's online service commands and orvkeyd as the administrator runs them: the programs
// themselves, talking over 127.0.0.1.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "online/account.h"
#include "online/md5.h"
#include "online_fixtures.h"
#include "store/settings_file.h"

namespace {

using orv::online::testing::ReadFile;
using orv::online::testing::ScratchFolder;
using orv::online::testing::WriteFile;
namespace fs = std::filesystem;

struct ProgramRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

ProgramRun Shell(const ScratchFolder& folder, const std::string& command,
                 std::string_view input = "") {
  WriteFile(folder.Dir() / "stdin.bin", input);
  const std::string line = command + " <'" + folder.File("stdin.bin") + "' >'" +
                           folder.File("stdout.bin") + "' 2>'" + folder.File("stderr.txt") + "'";
  const int status = std::system(line.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(folder.File("stdout.bin")),
          ReadFile(folder.File("stderr.txt"))};
}

// orvkeyd started on a free port of 127.0.0.1, stopped with SIGTERM.
class KeyService {
 public:
  explicit KeyService(const ScratchFolder& data) : log_(data.File("orvkeyd.log")) {
    pid_ = ::fork();
    if (pid_ == 0) {
      std::freopen(log_.c_str(), "w", stderr);
      ::execl(ORVKEYD_PATH, ORVKEYD_PATH, "--listen", "127.0.0.1:0", "--data", data.Dir().c_str(),
              static_cast<char*>(nullptr));
      std::_Exit(127);
    }
    for (int i = 0; i < 500 && port_.empty(); ++i) {
      const std::string log = ReadFile(log_);
      const std::size_t at = log.find("listening on port ");
      if (at != std::string::npos && log.find('\n', at) != std::string::npos) {
        port_ = log.substr(at + 18, log.find('\n', at) - at - 18);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
  }
  ~KeyService() {
    if (pid_ > 0 && !stopped_) Stop();
  }
  int Stop() {
    stopped_ = true;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Reloads and waits for the reload's log line.
  void Reload() {
    const std::size_t before = Loads();
    ::kill(pid_, SIGHUP);
    for (int i = 0; i < 500 && Loads() == before; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  std::string Url() const { return "http://127.0.0.1:" + port_; }
  std::string Log() const { return ReadFile(log_); }

 private:
  std::size_t Loads() const {
    const std::string log = Log();
    std::size_t count = 0;
    for (std::size_t at = log.find("loaded "); at != std::string::npos;
         at = log.find("loaded ", at + 1)) {
      ++count;
    }
    return count;
  }
  std::string log_;
  pid_t pid_ = -1;
  std::string port_;
  bool stopped_ = false;
};

class OrvctlOnline : public ::testing::Test {
 protected:
  OrvctlOnline() {
    const std::string digest = orv::online::Md5Hex("pa ss");
    WriteFile(data_.Dir() / "accounts.txt", "alice\t" + digest + "\n张三 &x\t" + digest + "\n");
    WriteFile(data_.Dir() / "deny.txt", "赌博\r\n代开发票\r\nabc+def\r\n");
    WriteFile(data_.Dir() / "replace.txt", "法轮=**\n");
    service_.emplace(data_);
    WriteFile(site_.Dir() / "OrvFilter.ini", "[OrvFilter]\r\nKeyIsSystem=1\r\n");
    EXPECT_EQ(Ctl("set KeyServiceUrl " + service_->Url()).exitCode, 0);
    WriteFile(site_.Dir() / "OrvFilter.db",
              "<OrvKeyDeny>bb</OrvKeyDeny>\r\n<OrvKeyRepl></OrvKeyRepl>\r\n<KeyWordsJilu>x@@yy</"
              "KeyWordsJilu>\r\n");
  }
  ProgramRun Ctl(const std::string& arguments, std::string_view input = "") {
    return Shell(
        site_,
        std::string("'") + ORVCTL_PATH + "' --dir '" + site_.Dir().string() + "' " + arguments,
        input);
  }
  std::string StoredUser() {
    return orv::online::ReadStoredAccount(
               orv::store::SettingsFile(site_.File("OrvFilter.ini")).GetUser())
        .user;
  }

  ScratchFolder data_;
  ScratchFolder site_;
  std::optional<KeyService> service_;
};

TEST_F(OrvctlOnline, VerifyPrintsTheBoxAndStoresTheAccountOnlyOnSuccess) {
  ProgramRun run = Ctl("account verify --user alice --password wrong");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "抱歉，验证错误，错误原因：\n\n用户名或密码错误。\n");
  EXPECT_EQ(StoredUser(), "");

  run = Ctl("account verify --user ' 张三 &x ' --password-stdin", "pa ss\r\nignored\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "账户验证成功，现在可以在线获取关键词库了。\n");
  EXPECT_EQ(StoredUser(), "\xD5\xC5\xC8\xFD &x");

  run = Ctl("account verify --user alice --password ' '");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.err.starts_with("用户名或密码输入错误。")) << run.err;
  run = Ctl("account verify --user '😀' --password x");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("GBK"), std::string::npos);
  EXPECT_EQ(StoredUser(), "\xD5\xC5\xC8\xFD &x");
}

TEST_F(OrvctlOnline, BadUsageIsRefusedBeforeAnythingIsSent) {
  for (const char* arguments : {"account verify --user a", "account verify --password p",
                                "account check --user a --password p",
                                "account verify --user a --password p --password-stdin",
                                "words fetch now", "daemon x", "--gbk daemon"}) {
    EXPECT_EQ(Ctl(arguments).exitCode, 2) << arguments;
  }
}

TEST_F(OrvctlOnline, FetchMergesAndReportsThenAddsNothingTheSecondTime) {
  ASSERT_EQ(Ctl("account verify --user alice --password 'pa ss'").exitCode, 0);
  ProgramRun run = Ctl("words fetch");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "拦截关键词和替换关键词都更新差分完毕，已经保存，重启IIS后立即生效。\n\n"
            "新增拦截关键词：3 个，新增替换关键词：1 个。\n");
  EXPECT_EQ(Ctl("words deny show").out, "bb\n赌博\n代开发票\nabc+def\n");
  EXPECT_EQ(Ctl("words record show").out, "x\nyy\n");
  run = Ctl("--gbk words fetch");
  EXPECT_NE(run.out.find("\xD0\xC2\xD4\xF6\xC0\xB9\xBD\xD8\xB9\xD8\xBC\xFC\xB4\xCA\xA3\xBA"
                         "0"),
            std::string::npos);

  // A reloaded service hands out its new list.
  WriteFile(data_.Dir() / "deny.txt", "赌博\nnew one\n");
  service_->Reload();
  run = Ctl("words fetch");
  EXPECT_NE(run.out.find("新增拦截关键词：1 个"), std::string::npos) << run.out << run.err;
  EXPECT_EQ(service_->Stop(), 0);
  EXPECT_NE(service_->Log().find("stopped"), std::string::npos);

  // The service is gone: an error box, exit 1, the lists as they were.
  const std::string before = ReadFile(site_.File("OrvFilter.db"));
  run = Ctl("words fetch");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("发生错误，错误原因：\n\n\n"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(site_.File("OrvFilter.db")), before);
}

TEST(Orvkeyd, DigestAndUsage) {
  ScratchFolder folder;
  ProgramRun run = Shell(folder, std::string("'") + ORVKEYD_PATH + "' --digest", "pa ss\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, orv::online::Md5Hex("pa ss") + "\n");
  EXPECT_EQ(Shell(folder, std::string("'") + ORVKEYD_PATH + "' --listen 127.0.0.1:0").exitCode, 2);
  // A folder without accounts.txt cannot be served.
  run = Shell(folder, std::string("'") + ORVKEYD_PATH + "' --listen 127.0.0.1:0 --data '" +
                          folder.File("none") + "'");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("cannot read"), std::string::npos);
}

}  // namespace
