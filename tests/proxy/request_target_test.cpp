#include "proxy/request_target.h"

#include <gtest/gtest.h>

namespace orv::proxy {
namespace {

TEST(RequestTarget, EncodingTricksResolveToTheRealPath) {
  // Every one of these names /admin/x.asp; a black list on the decoded path must see that.
  for (const char* raw :
       {"/admin/x.asp", "/%61dmin/x.asp", "/a/../admin/x.asp", "/a/%2e%2e/admin/x.asp",
        "/./admin/./x.asp", "/../../admin/x.asp", "/%2E%2E/admin/x.asp", "//admin//x.asp",
        "/a/.%2e/admin///x.asp", "///a/b/../../admin/x.asp"}) {
    auto decoded = DecodePath(raw);
    ASSERT_TRUE(decoded) << raw;
    EXPECT_EQ(*decoded, "/admin/x.asp") << raw;
  }
}

TEST(RequestTarget, DecodingKeepsWhatIsNotAnEscape) {
  EXPECT_EQ(DecodePath("/a%zz/b%4"), "/a%zz/b%4");
  EXPECT_EQ(DecodePath("/a+b%20c"), "/a+b c");
  EXPECT_EQ(DecodePath("/%e8%bf%9d.html"), "/\xe8\xbf\x9d.html");
  // Decoded once, as servers do: a doubly encoded dot or slash stays an escape.
  EXPECT_EQ(DecodePath("/%252e%252e/x"), "/%2e%2e/x");
  EXPECT_EQ(DecodePath("/a%252fb"), "/a%2fb");
}

TEST(RequestTarget, FormsServersReadDifferentlyAreRefused) {
  for (const char* raw : {
           "/blocked/#/../..",       // the engine would see "/", the upstream /blocked/
           "/page.html#.jpg",        // an unmonitored type for a page
           "/page.html;.jpg",        // parameters: many servers serve page.html
           "/x.asp;/admin",          // or a white-listed path for it
           "/page.html%3b.jpg",      //
           "/a%2f..%2fadmin/x.asp",  // "/" inside a segment for some, a separator for others
           "/a%2F",                  //
           "/a\\..\\admin\\x.asp",   // a separator on Windows only
           "/a/..%5cadmin/x.asp",    //
           "/a%3f/blocked/",         // the engine's path would end at the "?"
           "/x%23.jpg",              //
           "/x%00.html",             // would cut the variable short
           "/x%0a.html", "/x%09", "/x%7f",
           "/a//../blocked/",  // "/blocked/" merged first, "/a/blocked/" resolved first
       }) {
    EXPECT_FALSE(DecodePath(raw)) << raw;
    EXPECT_FALSE(ParseRequestTarget(raw)) << raw;
  }
  // A fragment or a blank anywhere, the query included.
  EXPECT_FALSE(ParseRequestTarget("/a.html?x=1#top"));
  EXPECT_FALSE(ParseRequestTarget("/a b"));
  EXPECT_FALSE(ParseRequestTarget("/a?\x01"));
  // In the query the same bytes are the application's business.
  EXPECT_TRUE(ParseRequestTarget("/a.php?x=%2f..;y\\z"));
}

TEST(RequestTarget, RepeatedSlashesAreMerged) {
  EXPECT_EQ(DecodePath("//blocked/"), "/blocked/");
  EXPECT_EQ(DecodePath("/a/b//"), "/a/b/");
  EXPECT_EQ(DecodePath("/a/..//b"), "/b");
  EXPECT_EQ(MergeSlashes("///a//b"), "/a/b");
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
  EXPECT_FALSE(origin->authority);

  auto absolute = ParseRequestTarget("HTTP://Example.COM.:081/a/../b?q");
  ASSERT_TRUE(absolute);
  EXPECT_EQ(absolute->scheme, "http");
  EXPECT_EQ(absolute->authority, (HostAndPort{"example.com", "81"}));
  EXPECT_EQ(absolute->path, "/b");
  EXPECT_EQ(absolute->query, "q");

  auto bare = ParseRequestTarget("https://example.com?q=1");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->scheme, "https");
  EXPECT_EQ(bare->path, "/");
  EXPECT_EQ(bare->query, "q=1");

  EXPECT_EQ(ParseRequestTarget("*")->path, "*");
  for (const char* target :
       {"example.com:443", "relative/path", "", "http:///nohost", "http://user@host/",
        "http://host:/", "http://a/b@c/../x#", "ftp://host/", "http:/host/", "http://ho st/",
        "http://[::1/", "http://a%2eb/"}) {
    EXPECT_FALSE(ParseRequestTarget(target)) << target;
  }
}

TEST(Host, ValidFormsAreNormalisedAsServersCompareThem) {
  using H = HostAndPort;
  EXPECT_EQ(ParseHost("example.com"), (H{"example.com", ""}));
  EXPECT_EQ(ParseHost("Example.COM."), (H{"example.com", ""}));
  EXPECT_EQ(ParseHost("a_b-c.d:080"), (H{"a_b-c.d", "80"}));
  EXPECT_EQ(ParseHost("10.0.0.1:65535"), (H{"10.0.0.1", "65535"}));
  EXPECT_EQ(ParseHost("[::1]"), (H{"[::1]", ""}));
  EXPECT_EQ(ParseHost("[0:0::1]:8080"), (H{"[::1]", "8080"}));
  EXPECT_EQ(ParseHost("[::FFFF:1.2.3.4]"), (H{"[::ffff:1.2.3.4]", ""}));
}

TEST(Host, AnythingElseIsRefused) {
  for (const char* host : {"",
                           "name?",
                           "a/b",
                           "a@b",
                           "a b",
                           "a,b",
                           "%41",
                           "a:",
                           ":80",
                           "a:0",
                           "a:65536",
                           "a:123456",
                           "a:+80",
                           "a:8 0",
                           "a:b:c",
                           "a..b",
                           ".",
                           "..",
                           ".a",
                           "a\\b",
                           "a#b",
                           "[::1",
                           "[::1]x",
                           "[::1]:",
                           "[fe80::1%25eth0]",
                           "[1.2.3.4]",
                           "[v1.x]",
                           "[]",
                           "\xe4\xb8\xad.cn"}) {
    EXPECT_FALSE(ParseHost(host)) << host;
  }
  EXPECT_FALSE(ParseHost(std::string(254, 'a')));
}

TEST(Host, SameServerFillsInTheDefaultPort) {
  EXPECT_TRUE(SameServer({"example.com", ""}, {"example.com", "80"}, "80"));
  EXPECT_FALSE(SameServer({"example.com", ""}, {"example.com", "80"}, "443"));
  EXPECT_FALSE(SameServer({"example.com", "81"}, {"example.org", "81"}, "80"));
}

}  // namespace
}  // namespace orv::proxy
