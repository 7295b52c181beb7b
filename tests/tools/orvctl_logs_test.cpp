// `orvctl logs` as the administrator runs it, on a log folder written the way the filter
// writes it: GBK lines, tab-separated fields, CR LF.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::ssize(bytes));
}

// Lines given in UTF-8 for readability, written in GBK with CR LF as the filter does.
void WriteDay(const fs::path& path, const std::vector<std::string>& utf8Lines) {
  std::string bytes;
  for (const std::string& line : utf8Lines) bytes += orv::codepage::Utf8ToAnsi(line) + "\r\n";
  WriteFile(path, bytes);
}

std::string Event(const std::string& time, const std::string& kind, const std::string& key,
                  const std::string& ip, const std::string& url, const std::string& refer) {
  return time + "\t" + kind + "\tGET\t" + key + "\t" + ip + "\t" + url + "\t" + refer;
}

// The file name the filter gives the day `daysAgo` before today.
std::string DayName(int daysAgo) {
  const std::time_t now = std::time(nullptr);
  std::tm day{};
  localtime_r(&now, &day);
  day.tm_mday -= daysAgo;
  day.tm_hour = 12;
  std::mktime(&day);
  return std::to_string(day.tm_year + 1900) + "-" + std::to_string(day.tm_mon + 1) + "-" +
         std::to_string(day.tm_mday) + ".log";
}

struct CtlRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class LogFolder {
 public:
  LogFolder() : path_(folder_.Dir()) {
    fs::create_directories(path_ / "log");
    Settings((path_ / "log").string(), "0");
    std::vector<std::string> first;
    for (int i = 0; i < 120; ++i) {
      static const char* const kinds[] = {"拦截", "替换", "记录", "其它"};
      first.push_back(Event("2012-11-1 " + std::to_string(i % 24) + ":5:7", kinds[i % 4],
                            "非法" + std::to_string(i % 3), "10.0.0." + std::to_string(i % 5),
                            "www.Example.com/p" + std::to_string(i) + ".htm",
                            "上下文" + std::to_string(i)));
    }
    first.push_back("");
    first.push_back("broken line");
    WriteDay(path_ / "log" / "2012-11-1.log", first);
    WriteDay(path_ / "log" / "2012-11-10.log",
             {Event("2012-11-10 9:5:7", "拦截", "敏感", "1.2.3.4", "www.x.cn/", "ctx"),
              "2012-11-10 9:6:0\t替换\tPOST\tk\t1.2.3.4\twww.y.cn/"});
    WriteDay(path_ / "log" / "2012-9-30.log", {});
    WriteDay(path_ / "log" / "debug.log", {"x"});
    WriteDay(path_ / "log" / "readme.log", {"x"});
  }
  fs::path Log(const std::string& name) const { return path_ / "log" / name; }

  void Settings(const std::string& logPath, const std::string& clearLog) const {
    WriteFile(path_ / "OrvFilter.ini", "[OrvFilter]\r\nKeyIsLog=1\r\nKeyLogPath=" + logPath +
                                           "\r\nKeyClearLog=" + clearLog + "\r\n");
  }

  CtlRun Run(const std::string& arguments) const {
    const std::string command = "'" + std::string(ORVCTL_PATH) + "' --dir '" + path_.string() +
                                "' " + arguments + " >'" + (path_ / "out").string() + "' 2>'" +
                                (path_ / "err").string() + "'";
    const int status = std::system(command.c_str());
    CtlRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFile(path_ / "out");
    run.err = ReadFile(path_ / "err");
    return run;
  }

 private:
  orv::testing::TempFolder folder_{"orvctl-logs"};
  fs::path path_;
};

std::vector<std::string> OutputLines(const std::string& out) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(out.substr(start, end - start));
  }
  return lines;
}

TEST(OrvctlLogs, DaysListsTheDayFilesNewestFirst) {
  LogFolder folder;
  const CtlRun run = folder.Run("logs days");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "总日志数[3]天\n"
            "3\t2012-11-10\t2012-11-10.log\n"
            "2\t2012-11-01\t2012-11-1.log\n"
            "1\t2012-09-30\t2012-9-30.log\n");
  EXPECT_EQ(folder.Run("--gbk logs days").out.substr(0, 10), "\xD7\xDC\xC8\xD5\xD6\xBE\xCA\xFD[3");
}

TEST(OrvctlLogs, ShowPrintsTabsStatusAndRowsOfTheNewestDayByDefault) {
  LogFolder folder;
  const CtlRun run = folder.Run("logs show");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "总 数(2)\t拦 截(1)\t替 换(1)\t记 录(0)\t其 他(0)\n"
            "2012-11-10 的日志条数 2,符合条件数:1\n"
            "页码:1/1。显示第1-1条,总2条.\n"
            "1\t2012-11-10 9:5:7\t拦截\tGET\t敏感\t1.2.3.4\twww.x.cn/\tctx\n");
}

TEST(OrvctlLogs, ShowTakesTheDayKindSearchAndPageAsTheWindowWould) {
  LogFolder folder;
  CtlRun run = folder.Run("logs show --day 2012-11-01 --kind deny --page 1");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::string> lines = OutputLines(run.out);
  ASSERT_EQ(lines.size(), 3u + 30u);
  EXPECT_EQ(lines[0], "总 数(121)\t拦 截(30)\t替 换(30)\t记 录(30)\t其 他(30)");
  EXPECT_EQ(lines[1], "2012-11-01 的日志条数 121,符合条件数:30");
  EXPECT_EQ(lines[3],
            "1\t2012-11-1 0:5:7\t拦截\tGET\t非法0\t10.0.0.0\twww.Example.com/p0.htm\t上下文0");

  // Page 3 of 121 lines: rows 101 to 120 (the broken line has no row).
  run = folder.Run("logs show --day 2012-11-01 --page 3");
  lines = OutputLines(run.out);
  EXPECT_EQ(lines[2], "页码:3/3。显示第101-120条,总121条.");
  EXPECT_EQ(lines.size(), 3u + 20u);
  // Pages beyond the last and below the first are clamped.
  EXPECT_EQ(OutputLines(folder.Run("logs show --day 2012-11-01 --page 99").out)[2],
            "页码:3/3。显示第101-120条,总121条.");
  EXPECT_EQ(OutputLines(folder.Run("logs show --day 2012-11-01 --page -5").out)[2],
            "页码:1/3。显示第1-50条,总121条.");

  // The search is lower-cased as the window stores it, and may be Chinese.
  run = folder.Run("logs show --day 2012-11-01 --search WWW.EXAMPLE.COM/P77.");
  lines = OutputLines(run.out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[3].find("上下文77"), std::string::npos);
  run = folder.Run("logs show --day 2012-11-01 --kind other --search 上下文11");
  lines = OutputLines(run.out);
  // 上下文11, 上下文111, 上下文115 and 上下文119 are "other" lines.
  EXPECT_EQ(lines[1], "2012-11-01 的日志条数 121,符合条件数:4");

  // With no page to show, the count of pages is taken as 1.
  run = folder.Run("logs show --day 2012-09-30 --page 4");
  EXPECT_EQ(OutputLines(run.out)[2], "页码:1/0。显示第1-0条,总0条.");
}

TEST(OrvctlLogs, GbkOutputKeepsTheStoredBytes) {
  LogFolder folder;
  const CtlRun run = folder.Run("--gbk logs show --search \xC3\xF4\xB8\xD0");  // 敏感
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("\t\xC0\xB9\xBD\xD8\tGET\t\xC3\xF4\xB8\xD0\t1.2.3.4"), std::string::npos);
}

TEST(OrvctlLogs, StatsCountsHoursKindsAndDays) {
  LogFolder folder;
  const CtlRun run = folder.Run("logs stats --day 2012-11-01");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> lines = OutputLines(run.out);
  ASSERT_GT(lines.size(), 30u);
  EXPECT_EQ(lines[0], "day 2012-11-01");
  EXPECT_EQ(lines[2], "events\t120\t30\t30\t30\t30");
  EXPECT_EQ(lines[3], "hour 00\t5\t5\t0\t0\t0");
  EXPECT_NE(run.out.find("top keywords\n  40\t非法0\n  40\t非法1\n  40\t非法2\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("days\tall\tdeny\treplace\trecord\tother\n"
                         "2012-09-30\t0\t0\t0\t0\t0\n"
                         "2012-11-01\t121\t30\t30\t30\t30\n"
                         "2012-11-10\t2\t1\t1\t0\t0\n"),
            std::string::npos);
}

TEST(OrvctlLogs, NoDaysAndMissingFolder) {
  LogFolder folder;
  for (const char* name : {"2012-11-1.log", "2012-11-10.log", "2012-9-30.log"}) {
    fs::remove(folder.Log(name));
  }
  CtlRun run = folder.Run("logs show");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "暂无日志.\n");
  EXPECT_EQ(folder.Run("logs days").out, "总日志数[0]天\n");

  folder.Settings("/nonexistent/orv-log", "0");
  run = folder.Run("logs days");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "日志路径：/nonexistent/orv-log 不存在，没有日志\n");
  EXPECT_EQ(run.out, "");
}

TEST(OrvctlLogs, CleanRemovesDaysOlderThanKeyClearLog) {
  LogFolder folder;
  for (int daysAgo : {0, 2, 3, 4, 40}) WriteDay(folder.Log(DayName(daysAgo)), {"x"});
  // 0 keeps everything.
  CtlRun run = folder.Run("logs clean");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "");

  folder.Settings(folder.Log("").string(), "3");
  run = folder.Run("logs clean");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> removed = OutputLines(run.out);
  EXPECT_EQ(removed.size(), 5u);  // the three 2012 days, 40 and 4 days ago
  EXPECT_EQ(removed.back(), folder.Log(DayName(4)).string());
  for (int daysAgo : {0, 2, 3}) EXPECT_TRUE(fs::exists(folder.Log(DayName(daysAgo))));
  EXPECT_FALSE(fs::exists(folder.Log(DayName(40))));
  EXPECT_TRUE(fs::exists(folder.Log("readme.log")));
  EXPECT_EQ(folder.Run("logs clean").out, "");
}

TEST(OrvctlLogs, BadUsageExitsWithTwo) {
  LogFolder folder;
  for (const char* arguments :
       {"logs", "logs list", "logs days --day 2012-11-01", "logs show --kind block",
        "logs show --page", "logs show --page two", "logs show --search a --search b",
        "logs stats --kind deny", "logs clean extra", "--gbk logs clean"}) {
    const CtlRun run = folder.Run(arguments);
    EXPECT_EQ(run.exitCode, 2) << arguments;
    EXPECT_EQ(run.out, "") << arguments;
  }
}

}  // namespace
