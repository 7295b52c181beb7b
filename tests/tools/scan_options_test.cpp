#include "tools/scan_options.h"

#include <gtest/gtest.h>

namespace orv::tools {
namespace {

bool Parse(std::vector<std::string> args, ScanOptions& options) {
  std::string error;
  const bool ok = ParseScanArguments(args, options, error);
  EXPECT_EQ(ok, error.empty()) << error;
  return ok;
}

TEST(ScanArguments, DefaultsAndEveryOption) {
  ScanOptions options;
  ASSERT_TRUE(Parse({"page.txt"}, options));
  EXPECT_EQ(options.url, "http://localhost/index.html");
  EXPECT_EQ(options.method, "GET");
  EXPECT_EQ(options.remoteAddress, "127.0.0.1");
  EXPECT_EQ(options.chunkSize, 0u);
  EXPECT_EQ(options.file, "page.txt");

  ScanOptions all;
  ASSERT_TRUE(
      Parse({"--dir", "/etc/orv", "--url", "http://a/b", "--method", "POST", "--remote-addr", "::1",
             "-H", "Accept-Encoding:  gzip ", "-H", "X-A:", "--chunk", "16", "body.txt"},
            all));
  EXPECT_EQ(all.directory, "/etc/orv");
  EXPECT_EQ(all.method, "POST");
  EXPECT_EQ(all.remoteAddress, "::1");
  ASSERT_EQ(all.headers.size(), 2u);
  EXPECT_EQ(all.headers[0], std::make_pair(std::string("Accept-Encoding"), std::string("gzip")));
  EXPECT_EQ(all.headers[1].second, "");
  EXPECT_EQ(all.chunkSize, 16u);
}

TEST(ScanArguments, RefusesWhatItCannotTake) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"a", "b"},
           {"--bogus", "a"},
           {"--url"},
           {"a", "--chunk"},
           {"--chunk", "0", "a"},
           {"--chunk", "-3", "a"},
           {"--chunk", "12x", "a"},
           {"-H", "NoColon", "a"},
           {"-H", ": value", "a"},
           {"--dir", "", "a"},
           {"--method", "", "a"},
       }) {
    ScanOptions options;
    std::string error;
    EXPECT_FALSE(ParseScanArguments(args, options, error)) << ::testing::PrintToString(args);
    EXPECT_FALSE(error.empty());
  }
}

TEST(ScanUrl, SplitsAsTheServerWould) {
  ScanTarget target;
  std::string error;
  ASSERT_TRUE(ParseScanUrl("http://www.example.com:8080/a%20b/c.htm?x=%41&y#frag", target, error));
  EXPECT_EQ(target.serverName, "www.example.com");
  EXPECT_EQ(target.serverPort, "8080");
  EXPECT_EQ(target.path, "/a b/c.htm");
  EXPECT_EQ(target.query, "x=%41&y");

  ASSERT_TRUE(ParseScanUrl("example.com", target, error));
  EXPECT_EQ(target.serverPort, "80");
  EXPECT_EQ(target.path, "/");
  EXPECT_EQ(target.query, "");
  ASSERT_TRUE(ParseScanUrl("HTTPS://example.com?q=1", target, error));
  EXPECT_EQ(target.serverPort, "443");
  EXPECT_EQ(target.path, "/");
  EXPECT_EQ(target.query, "q=1");

  EXPECT_FALSE(ParseScanUrl("http:///a", target, error));
  EXPECT_FALSE(ParseScanUrl("http://a:0/", target, error));
  EXPECT_FALSE(ParseScanUrl("http://a:65536/", target, error));
  EXPECT_FALSE(ParseScanUrl("http://a:port/", target, error));
}

TEST(DecodePath, DecodesHexPairsOnly) {
  EXPECT_EQ(DecodePath("/a%2Fb%zz%4"), "/a/b%zz%4");
  EXPECT_EQ(DecodePath("/a+b%2b"), "/a+b+");
  EXPECT_EQ(DecodePath("%"), "%");
}

}  // namespace
}  // namespace orv::tools
