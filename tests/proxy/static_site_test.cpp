#include "proxy/static_site.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace orv::proxy {
namespace {

namespace fs = std::filesystem;

class StaticSiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() / ("orv-site-" + std::to_string(::getpid()));
    fs::remove_all(base_);
    fs::create_directories(base_ / "site" / "docs");
    fs::create_directories(base_ / "site2");
    Write(base_ / "site" / "index.html");
    Write(base_ / "site" / "docs" / "a.HTML");
    Write(base_ / "secret.txt");
    Write(base_ / "site2" / "index.html");
    fs::create_symlink(base_ / "secret.txt", base_ / "site" / "out.txt");
    fs::create_symlink(base_, base_ / "site" / "up");
    fs::create_symlink(base_ / "site" / "docs" / "a.HTML", base_ / "site" / "in.html");
    fs::create_directories(base_ / "site" / "trap");
    fs::create_symlink(base_ / "secret.txt", base_ / "site" / "trap" / "index.html");
  }
  void TearDown() override { fs::remove_all(base_); }

  static void Write(const fs::path& path) { std::ofstream(path) << "x"; }

  fs::path base_;
};

TEST_F(StaticSiteTest, ServesFilesAndFolderIndexes) {
  StaticSite site(base_ / "site");
  ASSERT_TRUE(site.Valid());
  SiteLookup file = site.Lookup("/docs/a.HTML", "/docs/a.HTML");
  EXPECT_EQ(file.kind, SiteLookup::Kind::kFile);
  EXPECT_EQ(file.file, fs::canonical(base_ / "site" / "docs" / "a.HTML"));
  EXPECT_EQ(site.Lookup("/", "/").kind, SiteLookup::Kind::kFile);
  EXPECT_EQ(site.Lookup("/in.html", "/in.html").kind, SiteLookup::Kind::kFile);

  SiteLookup folder = site.Lookup("/docs", "/d%6fcs");
  EXPECT_EQ(folder.kind, SiteLookup::Kind::kRedirect);
  EXPECT_EQ(folder.location, "/d%6fcs/");
  // The redirect stays on this site, whatever the path's leading slashes say.
  for (const char* raw :
       {"//evil.example/../docs", "/\\evil.example/../docs", "///\\/evil.example/%2e%2e/docs"}) {
    SiteLookup redirect = site.Lookup("/docs", raw);
    EXPECT_EQ(redirect.kind, SiteLookup::Kind::kRedirect);
    EXPECT_EQ(redirect.location.substr(0, 2), "/e") << raw;
    EXPECT_EQ(redirect.location.back(), '/');
  }
  // A folder without index.html is not listed.
  EXPECT_EQ(site.Lookup("/docs/", "/docs/").kind, SiteLookup::Kind::kNotFound);
}

TEST_F(StaticSiteTest, NothingOutsideTheFolder) {
  StaticSite site(base_ / "site");
  for (const char* path : {"/../secret.txt", "/out.txt", "/up/secret.txt", "/up/site2/index.html",
                           "/trap/", "/missing.html", "", "relative", "/../site2/index.html"}) {
    EXPECT_EQ(site.Lookup(path, path).kind, SiteLookup::Kind::kNotFound) << path;
  }
}

TEST_F(StaticSiteTest, RootMustBeAFolder) {
  EXPECT_FALSE(StaticSite(base_ / "secret.txt").Valid());
  EXPECT_FALSE(StaticSite(base_ / "none").Valid());
}

TEST(ContentType, ByExtensionIgnoringCase) {
  EXPECT_EQ(ContentTypeFor("a/b.HTML"), "text/html");
  EXPECT_EQ(ContentTypeFor("x.css"), "text/css");
  EXPECT_EQ(ContentTypeFor("x.png"), "image/png");
  EXPECT_EQ(ContentTypeFor("x"), "application/octet-stream");
  EXPECT_EQ(ContentTypeFor("x.tar.gz"), "application/octet-stream");
}

}  // namespace
}  // namespace orv::proxy
