#include "console/foundation/text_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "console/foundation/dates_paths.h"
#include "tests/support/temp_folder.h"

namespace orv::console {
namespace {

using orv::testing::TempFolder;
using Lines = std::vector<std::string>;

void Put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Get(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ReadTextFile, JoinsLinesWithOrWithoutBreaks) {
  TempFolder folder;
  const std::string path = folder.File("a.txt");
  Put(path, "one\r\ntwo\n\nthree");
  std::string text;
  ASSERT_TRUE(ReadTextFile(path, text, true));
  EXPECT_EQ(text, "one\ntwo\n\nthree\n");
  ASSERT_TRUE(ReadTextFile(path, text, false));
  EXPECT_EQ(text, "onetwothree");
  text = "stale";
  EXPECT_FALSE(ReadTextFile(folder.File("missing.txt"), text, true));
  EXPECT_EQ(text, "");
}

TEST(NonEmptyLines, ReadAndCount) {
  TempFolder folder;
  const std::string path = folder.File("lines.txt");
  Put(path, "\r\nfirst\r\n\r\n\xB7\xC7\xB7\xA8\nlast");
  Lines lines{"stale"};
  ASSERT_TRUE(ReadNonEmptyLines(path, lines));
  EXPECT_EQ(lines, (Lines{"first", "\xB7\xC7\xB7\xA8", "last"}));
  EXPECT_EQ(CountNonEmptyLines(path), 3u);
  EXPECT_FALSE(ReadNonEmptyLines(folder.File("missing"), lines));
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(CountNonEmptyLines(folder.File("missing")), 0u);
}

TEST(WriteTextFile, TruncatesAppendsAndWritesCrLf) {
  TempFolder folder;
  const std::string path = folder.File("out.txt");
  ASSERT_TRUE(WriteTextFile(path, "a\nb", true, false));
  EXPECT_EQ(Get(path), "a\r\nb\r\n");
  ASSERT_TRUE(WriteTextFile(path, "c\r\n", false, true));
  EXPECT_EQ(Get(path), "a\r\nb\r\nc\r\n");
  ASSERT_TRUE(WriteTextFile(path, "d", false, false));
  EXPECT_EQ(Get(path), "d");
  EXPECT_FALSE(WriteTextFile("", "x", false, false));
  EXPECT_FALSE(WriteTextFile(folder.File("no/such/folder/x.txt"), "x", false, false));
}

TEST(ListFilesByExtension, FiltersByExtensionAndSkipsSpecialEntries) {
  TempFolder folder;
  for (const char* name : {"2012-1-1.log", "b.LOG", "debug.log", "system.log", "notes.txt"}) {
    Put(folder.File(name), "x");
  }
  QDir(QString::fromStdString(folder.Path())).mkdir(QStringLiteral(".hidden"));
  QDir(QString::fromStdString(folder.Path())).mkdir(QStringLiteral("sub"));

  Lines names{"stale"};
  EXPECT_EQ(ListFilesByExtension(names, folder.Path(), "log"), 2u);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Lines{"2012-1-1.log", "b.LOG"}));

  // Without the trailing separator, every entry: files and folders, no dot folders.
  std::string bare = folder.Path();
  bare.pop_back();
  EXPECT_EQ(ListFilesByExtension(names, bare, "*"), 4u);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Lines{"2012-1-1.log", "b.LOG", "notes.txt", "sub"}));
  EXPECT_EQ(ListFilesByExtension(names, folder.File("missing"), ""), 0u);
  EXPECT_TRUE(names.empty());
}

TEST(PathExistsAs, DistinguishesFilesAndFolders) {
  TempFolder folder;
  Put(folder.File("f"), "x");
  EXPECT_TRUE(PathExistsAs(folder.File("f"), false));
  EXPECT_FALSE(PathExistsAs(folder.File("f"), true));
  EXPECT_TRUE(PathExistsAs(folder.Path(), true));
  EXPECT_FALSE(PathExistsAs(folder.Path(), false));
  EXPECT_FALSE(PathExistsAs(folder.File("missing"), false));
  EXPECT_FALSE(PathExistsAs("", true));
}

TEST(DeletePath, MovesFilesToTheTrashAndRefusesTheRest) {
  TempFolder folder;
  TempFolder home;
  // Keep the test's trash away from the user's own.
  const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.Path()));
  Put(folder.File("old.log"), "x");
  EXPECT_TRUE(DeletePath(folder.File("old.log")));
  EXPECT_FALSE(PathExistsAs(folder.File("old.log"), false));
  EXPECT_FALSE(DeletePath(folder.File("old.log")));
  EXPECT_FALSE(DeletePath(folder.Path()));
  EXPECT_TRUE(PathExistsAs(folder.Path(), true));
  EXPECT_FALSE(DeletePath(""));
  qputenv("XDG_DATA_HOME", oldDataHome);
}

}  // namespace
}  // namespace orv::console
