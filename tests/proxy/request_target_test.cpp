#include "proxy/request_target.h"

#include <gtest/gtest.h>

namespace orv::proxy {
namespace {

TEST(RequestTarget, EncodingTricksResolveToTheRealPath) {
  // Every one of these names /admin/x.asp; a black list on the decoded path must see that.
  for (const char* raw :
       {"/admin/x.asp", "/%61dmin/x.asp", "/a/../admin/x.asp", "/a/%2e%2e/admin/x.asp",
        "/a%2f..%2fadmin/x.asp", "/./admin/./x.asp", "/a\\..\\admin\\x.asp", "/a/..%5cadmin/x.asp",
        "/../../admin/x.asp", "/%2E%2E/admin/x.asp"}) {
    auto decoded = DecodePath(raw);
    ASSERT_TRUE(decoded) << raw;
    EXPECT_EQ(*decoded, "/admin/x.asp") << raw;
  }
}

TEST(RequestTarget, DecodingKeepsWhatIsNotAnEscape) {
  EXPECT_EQ(DecodePath("/a%zz/b%4"), "/a%zz/b%4");
  EXPECT_EQ(DecodePath("/a+b%20c"), "/a+b c");
  EXPECT_EQ(DecodePath("/%e8%bf%9d.html"), "/\xe8\xbf\x9d.html");
  // Decoded once, as IIS does: a doubly encoded dot stays "%2e".
  EXPECT_EQ(DecodePath("/%252e%252e/x"), "/%2e%2e/x");
}

TEST(RequestTarget, NulByteIsRefused) {
  EXPECT_FALSE(DecodePath("/x%00.html"));
  EXPECT_FALSE(ParseRequestTarget("/x%00.html?a"));
}

TEST(RequestTarget, DotSegmentsKeepTrailingSlash) {
  EXPECT_EQ(RemoveDotSegments("/"), "/");
  EXPECT_EQ(RemoveDotSegments("/a/b/.."), "/a/");
  EXPECT_EQ(RemoveDotSegments("/a/b/."), "/a/b/");
  EXPECT_EQ(RemoveDotSegments("/a/b/"), "/a/b/");
  EXPECT_EQ(RemoveDotSegments("/.."), "/");
  EXPECT_EQ(RemoveDotSegments("/a//b"), "/a//b");
  EXPECT_EQ(RemoveDotSegments("/a/..."), "/a/...");
}

TEST(RequestTarget, Forms) {
  auto origin = ParseRequestTarget("/news/%41.html?x=%41&y");
  ASSERT_TRUE(origin);
  EXPECT_EQ(origin->path, "/news/A.html");
  EXPECT_EQ(origin->rawPath, "/news/%41.html");
  EXPECT_EQ(origin->query, "x=%41&y");
  EXPECT_EQ(origin->authority, "");

  auto absolute = ParseRequestTarget("http://Example.com:81/a/../b?q");
  ASSERT_TRUE(absolute);
  EXPECT_EQ(absolute->authority, "Example.com:81");
  EXPECT_EQ(absolute->path, "/b");
  EXPECT_EQ(absolute->query, "q");

  auto bare = ParseRequestTarget("http://example.com?q=1");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->path, "/");
  EXPECT_EQ(bare->query, "q=1");

  EXPECT_EQ(ParseRequestTarget("*")->path, "*");
  EXPECT_FALSE(ParseRequestTarget("example.com:443"));
  EXPECT_FALSE(ParseRequestTarget("relative/path"));
  EXPECT_FALSE(ParseRequestTarget(""));
  EXPECT_FALSE(ParseRequestTarget("http:///nohost"));
}

}  // namespace
}  // namespace orv::proxy
