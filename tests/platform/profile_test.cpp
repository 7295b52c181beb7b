#include "platform/profile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/temp_folder.h"

namespace orv::profile {
namespace {

using orv::testing::CountEntries;
using orv::testing::ReadBytes;
using orv::testing::TempFolder;

class Profile : public ::testing::Test {
 protected:
  TempFolder dir;
  std::string Ini(std::string_view bytes) { return dir.Write("OrvFilter.ini", bytes); }
};

TEST_F(Profile, ReadsAFileWrittenOnWindows) {
  const std::string ini =
      Ini("; written by hand\r\n"
          "[Other]\r\n"
          "KeyIsSystem=0\r\n"
          "\r\n"
          "[OrvFilter]\r\n"
          "KeyIsSystem = 1\r\n"
          "KeySendWords =  \"  quoted, blanks kept  \"  \r\n"
          "KeyLogPath\t=\tC:\\inetpub\\log\\\t\r\n"
          "KeyFileType=asp|aspx\r\n"
          "KeySoft=\xB7\xC7\xB7\xA8 = title\r\n");
  EXPECT_EQ(ReadProfileString(ini, "OrvFilter", "KeyIsSystem"), "1");
  EXPECT_EQ(ReadProfileString(ini, "OrvFilter", "KeySendWords"), "  quoted, blanks kept  ");
  EXPECT_EQ(ReadProfileString(ini, "OrvFilter", "KeyLogPath"), "C:\\inetpub\\log\\");
  EXPECT_EQ(ReadProfileString(ini, "OrvFilter", "KeyFileType"), "asp|aspx");
  // The first "=" ends the key; GBK bytes pass untouched.
  EXPECT_EQ(ReadProfileString(ini, "OrvFilter", "KeySoft"), "\xB7\xC7\xB7\xA8 = title");
  EXPECT_EQ(ReadProfileString(ini, "Other", "KeyIsSystem"), "0");
}

TEST_F(Profile, NamesCompareWithoutCase) {
  const std::string ini = Ini("[ORVFILTER]\nkeyissystem=1\n");
  EXPECT_EQ(ReadProfileString(ini, "OrvFilter", "KeyIsSystem"), "1");
  EXPECT_EQ(ReadProfileString(ini, "orvfilter", "KEYISSYSTEM"), "1");
}

TEST_F(Profile, QuotesAreStrippedOnlyAsOneEnclosingPair) {
  const std::string ini =
      Ini("[S]\n"
          "Empty=\"\"\n"
          "Lone=\"\n"
          "Inner=\"a\"b\"\n"
          "Twice=\"\"x\"\"\n"
          "Open=\"abc\n"
          "Single='abc'\n"
          "Blank=   \n");
  EXPECT_EQ(ReadProfileString(ini, "S", "Empty"), "");
  EXPECT_EQ(ReadProfileString(ini, "S", "Lone"), "\"");
  EXPECT_EQ(ReadProfileString(ini, "S", "Inner"), "a\"b");
  EXPECT_EQ(ReadProfileString(ini, "S", "Twice"), "\"x\"");
  EXPECT_EQ(ReadProfileString(ini, "S", "Open"), "\"abc");
  EXPECT_EQ(ReadProfileString(ini, "S", "Single"), "'abc'");
  EXPECT_EQ(ReadProfileString(ini, "S", "Blank"), "");
}

TEST_F(Profile, TheFirstOfDuplicateKeysAndSectionsWins) {
  const std::string ini =
      Ini("[S]\n"
          "Key=first\n"
          "KEY=second\n"
          "[T]\n"
          "Key=other\n"
          "[s]\n"
          "Key=third\n"
          "Late=only in the second S\n");
  EXPECT_EQ(ReadProfileString(ini, "S", "Key"), "first");
  EXPECT_EQ(ReadProfileString(ini, "S", "Late"), "");
  EXPECT_EQ(ReadProfileString(ini, "T", "Key"), "other");
}

TEST_F(Profile, AnythingMissingReadsAsEmpty) {
  EXPECT_EQ(ReadProfileString(dir.File("none.ini"), "S", "Key"), "");
  EXPECT_EQ(ReadProfileString("", "S", "Key"), "");
  EXPECT_EQ(ReadProfileString(dir.Path(), "S", "Key"), "");  // a directory
  const std::string ini =
      Ini("Key=before any section\n"
          "[S]\n"
          "; Key=commented out\n"
          "Key\n"
          "[Broken\n"
          "Other=1\n");
  EXPECT_EQ(ReadProfileString(ini, "S", "Key"), "");
  EXPECT_EQ(ReadProfileString(ini, "T", "Key"), "");
  EXPECT_EQ(ReadProfileString(ini, "S", "Missing"), "");
  // A line that only looks like a header does not end the section.
  EXPECT_EQ(ReadProfileString(ini, "S", "Other"), "1");
}

TEST_F(Profile, AValueIsCutToTheBuffer) {
  const std::string longValue(70000, 'v');
  const std::string ini = Ini("[S]\nKey=" + longValue + "\nNext=1\n");
  const std::string read = ReadProfileString(ini, "S", "Key");
  EXPECT_EQ(read.size(), kMaxProfileValue);
  EXPECT_EQ(read, longValue.substr(0, kMaxProfileValue));
  EXPECT_EQ(ReadProfileString(ini, "S", "Next"), "1");
  // Exactly the buffer's worth is kept whole.
  const std::string fits(kMaxProfileValue, 'f');
  ASSERT_TRUE(WriteProfileString(ini, "S", "Fits", fits));
  EXPECT_EQ(ReadProfileString(ini, "S", "Fits"), fits);
}

TEST_F(Profile, AUtf8ByteOrderMarkIsSkippedAndKept) {
  const std::string ini = Ini("\xEF\xBB\xBF[OrvFilter]\r\nKeyIsSystem=1\r\n");
  EXPECT_EQ(ReadProfileString(ini, "OrvFilter", "KeyIsSystem"), "1");
  ASSERT_TRUE(WriteProfileString(ini, "OrvFilter", "KeyIsLog", "0"));
  EXPECT_EQ(ReadBytes(ini), "\xEF\xBB\xBF[OrvFilter]\r\nKeyIsSystem=1\r\nKeyIsLog=0\r\n");
}

TEST_F(Profile, AWriteCreatesTheFileSectionAndKey) {
  const std::string ini = dir.File("new.ini");
  ASSERT_TRUE(WriteProfileString(ini, "OrvFilter", "KeyIsSystem", "1"));
  EXPECT_EQ(ReadBytes(ini), "[OrvFilter]\r\nKeyIsSystem=1\r\n");
  ASSERT_TRUE(WriteProfileString(ini, "OrvFilter", "KeyIsLog", "1"));
  ASSERT_TRUE(WriteProfileString(ini, "Second", "A", "b"));
  EXPECT_EQ(ReadBytes(ini), "[OrvFilter]\r\nKeyIsSystem=1\r\nKeyIsLog=1\r\n[Second]\r\nA=b\r\n");
  EXPECT_EQ(CountEntries(dir.Path()), 1);  // no temporaries left behind
}

TEST_F(Profile, AWriteReplacesInPlaceAndKeepsEveryOtherLine) {
  const std::string ini =
      Ini("; Orvane settings\n"
          "[OrvFilter]\n"
          "KeySoft = title \n"
          "  keyissystem = 0  \n"
          "Unknown=keep me\n"
          "KeyIsSystem=duplicate\n"
          "\n"
          "[Other]\n"
          "KeyIsSystem=untouched\n");
  ASSERT_TRUE(WriteProfileString(ini, "orvfilter", "KeyIsSystem", "1"));
  ASSERT_TRUE(WriteProfileString(ini, "OrvFilter", "KeyNew", "\xD6\xD0"));
  EXPECT_EQ(ReadBytes(ini),
            "; Orvane settings\r\n"
            "[OrvFilter]\r\n"
            "KeySoft = title \r\n"
            "keyissystem=1\r\n"
            "Unknown=keep me\r\n"
            "KeyIsSystem=duplicate\r\n"
            "KeyNew=\xD6\xD0\r\n"
            "\r\n"
            "[Other]\r\n"
            "KeyIsSystem=untouched\r\n");
  EXPECT_EQ(ReadProfileString(ini, "OrvFilter", "KeyIsSystem"), "1");
  EXPECT_EQ(ReadProfileString(ini, "OrvFilter", "KeyNew"), "\xD6\xD0");
}

TEST_F(Profile, NamesAndValuesThatWouldBreakTheFileAreRefused) {
  const std::string before = "[S]\r\nKey=old\r\n";
  const std::string ini = Ini(before);
  EXPECT_FALSE(WriteProfileString(ini, "S", "Key", "two\r\nKeyIsSystem=1"));
  EXPECT_FALSE(WriteProfileString(ini, "S", "Key", "lf\n"));
  EXPECT_FALSE(WriteProfileString(ini, "S", "K=ey", "v"));
  EXPECT_FALSE(WriteProfileString(ini, "S", "", "v"));
  EXPECT_FALSE(WriteProfileString(ini, "", "Key", "v"));
  EXPECT_FALSE(WriteProfileString(ini, "S]x", "Key", "v"));
  EXPECT_FALSE(WriteProfileString(ini, "S", "[Key", "v"));
  EXPECT_FALSE(WriteProfileString(ini, "S", ";Key", "v"));
  EXPECT_EQ(ReadBytes(ini), before);
}

TEST_F(Profile, AFailedWriteReportsFalseAndLeavesTheFileIntact) {
  // The path is a directory.
  EXPECT_FALSE(WriteProfileString(dir.Path(), "S", "Key", "v"));
  const std::string folder = dir.File("folder.ini");
  std::filesystem::create_directory(folder);
  EXPECT_FALSE(WriteProfileString(folder, "S", "Key", "v"));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  // The parent is a file.
  const std::string plain = dir.Write("plain", "x");
  EXPECT_FALSE(WriteProfileString(plain + "/OrvFilter.ini", "S", "Key", "v"));
  EXPECT_EQ(ReadBytes(plain), "x");
  // Too large to be a settings file: neither read nor rewritten.
  const std::string huge = std::string("[S]\nKey=1\n") + std::string(17u << 20, ';');
  const std::string big = dir.Write("big.ini", huge);
  EXPECT_EQ(ReadProfileString(big, "S", "Key"), "");
  EXPECT_FALSE(WriteProfileString(big, "S", "Key", "2"));
  EXPECT_EQ(std::filesystem::file_size(big), huge.size());
}

TEST_F(Profile, WritesFromSeveralThreadsAreNotLost) {
  const std::string ini = dir.File("shared.ini");
  constexpr int kWrites = 8;
  auto writer = [&](const std::string& prefix) {
    for (int i = 0; i < kWrites; ++i) {
      EXPECT_TRUE(WriteProfileString(ini, "S", prefix + std::to_string(i), std::to_string(i)));
    }
  };
  std::thread a(writer, "A");
  std::thread b(writer, "B");
  a.join();
  b.join();
  for (int i = 0; i < kWrites; ++i) {
    for (const std::string prefix : {"A", "B"}) {
      EXPECT_EQ(ReadProfileString(ini, "S", prefix + std::to_string(i)), std::to_string(i));
    }
  }
}

TEST_F(Profile, AWriteInAReadOnlyFolderFailsAndKeepsTheOldFile) {
  const std::string ini = Ini("[S]\r\nKey=old\r\n");
  std::filesystem::permissions(
      dir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  if (::access(dir.Path().c_str(), W_OK) == 0) {
    GTEST_SKIP() << "running with rights that ignore folder permissions";
  }
  EXPECT_FALSE(WriteProfileString(ini, "S", "Key", "new"));
  EXPECT_EQ(ReadBytes(ini), "[S]\r\nKey=old\r\n");
}

}  // namespace
}  // namespace orv::profile
