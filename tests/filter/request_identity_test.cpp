#include "filter/request_identity.h"

#include <gtest/gtest.h>

#include "filter/memory_host.h"
#include "filter_test_support.h"

namespace orv::filter {
namespace {

using testing::GetRequest;

TEST(ClientAddress, ProxiedRequestsReportTheForwardedAddress) {
  MemoryRequest request = GetRequest("/a.htm");
  MemoryFilterHost host(request);
  EXPECT_EQ(ClientAddress(host), "192.0.2.7");

  request.variables["HTTP_X_FORWARDED_FOR"] = "198.51.100.4";
  EXPECT_EQ(ClientAddress(host), "192.0.2.7") << "no Via header: not proxied";
  request.variables["HTTP_VIA"] = "1.1 cache";
  EXPECT_EQ(ClientAddress(host), "198.51.100.4");
  // A Via that names no forwarded address, or one too long for the 32-byte buffer, leaves the
  // peer's own address: an empty one would skip the address lists.
  request.variables["HTTP_X_FORWARDED_FOR"] = "198.51.100.4, 203.0.113.9, 10.0.0.1";
  EXPECT_EQ(ClientAddress(host), "192.0.2.7");
  request.variables.erase("HTTP_X_FORWARDED_FOR");
  EXPECT_EQ(ClientAddress(host), "192.0.2.7");
  request.variables["HTTP_X_FORWARDED_FOR"] = "";
  EXPECT_EQ(ClientAddress(host), "192.0.2.7");
}

TEST(ClientAddress, Ipv6LoopbackIsTheIpv4One) {
  MemoryRequest request = GetRequest("/a.htm");
  request.variables["REMOTE_ADDR"] = "::1";
  MemoryFilterHost host(request);
  EXPECT_EQ(ClientAddress(host), "127.0.0.1");
}

TEST(RequestUrl, BuiltFromHostPortPathAndQueryLowerCased) {
  MemoryRequest request = GetRequest("/News/A.HTM", "Id=5");
  MemoryFilterHost host(request);
  EXPECT_EQ(RequestUrl(host, Role::Filter), "www.example.com/news/a.htm?id=5");
  request.variables["SERVER_PORT"] = "8080";
  EXPECT_EQ(RequestUrl(host, Role::Filter), "www.example.com:8080/news/a.htm?id=5");
  request.variables["QUERY_STRING"] = "";
  EXPECT_EQ(RequestUrl(host, Role::Filter), "www.example.com:8080/news/a.htm");
  EXPECT_EQ(BuiltUrl(host, Role::Filter, false), "www.example.com:8080/News/A.HTM");
  // An unreadable port adds no bare colon.
  request.variables.erase("SERVER_PORT");
  EXPECT_EQ(RequestUrl(host, Role::Filter), "www.example.com/news/a.htm");
}

TEST(RequestUrl, RewriteUrlWinsInTheFilterRoleOnly) {
  MemoryRequest request = GetRequest("/index.php", "p=1");
  request.variables["HTTP_X_REWRITE_URL"] = "/Pretty/Page?x=1";
  MemoryFilterHost host(request);
  EXPECT_EQ(RequestUrl(host, Role::Filter), "www.example.com/pretty/page?x=1");
  EXPECT_EQ(RequestUrl(host, Role::Extension), "www.example.com/index.php?p=1");
  // Any of the three reads failing means no rewrite URL.
  request.variables.erase("SERVER_PORT");
  EXPECT_EQ(RequestUrl(host, Role::Filter), "www.example.com/index.php?p=1");
}

TEST(RequestUrl, BufferSizesDecideWhatCanBeRead) {
  MemoryRequest request = GetRequest(std::string(1040, 'a'));
  MemoryFilterHost host(request);
  EXPECT_EQ(RequestUrl(host, Role::Filter).size(), std::string("www.example.com").size() + 1040);
  request.variables["URL"] = std::string(1041, 'a');
  EXPECT_EQ(RequestUrl(host, Role::Filter), "www.example.com") << "a 1041-byte URL does not fit";

  // The extension reads the server name and the query into larger buffers.
  request.variables["URL"] = "/a.htm";
  request.variables["SERVER_NAME"] = std::string(100, 'h');
  request.variables["QUERY_STRING"] = std::string(2000, 'q');
  EXPECT_EQ(RequestUrl(host, Role::Filter), "/a.htm");
  EXPECT_EQ(RequestUrl(host, Role::Extension),
            std::string(100, 'h') + "/a.htm?" + std::string(2000, 'q'));
}

TEST(RequestPath, EndsBeforeTheFirstQuestionMark) {
  EXPECT_EQ(RequestPath("host/a.htm?x=1?y"), "host/a.htm");
  EXPECT_EQ(RequestPath("host/a.htm"), "host/a.htm");
}

TEST(ExtensionToken, ComesFromTheLastPathSegmentOnly) {
  EXPECT_EQ(ExtensionToken("www.example.com/"), "") << "site root is screened";
  EXPECT_EQ(ExtensionToken("www.example.com/news/"), "") << "folder is screened";
  EXPECT_EQ(ExtensionToken("www.example.com/news/latest"), "");
  EXPECT_EQ(ExtensionToken("www.example.com/a.b/c"), "");
  EXPECT_EQ(ExtensionToken("www.example.com"), "");
  EXPECT_EQ(ExtensionToken("www.example.com/img/a.jpg"), "|jpg|");
  EXPECT_EQ(ExtensionToken("www.example.com/a.tar.gz"), "|gz|");
  EXPECT_EQ(ExtensionToken("www.example.com/a.h tm"), "|htm|");
  EXPECT_EQ(ExtensionToken("www.example.com/dot."), "");
}

TEST(StopScript, OldInternetExplorerGetsItsOwnScript) {
  MemoryRequest request = GetRequest("/a.htm");
  MemoryFilterHost host(request);
  EXPECT_EQ(StopScript(host), "window.stop()");
  request.variables["HTTP_USER_AGENT"] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";
  EXPECT_EQ(StopScript(host), "document.execCommand(\"stop\")");
}

}  // namespace
}  // namespace orv::filter
