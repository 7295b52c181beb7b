#include "store/filter_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace orv::store {
namespace {

using keywords::KeywordList;
using orv::testing::TempFolder;
using Strings = std::vector<std::string>;

// Settings as the Windows console leaves them: CR LF, GBK, the defaults' order, then the keys
// written later; two lines edited by hand with blanks around "=".
std::string ConsoleSettings(const std::string& logPath) {
  return "[OrvFilter]\r\n"
         "KeySoft=Orvane\xA1\xA4\xB7\xC7\xB7\xA8\xD0\xC5\xCF\xA2\xB9\xFD\xC2\xCB\xCF\xB5\xCD\xB3"
         " - https://www.orvane.net\r\n"
         "KeyVersion=2.1\r\n"
         "KeyIsSystem=1\r\n"
         "KeyIsLog=1\r\n"
         "KeySafeCode=Ab3XyZ\r\n"
         "KeyIsGzip=1\r\n"
         "KeyIsShowWords = 0\r\n"
         "KeyLogPath=" +
         logPath +
         "\r\n"
         "KeyFileType=ASP|Aspx|php\r\n"
         "KeyAutoHour=3\r\n"
         "KeyClearLog=60\r\n"
         "KeyBaiUrl=/Admin|/dede/|x\r\n"
         "KeyHeiUrl=.ASP;|.asa;||a|/Bad\xD6\xD0/\r\n"
         // "请勿发布 <违法> 信息's"
         "KeySendWords = \xC7\xEB\xCE\xF0\xB7\xA2\xB2\xBC <\xCE\xA5\xB7\xA8> \xD0\xC5\xCF\xA2's\r\n"
         "KeyBaiIp=127.0.0.1|10.0.0.1-10.0.0.255\r\n"
         "KeyHeiIp=192.168.1.*|1|ABC\r\n"
         "KeyUser=31325a\r\n"
         "KeyIsAutoWords=1\r\n";
}

// Deny: 法轮, 赌博+网站, 色情-医学; replace: 枪支=**, FUCK=f*ck, 代开+发票; record: 示威, Protest;
// free: 白名单. One line, as the console saves it.
const std::string kConsoleDatabase =
    "<OrvKeyDeny>\xB7\xA8\xC2\xD6@@\xB6\xC4\xB2\xA9+\xCD\xF8\xD5\xBE@@"
    "\xC9\xAB\xC7\xE9-\xD2\xBD\xD1\xA7@@</OrvKeyDeny>"
    "<OrvKeyRepl>\xC7\xB9\xD6\xA7=**@@FUCK=f*ck@@\xB4\xFA\xBF\xAA+\xB7\xA2\xC6\xB1</OrvKeyRepl>"
    "<KeyWordsJilu>\xCA\xBE\xCD\xFE@@Protest</KeyWordsJilu>"
    "<OrvKeyFree>\xB0\xD7\xC3\xFB\xB5\xA5</OrvKeyFree>";

FilterSettings FreshRecord() {
  FilterSettings s;
  s.urlBlockPage = "<p>url%user%</p>";
  s.ipBlockPage = "<p>ip%user%%user%</p>";
  s.keywordBlockPage = "<script>alert('kw%user%')</script>";
  return s;
}

class LoadSettingsTest : public ::testing::Test {
 protected:
  TempFolder dir;
  std::string logs = dir.Path() + "logs";
  void SetUp() override { std::filesystem::create_directory(logs); }
  void WriteSettings(const std::string& bytes) { dir.Write("OrvFilter.ini", bytes); }
  void WriteDatabase(const std::string& bytes) { dir.Write("OrvFilter.db", bytes); }
};

TEST_F(LoadSettingsTest, AConsoleWrittenSetupFillsEveryField) {
  WriteSettings(ConsoleSettings(logs));
  WriteDatabase(kConsoleDatabase);
  const LoadResult result = LoadSettings(FreshRecord(), dir.Path());
  const FilterSettings& s = result.settings;

  EXPECT_EQ(s.moduleDirectory, dir.Path());
  EXPECT_EQ(s.settingsPath, dir.Path() + "OrvFilter.ini");
  EXPECT_EQ(s.databasePath, dir.Path() + "OrvFilter.db");
  EXPECT_TRUE(s.enabled);
  EXPECT_TRUE(s.loaded);
  EXPECT_EQ(s.fileTypes, "|asp|aspx|php|");
  const std::string message =
      "\\n\\n\xC7\xEB\xCE\xF0\xB7\xA2\xB2\xBC&nbsp;&lt;\xCE\xA5\xB7\xA8&gt;&nbsp;\xD0\xC5\xCF\xA2"
      "&amp;s";
  EXPECT_EQ(s.sendWords, message);
  EXPECT_EQ(s.safeCode, "ab3xyz");
  EXPECT_TRUE(s.stripEncoding);
  EXPECT_FALSE(s.showWords);
  EXPECT_TRUE(s.logEnabled);
  EXPECT_EQ(s.logPath, logs);
  ASSERT_TRUE(result.logDirectory.has_value());
  EXPECT_EQ(*result.logDirectory, logs);
  EXPECT_EQ(s.logLineTemplate, "%time%\t%kind%\t%method%\t%key%\t%ip%\t%url%\t%refer%");
  EXPECT_EQ(s.urlBlockPage, "<p>url" + message + "</p>");
  EXPECT_EQ(s.ipBlockPage, "<p>ip" + message + message + "</p>");
  EXPECT_EQ(s.keywordBlockPage, "<script>alert('kw" + message + "')</script>");
  EXPECT_EQ(s.blackUrls, (Strings{".asp;", ".asa;", "/bad\xD6\xD0/"}));
  EXPECT_EQ(s.whiteUrls, (Strings{"/admin", "/dede/"}));
  EXPECT_EQ(s.blackIps, (Strings{"192.168.1.*", "ABC"}));  // IP lists keep their case
  EXPECT_EQ(s.whiteIps, (Strings{"127.0.0.1", "10.0.0.1-10.0.0.255"}));

  // The lists in GBK...
  EXPECT_EQ(s.gbk.deny.rules(),
            (KeywordList{"\xB7\xA8\xC2\xD6", "\xB6\xC4\xB2\xA9+\xCD\xF8\xD5\xBE",
                         "\xC9\xAB\xC7\xE9-\xD2\xBD\xD1\xA7"}));
  EXPECT_EQ(s.gbk.replace.list().keys,
            (KeywordList{"\xC7\xB9\xD6\xA7", "fuck", "\xB4\xFA\xBF\xAA+\xB7\xA2\xC6\xB1"}));
  EXPECT_EQ(s.gbk.replace.list().values, (KeywordList{"****", "f*ck", "*********"}));
  EXPECT_EQ(s.gbk.record.rules(), (KeywordList{"\xCA\xBE\xCD\xFE", "protest"}));
  EXPECT_EQ(s.gbk.free.rules(), (KeywordList{"\xB0\xD7\xC3\xFB\xB5\xA5"}));
  // ...and their UTF-8 twins.
  EXPECT_EQ(s.utf8.deny.rules(), (KeywordList{"法轮", "赌博+网站", "色情-医学"}));
  EXPECT_EQ(s.utf8.replace.list().keys, (KeywordList{"枪支", "fuck", "代开+发票"}));
  EXPECT_EQ(s.utf8.replace.list().values, (KeywordList{"******", "f*ck", "*************"}));
  EXPECT_EQ(s.utf8.record.rules(), (KeywordList{"示威", "protest"}));
  EXPECT_EQ(s.utf8.free.rules(), (KeywordList{"白名单"}));
}

TEST_F(LoadSettingsTest, WithoutASettingsFileOnlyLoadedChanges) {
  FilterSettings previous = FreshRecord();
  previous.enabled = true;
  previous.loaded = true;
  previous.safeCode = "kept";
  previous.blackUrls = {"/old"};
  const LoadResult result = LoadSettings(previous, dir.Path());
  EXPECT_FALSE(result.settings.loaded);
  EXPECT_TRUE(result.settings.enabled);
  EXPECT_EQ(result.settings.safeCode, "kept");
  EXPECT_EQ(result.settings.blackUrls, Strings{"/old"});
  EXPECT_EQ(result.settings.urlBlockPage, "<p>url%user%</p>");
  EXPECT_FALSE(result.logDirectory.has_value());
  EXPECT_FALSE(LoadSettings(previous, "").settings.loaded);
}

TEST_F(LoadSettingsTest, OnlyExactlyOneSwitchesTheFilterOn) {
  WriteDatabase(kConsoleDatabase);
  FilterSettings previous = FreshRecord();
  previous.enabled = true;
  previous.safeCode = "kept";
  previous.gbk.deny = keywords::CompiledList({"old"});
  for (const char* value : {"true", "01", "yes", "0", ""}) {
    WriteSettings(std::string("[OrvFilter]\r\nKeyIsSystem=") + value + "\r\nKeySafeCode=new\r\n");
    const LoadResult result = LoadSettings(previous, dir.Path());
    EXPECT_FALSE(result.settings.enabled) << value;
    EXPECT_TRUE(result.settings.loaded) << value;
    // Switched off, the load stops: the rest keeps what the last load gave it.
    EXPECT_EQ(result.settings.safeCode, "kept");
    EXPECT_EQ(result.settings.gbk.deny.rules(), KeywordList{"old"});
    EXPECT_FALSE(result.logDirectory.has_value());
  }
}

TEST_F(LoadSettingsTest, FileTypesGetBarsAtBothEnds) {
  const struct {
    const char* stored;
    const char* expected;
  } cases[] = {{"asp", "|asp|"}, {"|asp|", "|asp|"}, {"|ASP", "|asp|"}, {"", ""}, {"|", "|"}};
  FilterSettings previous = FreshRecord();
  previous.fileTypes = "|stale|";
  for (const auto& c : cases) {
    WriteSettings(std::string("[OrvFilter]\r\nKeyIsSystem=1\r\nKeyFileType=") + c.stored + "\r\n");
    EXPECT_EQ(LoadSettings(previous, dir.Path()).settings.fileTypes, c.expected) << c.stored;
  }
}

TEST_F(LoadSettingsTest, TheMessageReachesTheTemplatesOnlyAtTheFirstLoad) {
  WriteSettings("[OrvFilter]\r\nKeyIsSystem=1\r\nKeySendWords=a<b\r\n");
  const FilterSettings first = LoadSettings(FreshRecord(), dir.Path()).settings;
  EXPECT_EQ(first.urlBlockPage, "<p>url\\n\\na&lt;b</p>");
  EXPECT_EQ(first.keywordBlockPage, "<script>alert('kw\\n\\na&lt;b')</script>");

  WriteSettings("[OrvFilter]\r\nKeyIsSystem=1\r\nKeySendWords=changed\r\n");
  const FilterSettings reloaded = LoadSettings(first, dir.Path()).settings;
  EXPECT_EQ(reloaded.sendWords, "\\n\\nchanged");
  EXPECT_EQ(reloaded.urlBlockPage, first.urlBlockPage);
  EXPECT_EQ(reloaded.ipBlockPage, first.ipBlockPage);
  EXPECT_EQ(reloaded.keywordBlockPage, first.keywordBlockPage);

  // A library loaded afresh (templates with the placeholder again) takes the new message;
  // an empty one removes the placeholder.
  WriteSettings("[OrvFilter]\r\nKeyIsSystem=1\r\n");
  const FilterSettings empty = LoadSettings(FreshRecord(), dir.Path()).settings;
  EXPECT_EQ(empty.sendWords, "");
  EXPECT_EQ(empty.urlBlockPage, "<p>url</p>");
  EXPECT_EQ(empty.ipBlockPage, "<p>ip</p>");
  EXPECT_EQ(empty.keywordBlockPage, "<script>alert('kw')</script>");
}

TEST_F(LoadSettingsTest, TheLogFolderFallsBackToTheModulesLogFolder) {
  const std::string notAFolder = dir.Write("file.txt", "x");
  WriteSettings("[OrvFilter]\r\nKeyIsSystem=1\r\nKeyIsLog=1\r\nKeyLogPath=" + notAFolder + "\r\n");
  // Neither exists: logging goes off.
  LoadResult result = LoadSettings(FreshRecord(), dir.Path());
  EXPECT_FALSE(result.settings.logEnabled);
  EXPECT_FALSE(result.logDirectory.has_value());
  // The module's own log folder, joined with the module directory's separator.
  std::filesystem::create_directory(dir.Path() + "log");
  result = LoadSettings(FreshRecord(), dir.Path());
  EXPECT_TRUE(result.settings.logEnabled);
  EXPECT_EQ(result.settings.logPath, dir.Path() + "log/");
  EXPECT_EQ(result.logDirectory, dir.Path() + "log/");
  const std::string bare = dir.Path().substr(0, dir.Path().size() - 1);
  EXPECT_EQ(LoadSettings(FreshRecord(), bare).settings.logPath, bare + "/log/");
  // Logging switched off: the folder is not looked at and not handed on.
  WriteSettings("[OrvFilter]\r\nKeyIsSystem=1\r\nKeyIsLog=0\r\nKeyLogPath=" + logs + "\r\n");
  result = LoadSettings(FreshRecord(), dir.Path());
  EXPECT_FALSE(result.settings.logEnabled);
  EXPECT_FALSE(result.logDirectory.has_value());
}

TEST_F(LoadSettingsTest, AMissingDatabaseEmptiesTheLists) {
  WriteSettings("[OrvFilter]\r\nKeyIsSystem=1\r\n");
  FilterSettings previous = FreshRecord();
  previous.gbk.deny = keywords::CompiledList({"old"});
  previous.utf8.replace = keywords::CompiledReplaceList({{"ab"}, {"**"}});
  const FilterSettings s = LoadSettings(previous, dir.Path()).settings;
  EXPECT_TRUE(s.loaded);
  EXPECT_TRUE(s.gbk.deny.empty());
  EXPECT_TRUE(s.utf8.replace.empty());
}

TEST_F(LoadSettingsTest, BadInputNeverStopsTheLoad) {
  // A settings file of random bytes holds no "KeyIsSystem=1": the filter stays off.
  std::string noise(4096, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 131 + 7);
  WriteSettings(noise);
  EXPECT_FALSE(LoadSettings(FreshRecord(), dir.Path()).settings.enabled);
  // A value longer than the read buffer is cut, and the rest of the file still reads.
  WriteSettings("[OrvFilter]\r\nKeyIsSystem=1\r\nKeyHeiUrl=" + std::string(70000, 'u') +
                "\r\nKeySafeCode=Code\r\n");
  WriteDatabase(noise);
  const FilterSettings s = LoadSettings(FreshRecord(), dir.Path()).settings;
  EXPECT_TRUE(s.enabled);
  ASSERT_EQ(s.blackUrls.size(), 1u);
  EXPECT_EQ(s.blackUrls[0].size(), 65534u);
  EXPECT_EQ(s.safeCode, "code");
  EXPECT_TRUE(s.gbk.deny.empty());
}

}  // namespace
}  // namespace orv::store
