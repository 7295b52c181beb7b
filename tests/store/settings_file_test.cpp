#include "store/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "store/secure_random.h"
#include "tests/support/temp_folder.h"

namespace orv::store {
namespace {

using orv::testing::ReadBytes;
using orv::testing::TempFolder;

std::vector<std::string> KeysInFileOrder(const std::string& bytes) {
  std::vector<std::string> keys;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) keys.push_back(line.substr(0, eq));
  }
  return keys;
}

TEST(FirstRunMarkers, TheDefaultLineCarriesBoth) {
  const std::string line = DefaultSoftLine();
  EXPECT_TRUE(HasFirstRunMarkers(line));
  // GBK: "Orvane·非法信息过滤系统 - https://www.orvane.net".
  EXPECT_EQ(line,
            "Orvane\xA1\xA4\xB7\xC7\xB7\xA8\xD0\xC5\xCF\xA2\xB9\xFD\xC2\xCB\xCF\xB5\xCD\xB3"
            " - https://www.orvane.net");
  EXPECT_FALSE(HasFirstRunMarkers(""));
  EXPECT_FALSE(HasFirstRunMarkers(kFirstRunMarkerProduct));
  EXPECT_FALSE(HasFirstRunMarkers(kFirstRunMarkerTitle));
  // The UTF-8 spelling of the title is not the stored one.
  EXPECT_FALSE(HasFirstRunMarkers("Orvane\xC2\xB7非法信息过滤系统"));
}

TEST(SettingsFile, DefaultsAreWrittenInTableOrderWithTheLogFolder) {
  TempFolder dir;
  SettingsFile file(dir.File("OrvFilter.ini"));
  ASSERT_TRUE(file.WriteDefaults(dir.Path()));
  EXPECT_EQ(
      KeysInFileOrder(ReadBytes(file.Path())),
      (std::vector<std::string>{"KeySoft", "KeyVersion", "KeyIsSystem", "KeyIsLog", "KeySafeCode",
                                "KeyIsGzip", "KeyIsShowWords", "KeyLogPath", "KeyFileType",
                                "KeyAutoHour", "KeyClearLog", "KeyBaiUrl", "KeyHeiUrl"}));
  EXPECT_TRUE(HasFirstRunMarkers(file.GetSoft()));
  EXPECT_EQ(file.ReadKey(keys::kVersion), "2.1");
  EXPECT_FALSE(file.GetIsSystem());
  EXPECT_TRUE(file.GetIsLog());
  EXPECT_TRUE(file.GetIsGzip());
  EXPECT_TRUE(file.GetIsShowWords());
  const std::string code = file.GetSafeCode();
  ASSERT_GE(code.size(), 20u);
  EXPECT_EQ(code.find_first_not_of(defaults::kSafeCodeAlphabet), std::string::npos);
  EXPECT_EQ(file.GetLogPath(), dir.Path() + "log/");
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() + "log/"));
  EXPECT_EQ(file.GetFileType(), "asp|aspx|php|htm|html|cer|asa|asax");
  EXPECT_EQ(file.GetAutoHour(), "0");
  EXPECT_EQ(file.GetClearLog(), "60");
  EXPECT_EQ(file.GetBaiUrl(), "/admin|/dede/|/manage");
  EXPECT_EQ(file.GetHeiUrl(), ".asp;|.asa;|.cer;|.php;|.asp/|.aspx/|.asa/|.asax/|.cer/");
  EXPECT_EQ(file.GetSendWords(), "");
  // Written again (a first run after the markers were lost), nothing is duplicated.
  const std::size_t keyCount = KeysInFileOrder(ReadBytes(file.Path())).size();
  ASSERT_TRUE(file.WriteDefaults(dir.Path()));
  EXPECT_EQ(KeysInFileOrder(ReadBytes(file.Path())).size(), keyCount);
}

TEST(SettingsFile, DefaultLogFolderFollowsTheSeparatorOfTheAppDirectory) {
  TempFolder dir;
  SettingsFile file(dir.File("OrvFilter.ini"));
  const std::string appDirectory = dir.Path().substr(0, dir.Path().size() - 1);  // no "/"
  ASSERT_TRUE(file.WriteDefaults(appDirectory));
  EXPECT_EQ(file.GetLogPath(), appDirectory + "/log/");
}

TEST(SettingsFile, EveryKeyReadsBackWhatWasWritten) {
  TempFolder dir;
  SettingsFile file(dir.File("OrvFilter.ini"));
  const std::string gbk = "\xC7\xEB\xCE\xF0 <b>";  // "请勿 <b>"
  EXPECT_TRUE(file.SetSoft("soft") && file.SetVersion("9") && file.SetSafeCode("Ab12") &&
              file.SetLogPath("D:\\logs") && file.SetFileType("asp") && file.SetAutoHour("23") &&
              file.SetClearLog("0") && file.SetBaiUrl("/a|/b") && file.SetHeiUrl(".x;") &&
              file.SetSendWords(gbk) && file.SetBaiIp("1.1.1.1") && file.SetHeiIp("2.2.2.2") &&
              file.SetUser("3132") && file.SetIsSystem(true) && file.SetIsLog(false) &&
              file.SetIsGzip(true) && file.SetIsShowWords(false) && file.SetIsAutoWords(true));
  EXPECT_EQ(file.GetSoft(), "soft");
  EXPECT_EQ(file.ReadKey("keyversion"), "9");
  EXPECT_EQ(file.GetSafeCode(), "Ab12");
  EXPECT_EQ(file.GetLogPath(), "D:\\logs");
  EXPECT_EQ(file.GetFileType(), "asp");
  EXPECT_EQ(file.GetAutoHour(), "23");
  EXPECT_EQ(file.GetClearLog(), "0");
  EXPECT_EQ(file.GetBaiUrl(), "/a|/b");
  EXPECT_EQ(file.GetHeiUrl(), ".x;");
  EXPECT_EQ(file.GetSendWords(), gbk);
  EXPECT_EQ(file.GetBaiIp(), "1.1.1.1");
  EXPECT_EQ(file.GetHeiIp(), "2.2.2.2");
  EXPECT_EQ(file.GetUser(), "3132");
  EXPECT_TRUE(file.GetIsSystem());
  EXPECT_FALSE(file.GetIsLog());
  EXPECT_TRUE(file.GetIsGzip());
  EXPECT_FALSE(file.GetIsShowWords());
  EXPECT_TRUE(file.GetIsAutoWords());
  EXPECT_EQ(file.ReadKey(keys::kIsLog), "0");
}

TEST(SettingsFile, OnlyExactlyOneIsOn) {
  TempFolder dir;
  SettingsFile file(dir.File("OrvFilter.ini"));
  for (const char* value : {"true", "01", "yes", "2", "", "1x"}) {
    ASSERT_TRUE(file.WriteKey(keys::kIsSystem, value));
    EXPECT_FALSE(file.GetIsSystem()) << value;
  }
  ASSERT_TRUE(file.WriteKey(keys::kIsSystem, "1"));
  EXPECT_TRUE(file.GetIsSystem());
}

TEST(SettingsFile, AFailedWriteIsReportedAndChangesNothing) {
  TempFolder dir;
  // The settings path is a folder, and a path below a file.
  SettingsFile folder(dir.Path());
  EXPECT_FALSE(folder.SetIsSystem(true));
  EXPECT_FALSE(folder.GetIsSystem());
  const std::string plain = dir.Write("plain", "x");
  SettingsFile below(plain + "/OrvFilter.ini");
  EXPECT_FALSE(below.SetSafeCode("abc"));
  EXPECT_FALSE(below.WriteDefaults(dir.Path()));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "log"));  // stopped at the first failure
  // A one-line value with a line break cannot be stored.
  SettingsFile file(dir.File("OrvFilter.ini"));
  ASSERT_TRUE(file.SetSendWords("before"));
  EXPECT_FALSE(file.SetSendWords("line\r\nKeyIsSystem=1"));
  EXPECT_EQ(file.GetSendWords(), "before");
  EXPECT_FALSE(file.GetIsSystem());
}

TEST(SettingsFile, SafeCodesAreLongAndUnpredictable) {
  // Codes made in the same second must not repeat: a time-seeded generator gives one code
  // per second, which anyone who knows the install time can try.
  std::set<std::string> codes;
  std::map<char, int> counts;
  for (int i = 0; i < 200; ++i) {
    const std::string code = MakeRandomSafeCode();
    ASSERT_GE(code.size(), 20u);
    ASSERT_EQ(code.find_first_not_of(defaults::kSafeCodeAlphabet), std::string::npos) << code;
    codes.insert(code);
    for (char c : code) ++counts[c];
  }
  EXPECT_EQ(codes.size(), 200u);
  // 4000 draws over 36 characters: every character turns up (a folded modulo or a narrow
  // source would starve the last ones).
  EXPECT_EQ(counts.size(), defaults::kSafeCodeAlphabet.size());
}

TEST(SecureRandomText, DrawsOnlyFromTheAlphabetAndRefusesImpossibleOnes) {
  const std::string text = SecureRandomText("ab", 64);
  ASSERT_EQ(text.size(), 64u);
  EXPECT_EQ(text.find_first_not_of("ab"), std::string::npos);
  EXPECT_NE(text.find('a'), std::string::npos);
  EXPECT_NE(text.find('b'), std::string::npos);
  EXPECT_EQ(SecureRandomText("", 8), "");
  EXPECT_EQ(SecureRandomText(std::string(257, 'x'), 8), "");
}

TEST(SettingsFile, DefaultsFailWhenTheLogFolderCannotBeMade) {
  TempFolder dir;
  dir.Write("log", "a file where the folder belongs");
  SettingsFile file(dir.File("OrvFilter.ini"));
  EXPECT_FALSE(file.WriteDefaults(dir.Path()));
  EXPECT_TRUE(HasFirstRunMarkers(file.GetSoft()));
}

}  // namespace
}  // namespace orv::store
