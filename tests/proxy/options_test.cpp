#include "proxy/options.h"

#include <gtest/gtest.h>

namespace orv::proxy {
namespace {

ParsedCommandLine Parse(std::vector<std::string_view> args) {
  return ParseCommandLine(args, "/opt/orvane", 4);
}

TEST(CommandLine, DefaultsAndFullForm) {
  ParsedCommandLine minimal = Parse({"--root", "site"});
  ASSERT_TRUE(minimal.options);
  EXPECT_EQ(minimal.options->settingsDirectory, "/opt/orvane");
  EXPECT_EQ(minimal.options->listenHost, "127.0.0.1");
  EXPECT_EQ(minimal.options->listenPort, 8080);
  EXPECT_EQ(minimal.options->threads, 4u);
  EXPECT_EQ(minimal.options->chunkBuffer, kDefaultChunkBuffer);
  EXPECT_FALSE(minimal.options->UsesUpstream());

  ParsedCommandLine full =
      Parse({"--dir", "/etc/orv", "--listen", "[::1]:0", "--upstream", "http://backend:8081/",
             "--threads", "8", "--buffer", "65536", "--client-timeout-ms", "250"});
  ASSERT_TRUE(full.options) << full.message;
  EXPECT_EQ(full.options->settingsDirectory, "/etc/orv");
  EXPECT_EQ(full.options->listenHost, "::1");
  EXPECT_EQ(full.options->listenPort, 0);
  EXPECT_EQ(full.options->upstreamHost, "backend");
  EXPECT_EQ(full.options->upstreamPort, "8081");
  EXPECT_EQ(full.options->threads, 8u);
  EXPECT_EQ(full.options->chunkBuffer, 65536u);
  EXPECT_EQ(full.options->clientTimeout.count(), 250);

  ParsedCommandLine defaultPort = Parse({"--upstream", "http://backend"});
  ASSERT_TRUE(defaultPort.options);
  EXPECT_EQ(defaultPort.options->upstreamPort, "80");
}

TEST(CommandLine, Mistakes) {
  for (std::vector<std::string_view> args :
       std::vector<std::vector<std::string_view>>{{},
                                                  {"--root", "a", "--upstream", "http://b:1"},
                                                  {"--upstream", "https://b:1"},
                                                  {"--upstream", "http://b:1/path"},
                                                  {"--upstream", "http://b:99999"},
                                                  {"--root", "a", "--listen", "8080"},
                                                  {"--root", "a", "--listen", "host:port"},
                                                  {"--root", "a", "--threads", "0"},
                                                  {"--root", "a", "--buffer", "12"},
                                                  {"--root", "a", "--bogus", "1"},
                                                  {"--root"}}) {
    ParsedCommandLine parsed = Parse(args);
    EXPECT_FALSE(parsed.options);
    EXPECT_FALSE(parsed.message.empty());
  }
  ParsedCommandLine help = Parse({"--help"});
  EXPECT_TRUE(help.help);
  EXPECT_NE(help.message.find("--upstream"), std::string::npos);
}

TEST(CommandLine, ResponseBodyOptions) {
  ParsedCommandLine defaults = Parse({"--root", "site"});
  ASSERT_TRUE(defaults.options);
  EXPECT_EQ(defaults.options->decodedLimit, kDefaultDecodedLimit);
  EXPECT_TRUE(defaults.options->compress);
  EXPECT_EQ(defaults.options->flushPause.count(), 100);

  ParsedCommandLine set =
      Parse({"--root", "site", "--decoded-limit", "4096", "--compress", "off", "--flush-ms", "5"});
  ASSERT_TRUE(set.options) << set.message;
  EXPECT_EQ(set.options->decodedLimit, 4096u);
  EXPECT_FALSE(set.options->compress);
  EXPECT_EQ(set.options->flushPause.count(), 5);

  for (std::vector<std::string_view> args :
       std::vector<std::vector<std::string_view>>{{"--root", "a", "--decoded-limit", "10"},
                                                  {"--root", "a", "--compress", "yes"},
                                                  {"--root", "a", "--flush-ms", "0"},
                                                  {"--root", "a", "--flush-ms", "-1"}})
    EXPECT_FALSE(Parse(args).options);
}

}  // namespace
}  // namespace orv::proxy
