#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "tests/support/temp_folder.h"

namespace orv::files {
namespace {

using orv::testing::CountEntries;
using orv::testing::ReadBytes;
using orv::testing::TempFolder;

TEST(JoinPath, PutsExactlyOneSeparatorOfTheDirectorysKind) {
  EXPECT_EQ(JoinPath("C:\\inetpub\\", "OrvFilter.ini"), "C:\\inetpub\\OrvFilter.ini");
  EXPECT_EQ(JoinPath("C:\\inetpub", "OrvFilter.ini"), "C:\\inetpub\\OrvFilter.ini");
  EXPECT_EQ(JoinPath("/opt/orvane/", "OrvFilter.db"), "/opt/orvane/OrvFilter.db");
  EXPECT_EQ(JoinPath("/opt/orvane", "/log"), "/opt/orvane/log");
  EXPECT_EQ(JoinPath("", "OrvFilter.ini"), "OrvFilter.ini");
  EXPECT_EQ(SeparatorOf("C:\\a/b"), '/');
  EXPECT_EQ(SeparatorOf("C:/a\\b"), '\\');
}

TEST(Files, KindsOfPath) {
  TempFolder dir;
  const std::string file = dir.Write("f", "x");
  EXPECT_TRUE(IsDirectory(dir.Path()));
  EXPECT_FALSE(IsRegularFile(dir.Path()));
  EXPECT_TRUE(IsRegularFile(file));
  EXPECT_FALSE(IsDirectory(file));
  EXPECT_TRUE(Exists(file));
  EXPECT_FALSE(Exists(dir.File("missing")));
  EXPECT_FALSE(Exists(""));
  EXPECT_FALSE(IsDirectory(""));
  EXPECT_TRUE(CreateDirectories(dir.File("a/b/c")));
  EXPECT_TRUE(IsDirectory(dir.File("a/b/c")));
  EXPECT_FALSE(CreateDirectories(file + "/sub"));
  EXPECT_FALSE(CreateDirectories(""));
}

TEST(Files, ReadWholeFileReportsWhatItCouldNotRead) {
  TempFolder dir;
  std::string out = "stale";
  const std::string bytes("a\0b\r\n\xD6\xD0", 7);
  EXPECT_TRUE(ReadWholeFile(dir.Write("f", bytes), out));
  EXPECT_EQ(out, bytes);
  EXPECT_FALSE(ReadWholeFile(dir.File("missing"), out));
  EXPECT_TRUE(out.empty());
  out = "stale";
  EXPECT_FALSE(ReadWholeFile(dir.Path(), out));
  EXPECT_TRUE(out.empty());
  // The size limit is exact.
  const std::string big = dir.Write("big", std::string(100000, 'x'));
  EXPECT_TRUE(ReadWholeFile(big, out, 100000));
  EXPECT_FALSE(ReadWholeFile(big, out, 99999));
  EXPECT_TRUE(out.empty());
}

TEST(Files, AtomicWriteReplacesTheContentAndLeavesNoTemporary) {
  TempFolder dir;
  const std::string file = dir.Write("f", "old content, longer than the new");
  std::filesystem::permissions(
      file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_TRUE(WriteFileAtomically(file, "new"));
  EXPECT_EQ(ReadBytes(file), "new");
  // The replacement keeps the file's permissions.
  EXPECT_EQ(std::filesystem::status(file).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_TRUE(WriteFileAtomically(file, ""));
  EXPECT_EQ(ReadBytes(file), "");
  ASSERT_TRUE(WriteFileAtomically(dir.File("created"), "c"));
  EXPECT_EQ(CountEntries(dir.Path()), 2);
}

#ifndef _WIN32
// A settings file owned root:orvane 0640 must stay readable by the service's group after root
// rewrites it; a rewrite that handed it to root's own group would lock the service out.
TEST(Files, AtomicWriteKeepsTheFilesGroup) {
  TempFolder dir;
  const std::string file = dir.Write("OrvFilter.ini", "old");
  gid_t other = 0;
  if (::geteuid() == 0) {
    other = 4242;
  } else {
    gid_t groups[64];
    const int n = ::getgroups(64, groups);
    for (int i = 0; i < n && other == 0; ++i) {
      if (groups[i] != ::getegid()) other = groups[i];
    }
    if (other == 0) GTEST_SKIP() << "needs root or a second group";
  }
  ASSERT_EQ(::chown(file.c_str(), static_cast<uid_t>(-1), other), 0);
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(file, "new"));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_gid, other);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadBytes(file), "new");
}

// A restricted file stays restricted through a rewrite; a new file gets the usual mode.
TEST(Files, AtomicWriteModes) {
  TempFolder dir;
  const std::string secret = dir.Write("OrvFilter.ini", "old");
  ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
  ASSERT_TRUE(WriteFileAtomically(secret, "new"));
  struct stat st {};
  ASSERT_EQ(::stat(secret.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  const mode_t mask = ::umask(022);
  ::umask(mask);
  const std::string fresh = dir.File("fresh.db");
  ASSERT_TRUE(WriteFileAtomically(fresh, "x"));
  ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
}
#endif

TEST(Files, AFailedAtomicWriteLeavesTheTargetAsItWas) {
  TempFolder dir;
  const std::string folder = dir.File("folder");
  std::filesystem::create_directory(folder);
  dir.Write("folder/inside", "kept");
  EXPECT_FALSE(WriteFileAtomically(folder, "x"));
  EXPECT_EQ(ReadBytes(folder + "/inside"), "kept");
  EXPECT_FALSE(WriteFileAtomically(dir.Path(), "x"));
  EXPECT_FALSE(WriteFileAtomically("", "x"));
  EXPECT_FALSE(WriteFileAtomically(dir.File("missing/f"), "x"));
  EXPECT_EQ(CountEntries(dir.Path()), 1);  // only the folder: no temporaries
}

TEST(Files, AppendCreatesAndExtends) {
  TempFolder dir;
  const std::string file = dir.File("log");
  EXPECT_TRUE(AppendToFile(file, "a\r\n"));
  EXPECT_TRUE(AppendToFile(file, "b\r\n"));
  EXPECT_EQ(ReadBytes(file), "a\r\nb\r\n");
  EXPECT_FALSE(AppendToFile(dir.Path(), "x"));
}

TEST(Files, ModuleDirectoryIsTheFolderOfThisProgram) {
  const std::string directory = ModuleDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ(directory.back(), '/');
  EXPECT_EQ(std::filesystem::canonical(directory),
            std::filesystem::canonical("/proc/self/exe").parent_path());
}

}  // namespace
}  // namespace orv::files
