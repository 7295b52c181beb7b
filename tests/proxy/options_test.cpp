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
  ASSERT_EQ(minimal.options->listeners.size(), 1u);
  EXPECT_EQ(minimal.options->listeners[0].host, "127.0.0.1");
  EXPECT_EQ(minimal.options->listeners[0].port, 8080);
  EXPECT_FALSE(minimal.options->listeners[0].tls);
  EXPECT_EQ(minimal.options->threads, 4u);
  EXPECT_EQ(minimal.options->chunkBuffer, kDefaultChunkBuffer);
  EXPECT_FALSE(minimal.options->UsesUpstream());

  ParsedCommandLine full =
      Parse({"--dir", "/etc/orv", "--listen", "[::1]:0", "--upstream", "http://backend:8081/",
             "--threads", "8", "--buffer", "65536", "--client-timeout-ms", "250"});
  ASSERT_TRUE(full.options) << full.message;
  EXPECT_EQ(full.options->settingsDirectory, "/etc/orv");
  ASSERT_EQ(full.options->listeners.size(), 1u);
  EXPECT_EQ(full.options->listeners[0].host, "::1");
  EXPECT_EQ(full.options->listeners[0].port, 0);
  EXPECT_EQ(full.options->upstreamHost, "backend");
  EXPECT_EQ(full.options->upstreamPort, "8081");
  EXPECT_EQ(full.options->threads, 8u);
  EXPECT_EQ(full.options->chunkBuffer, 65536u);
  EXPECT_EQ(full.options->clientTimeout.count(), 250);

  EXPECT_EQ(minimal.options->maxConnections, kDefaultMaxConnections);
  EXPECT_TRUE(minimal.options->trustedProxies.empty());
  ParsedCommandLine proxies =
      Parse({"--root", "a", "--trusted-proxy", "10.0.0.0/8", "--trusted-proxy", "::1",
             "--trusted-proxy", "192.0.2.7", "--max-connections", "0"});
  ASSERT_TRUE(proxies.options) << proxies.message;
  ASSERT_EQ(proxies.options->trustedProxies.size(), 3u);
  EXPECT_EQ(proxies.options->trustedProxies[0].prefixLength, 8u);
  EXPECT_EQ(proxies.options->trustedProxies[1].prefixLength, 128u);
  EXPECT_EQ(proxies.options->trustedProxies[2].prefixLength, 32u);
  EXPECT_EQ(proxies.options->maxConnections, 0u);

  ParsedCommandLine defaultPort = Parse({"--upstream", "http://backend"});
  ASSERT_TRUE(defaultPort.options);
  EXPECT_EQ(defaultPort.options->upstreamPort, "80");
}

TEST(CommandLine, Mistakes) {
  for (std::vector<std::string_view> args :
       std::vector<std::vector<std::string_view>>{{},
                                                  {"--root", "a", "--upstream", "http://b:1"},
                                                  {"--upstream", "ftp://b:1"},
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
  for (const char* proxy : {"10.0.0.0/33", "10.0.0.0/", "/8", "10.0.0.1/8/1", "proxy.lan",
                            "010.0.0.1", "::1/129", "10.0.0.0/-1", "fe80::1%eth0", ""}) {
    ParsedCommandLine parsed = Parse({"--root", "a", "--trusted-proxy", proxy});
    EXPECT_FALSE(parsed.options) << proxy;
    EXPECT_NE(parsed.message.find("--trusted-proxy"), std::string::npos) << proxy;
  }
  EXPECT_FALSE(Parse({"--root", "a", "--max-connections", "-1"}).options);
  EXPECT_FALSE(Parse({"--root", "a", "--max-connections", "many"}).options);
  // A misspelt option is named as such, also as the last word.
  EXPECT_NE(Parse({"--root", "a", "--bogus"}).message.find("unknown option --bogus"),
            std::string::npos);
  ParsedCommandLine help = Parse({"--help"});
  EXPECT_TRUE(help.help);
  EXPECT_NE(help.message.find("--upstream"), std::string::npos);
}

TEST(CommandLine, TlsListenersAndUpstream) {
  ParsedCommandLine mixed =
      Parse({"--root", "site", "--listen", "127.0.0.1:80", "--listen-tls", "[::]:443", "--listen",
             "10.0.0.1:8080", "--tls-cert", "chain.pem", "--tls-key", "key.pem"});
  ASSERT_TRUE(mixed.options) << mixed.message;
  const auto& listeners = mixed.options->listeners;
  ASSERT_EQ(listeners.size(), 3u);  // the default 127.0.0.1:8080 is not among them
  EXPECT_FALSE(listeners[0].tls);
  EXPECT_TRUE(listeners[1].tls);
  EXPECT_EQ(listeners[1].host, "::");
  EXPECT_EQ(listeners[1].port, 443);
  EXPECT_FALSE(listeners[2].tls);
  EXPECT_EQ(mixed.options->tlsCertificate, "chain.pem");
  EXPECT_EQ(mixed.options->tlsKey, "key.pem");

  ParsedCommandLine secure = Parse({"--upstream", "https://origin.example", "--upstream-ca", "ca"});
  ASSERT_TRUE(secure.options) << secure.message;
  EXPECT_TRUE(secure.options->upstreamTls);
  EXPECT_EQ(secure.options->upstreamPort, "443");
  EXPECT_EQ(secure.options->upstreamCa, "ca");
  EXPECT_FALSE(Parse({"--upstream", "http://origin"}).options->upstreamTls);

  // A TLS listener without its pair, a pair without a TLS listener (the administrator would
  // believe plain HTTP to be HTTPS), and a CA for a plain upstream.
  for (std::vector<std::string_view> args : std::vector<std::vector<std::string_view>>{
           {"--root", "a", "--listen-tls", "127.0.0.1:443"},
           {"--root", "a", "--listen-tls", "127.0.0.1:443", "--tls-cert", "c"},
           {"--root", "a", "--tls-cert", "c", "--tls-key", "k"},
           {"--root", "a", "--listen", "127.0.0.1:80", "--tls-cert", "c", "--tls-key", "k"},
           {"--root", "a", "--listen-tls", "443", "--tls-cert", "c", "--tls-key", "k"},
           {"--upstream", "http://b:1", "--upstream-ca", "ca"}}) {
    ParsedCommandLine parsed = Parse(args);
    EXPECT_FALSE(parsed.options) << args.back();
    EXPECT_FALSE(parsed.message.empty());
  }
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
