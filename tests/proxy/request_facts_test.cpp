#include "proxy/request_facts.h"

#include <gtest/gtest.h>

#include "proxy/notification_hosts.h"

namespace orv::proxy {
namespace {

RequestFacts SampleFacts() {
  RequestFacts facts;
  facts.method = "GET";
  facts.url = "/news/a.html";
  facts.query = "id=1";
  facts.remoteAddr = "192.0.2.7";
  facts.serverName = "example.com";
  facts.serverPort = "80";
  facts.headers = {
      {"Host", "example.com"},         {"Accept-Encoding", "gzip, deflate"},
      {"X-Forwarded-For", "10.0.0.1"}, {"x-forwarded-for", "10.0.0.2"},
      {"X-Rewrite-URL", "/admin/"},    {"User-Agent", "Mozilla/4.0 (compatible; MSIE 6.0)"},
      {"Accept-Language", "zh"},       {"accept-language", "en"}};
  return facts;
}

TEST(ServerVariables, NamesAndValuesAsIisGivesThem) {
  RequestFacts facts = SampleFacts();
  std::string value;
  EXPECT_TRUE(facts.GetServerVariable("URL", 1041, value));
  EXPECT_EQ(value, "/news/a.html");
  EXPECT_TRUE(facts.GetServerVariable("QUERY_STRING", 1041, value));
  EXPECT_EQ(value, "id=1");
  EXPECT_TRUE(facts.GetServerVariable("REMOTE_ADDR", 32, value));
  EXPECT_EQ(value, "192.0.2.7");
  EXPECT_TRUE(facts.GetServerVariable("HTTP_USER_AGENT", 2083, value));
  EXPECT_EQ(value, "Mozilla/4.0 (compatible; MSIE 6.0)");
  // Repeated fields are joined, whatever their case.
  EXPECT_TRUE(facts.GetServerVariable("HTTP_ACCEPT_LANGUAGE", 128, value));
  EXPECT_EQ(value, "zh, en");
  // Only the whole name: no prefix or extension of a header's variable name.
  EXPECT_FALSE(facts.GetServerVariable("HTTP_USER_AGEN", 2083, value));
  EXPECT_FALSE(facts.GetServerVariable("HTTP_USER_AGENTS", 2083, value));
  EXPECT_FALSE(facts.GetServerVariable("HTTP_", 2083, value));
  EXPECT_FALSE(facts.GetServerVariable("HTTP_user_agent", 2083, value));
  EXPECT_FALSE(facts.GetServerVariable("NO_SUCH_VARIABLE", 32, value));
  EXPECT_EQ(value, "");
}

TEST(ServerVariables, ValueThatDoesNotFitReadsAsFailure) {
  RequestFacts facts = SampleFacts();
  std::string value = "stale";
  EXPECT_FALSE(facts.GetServerVariable("REMOTE_ADDR", 9, value));  // 9 bytes + NUL > 9
  EXPECT_EQ(value, "");
  EXPECT_TRUE(facts.GetServerVariable("REMOTE_ADDR", 10, value));
}

TEST(ServerVariables, ClientSentRewriteUrlIsNotBelieved) {
  RequestFacts facts = SampleFacts();
  std::string value;
  EXPECT_FALSE(facts.GetServerVariable("HTTP_X_REWRITE_URL", 2083, value));
  EXPECT_EQ(value, "");
}

TEST(ServerVariables, HeaderVariableName) {
  EXPECT_EQ(HeaderVariableName("x-forwarded-for"), "HTTP_X_FORWARDED_FOR");
  EXPECT_EQ(HeaderVariableName("Via"), "HTTP_VIA");
}

TEST(ServerVariables, ClientCannotNameItsOwnAddress) {
  // With Via set the engine would take X-Forwarded-For for the client: neither is there,
  // by variable or by header, so REMOTE_ADDR is all it has.
  RequestFacts facts = SampleFacts();
  facts.headers.push_back({"Via", "1.1 cache"});
  NotificationHost host(facts);
  std::string value;
  for (const char* variable : {"HTTP_VIA", "HTTP_X_FORWARDED_FOR"}) {
    EXPECT_FALSE(facts.GetServerVariable(variable, 64, value)) << variable;
    EXPECT_FALSE(host.GetServerVariable(variable, 64, value)) << variable;
  }
  EXPECT_FALSE(host.GetHeader("Via:", 64, value));
  EXPECT_FALSE(host.GetHeader("x-forwarded-for:", 64, value));
  EXPECT_TRUE(host.GetServerVariable("REMOTE_ADDR", 64, value));
  EXPECT_EQ(value, "192.0.2.7");
}

TEST(NotificationHost, HeadersReadAndRewrittenThroughTheFacts) {
  RequestFacts facts = SampleFacts();
  NotificationHost host(facts);
  std::string value;
  EXPECT_TRUE(host.GetHeader("Accept-Encoding:", 128, value));
  EXPECT_EQ(value, "gzip, deflate");
  EXPECT_FALSE(host.GetHeader("Accept-Encoding:", 13, value));  // no room for the NUL
  EXPECT_TRUE(host.SetHeader("Accept-Encoding:", "             "));
  EXPECT_EQ(facts.Header("accept-encoding"), "             ");
  ASSERT_EQ(facts.editedHeaders.size(), 1u);
  EXPECT_TRUE(host.GetServerVariable("HTTP_ACCEPT_ENCODING", 128, value));
  EXPECT_EQ(value, "             ");
  // A line break would split the field on its way upstream.
  EXPECT_FALSE(host.SetHeader("Accept-Encoding:", "x\r\nInjected: 1"));
  EXPECT_EQ(facts.Header("Injected"), std::nullopt);
}

TEST(NotificationHost, SetHeaderCollapsesRepeatsAndAdds) {
  RequestFacts facts = SampleFacts();
  facts.SetHeader("X-FORWARDED-FOR", "10.9.9.9");
  EXPECT_EQ(facts.Header("X-Forwarded-For"), "10.9.9.9");
  facts.SetHeader("X-New", "1");
  EXPECT_EQ(facts.Header("x-new"), "1");
  EXPECT_EQ(facts.editedHeaders.size(), 2u);
}

TEST(NotificationHost, EmptyValueRemovesTheField) {
  RequestFacts facts = SampleFacts();
  facts.headers.push_back({"Range", "bytes=0-10"});
  facts.headers.push_back({"range", "bytes=20-"});
  NotificationHost host(facts);
  EXPECT_TRUE(host.SetHeader("Range:", ""));
  EXPECT_EQ(facts.Header("Range"), std::nullopt);
  std::string value;
  EXPECT_FALSE(host.GetServerVariable("HTTP_RANGE", 64, value));
  // Still recorded, so that the field is taken off the request that goes upstream too.
  ASSERT_EQ(facts.editedHeaders.size(), 1u);
  EXPECT_EQ(facts.editedHeaders[0], "Range");
  // Removing what is absent is no error and records the name once.
  facts.SetHeader("If-Range", "");
  facts.SetHeader("if-range", "");
  EXPECT_EQ(facts.editedHeaders.size(), 2u);
  EXPECT_EQ(facts.Header("Host"), "example.com");
}

TEST(BodyScreenHost, PresentsTheBodyAndRecordsTheHandOn) {
  RequestFacts facts = SampleFacts();
  facts.method = "POST";
  facts.body = "a=1";
  facts.totalBytes = 3;
  BodyScreenHost host(facts);
  EXPECT_EQ(host.Method(), "POST");
  EXPECT_EQ(host.TotalBytes(), 3u);
  EXPECT_EQ(host.AvailableData(), "a=1");
  EXPECT_FALSE(host.HandedOn());
  EXPECT_TRUE(host.SetIoCompletion());
  EXPECT_TRUE(host.ExecuteUrl());
  EXPECT_TRUE(host.HandedOn());
  facts.totalBytes = std::uint64_t{1} << 40;
  EXPECT_EQ(host.TotalBytes(), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace orv::proxy
