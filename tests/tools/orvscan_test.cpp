// orvscan as the administrator runs it: fixture config folders, real files, exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ScanRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// A copy of the fixture site in a fresh folder, with its log/ folder.
class ScanFolder {
 public:
  ScanFolder() : path_(folder_.Dir()) {
    fs::create_directories(path_ / "log");
    for (const auto& entry : fs::directory_iterator(fs::path(ORV_FIXTURES) / "site")) {
      fs::copy_file(entry.path(), path_ / entry.path().filename());
    }
  }
  const fs::path& path() const { return path_; }
  std::string Input(const std::string& name) const { return (path_ / name).string(); }

  // Runs a command line; stdout and stderr are captured into files beside the config.
  ScanRun Execute(const std::string& commandLine) const {
    const fs::path out = path_ / "stdout.bin";
    const fs::path err = path_ / "stderr.txt";
    const std::string command = commandLine + " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    ScanRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
  }

  ScanRun Scan(const std::string& arguments) const {
    return Execute(std::string("'") + ORVSCAN_PATH + "' --dir '" + path_.string() + "' " +
                   arguments);
  }

  std::string LogText() const {
    std::string text;
    for (const auto& entry : fs::directory_iterator(path_ / "log")) text += ReadFile(entry.path());
    return text;
  }

 private:
  orv::testing::TempFolder folder_{"orvscan-test"};
  fs::path path_;
};

TEST(Orvscan, CleanPagePassesUnchanged) {
  ScanFolder folder;
  const ScanRun run = folder.Scan(folder.Input("clean.txt"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, ReadFile(folder.Input("clean.txt")));
  EXPECT_EQ(run.err, "headers: next\nurl: next\nraw[0]: next\nlog: next\n");
}

TEST(Orvscan, CompressionOfferIsReported) {
  ScanFolder folder;
  const ScanRun run =
      folder.Scan("-H 'Accept-Encoding: gzip, deflate, br' " + folder.Input("clean.txt"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "headers: next\naccept-encoding: " + std::string(17, ' ') +
                         "\nurl: next\nraw[0]: next\nlog: next\n");
}

TEST(Orvscan, DenyKeywordReplacesThePageAndIsLoggedAtUnload) {
  ScanFolder folder;
  const ScanRun run = folder.Scan("--url http://www.example.com/news/ " + folder.Input("deny.txt"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out.rfind("HTTP/1.1 200 OK\nDate:Sun, -- --- 0000 00:00:00 GMT \n", 0), 0u);
  EXPECT_NE(run.out.find("f*o*r*b*i*d*d*e*n"), std::string::npos);
  EXPECT_NE(run.out.find("www.example.com/news/"), std::string::npos);
  EXPECT_NE(run.out.find("Questions?&nbsp;Mail"), std::string::npos);
  EXPECT_EQ(run.err,
            "headers: next\nurl: next\nraw[0]: next\nstatus: 401 Access Denied\n"
            "log: next\n");
  const std::string log = folder.LogText();
  EXPECT_NE(log.find("\tGET\tforbidden\t127.0.0.1\twww.example.com/news/\t"), std::string::npos);
  EXPECT_EQ(log.back(), '\n');
}

TEST(Orvscan, ChunksAreScreenedOneByOne) {
  ScanFolder folder;
  const std::string input = ReadFile(folder.Input("deny.txt"));
  const ScanRun run = folder.Scan("--chunk 40 " + folder.Input("deny.txt"));
  EXPECT_EQ(run.exitCode, 0);
  // The head and the first part of the body pass; the chunk with the keyword is replaced by
  // the block page behind the prefix of the chunk.
  EXPECT_EQ(run.out.substr(0, 80), input.substr(0, 80));
  EXPECT_NE(run.out.find("<wbr>"), std::string::npos);
  EXPECT_NE(run.err.find("raw[0]: next\nraw[1]: next\nraw[2]: next\nstatus: 401 Access Denied\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.substr(run.err.size() - 10), "log: next\n");
}

TEST(Orvscan, ReplaceKeepsTheLength) {
  ScanFolder folder;
  const std::string input = ReadFile(folder.Input("replace.txt"));
  const ScanRun run = folder.Scan(folder.Input("replace.txt"));
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.out.size(), input.size());
  EXPECT_NE(run.out.find("Oh heck, the weather."), std::string::npos);
}

TEST(Orvscan, BlackListedUrlEndsTheRequestAtUrlMapping) {
  ScanFolder folder;
  const ScanRun run =
      folder.Scan("--url 'http://www.example.com/secret/x.htm' " + folder.Input("clean.txt"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "headers: next\nurl: finished\nlog: next\n");
  EXPECT_NE(run.out.find("www.example.com/secret/x.htm"), std::string::npos);
  EXPECT_EQ(run.out.find("HTTP/1.1"), std::string::npos) << "the response never ran";
}

TEST(Orvscan, ForwardedAddressIsBlockedAndEscaped) {
  ScanFolder folder;
  ScanRun run = folder.Scan("-H 'Via: 1.1 cache' -H 'X-Forwarded-For: 10.9.9.9' " +
                            folder.Input("clean.txt"));
  EXPECT_EQ(run.err, "headers: next\nurl: finished\nlog: next\n");
  run = folder.Scan("--remote-addr 10.9.9.9 --url 'http://h/a.htm?letmein' " +
                    folder.Input("clean.txt"));
  EXPECT_EQ(run.err, "headers: next\nurl: next\nraw[0]: next\nlog: next\n") << "safe code";
}

TEST(Orvscan, PostBodiesGoToTheExtension) {
  ScanFolder folder;
  ScanRun run =
      folder.Scan("--method POST --url http://h/form.asp " + folder.Input("post-deny.txt"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "headers: next\nurl: next\nbody: success\nlog: next\n");
  EXPECT_NE(run.out.find("f*o*r*b*i*d*d*e*n"), std::string::npos);
  EXPECT_NE(folder.LogText().find("\tPOST\tforbidden\t"), std::string::npos);

  run = folder.Scan("--method POST --url http://h/form.asp " + folder.Input("post-clean.txt"));
  EXPECT_EQ(run.err, "headers: next\nurl: next\nbody: pending\nlog: next\n");
  EXPECT_EQ(run.out, "");
}

TEST(Orvscan, ConfigBesideTheProgramIsTheDefault) {
  ScanFolder folder;
  fs::copy_file(ORVSCAN_PATH, folder.path() / "orvscan");
  const ScanRun run = folder.Execute("'" + (folder.path() / "orvscan").string() + "' '" +
                                     folder.Input("deny.txt") + "'");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.err.find("status: 401 Access Denied"), std::string::npos);
}

TEST(Orvscan, BadArgumentsExitWithTwo) {
  ScanFolder folder;
  const std::string clean = folder.Input("clean.txt");
  for (const std::string& arguments :
       {std::string(""), "--chunk 0 " + clean, "--bogus " + clean, "--url http://h:99999/ " + clean,
        folder.Input("missing.txt"), "-H NoColon " + clean}) {
    const ScanRun run = folder.Scan(arguments);
    EXPECT_EQ(run.exitCode, 2) << arguments;
    EXPECT_NE(run.err.find("usage: orvscan"), std::string::npos) << arguments;
    EXPECT_EQ(run.out, "");
  }
  const ScanRun noDir =
      folder.Execute(std::string("'") + ORVSCAN_PATH + "' --dir /nonexistent/x " + clean);
  EXPECT_EQ(noDir.exitCode, 2);
}

}  // namespace
