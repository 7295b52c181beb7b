// ScreenHeaders and ScreenUrl through the engine, as IIS raises the two notifications.
#include <gtest/gtest.h>

#include "filter_test_support.h"

namespace orv::filter {
namespace {

using testing::ConfigFolder;
using testing::FakeClock;
using testing::GetRequest;

class RequestScreening : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.WriteSettings();
    folder.WriteKeywords("forbidden");
  }
  void Load(const std::map<std::string, std::string>& overrides = {}) {
    folder.WriteSettings(overrides);
    engine = testing::LoadEngine(folder, clock);
  }

  // The Accept-Encoding value after the header notification, or "(unchanged)".
  std::string Headers(MemoryRequest request, std::string_view acceptEncoding) {
    request.SetHeader("Accept-Encoding", acceptEncoding);
    MemoryFilterHost host(request);
    EXPECT_EQ(engine->HttpFilterProc(host, kNotifyPreprocHeaders), kStatusNextNotification);
    if (host.HeadersSet().empty()) return "(unchanged)";
    return *request.Header("Accept-Encoding");
  }

  std::uint32_t Url(MemoryRequest request, std::string* written = nullptr) {
    MemoryFilterHost host(request);
    const std::uint32_t status = engine->HttpFilterProc(host, kNotifyUrlMap);
    if (written) *written = host.Written();
    return status;
  }

  ConfigFolder folder;
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(testing::kTestStart);
  std::unique_ptr<FilterEngine> engine;
};

TEST_F(RequestScreening, NoCodingButIdentityIsLeftOnOffer) {
  Load();
  const MemoryRequest page = GetRequest("/a.htm");
  EXPECT_EQ(Headers(page, "gzip, deflate"), std::string(13, ' '));
  EXPECT_EQ(Headers(page, "GZIP,Deflate"), std::string(12, ' '));
  EXPECT_EQ(Headers(page, "gzip, deflate, br"), std::string(17, ' '));
  EXPECT_EQ(Headers(page, "deflate, gzip"), std::string(13, ' '));
  EXPECT_EQ(Headers(page, "br;q=1.0, zstd, compress, x-gzip"), std::string(32, ' '));
  EXPECT_EQ(Headers(page, "*"), " ") << "any coding at all";
  EXPECT_EQ(Headers(page, "gzip, identity;q=0.5, *;q=0"), "      identity;q=0.5       ");
  EXPECT_EQ(Headers(page, "Identity, gzip, identity"), "identity,       identity");
  EXPECT_EQ(Headers(page, "identity;x=\"a,br\", br"), "identity;x=\"a,br\"    ")
      << "a comma in a quoted value separates nothing";
  EXPECT_EQ(Headers(page, "identity"), "(unchanged)");
  EXPECT_EQ(Headers(page, " "), "(unchanged)");

  // Long offers and repeated fields (joined by ", ") are read whole.
  const std::string longOffer = std::string(121, ' ') + "gzip, x";
  EXPECT_EQ(Headers(page, longOffer), std::string(longOffer.size(), ' '));
  std::string repeated;
  for (int i = 0; i < 1000; ++i) repeated += "identity, ";
  repeated += "br";
  std::string expected = repeated;
  expected.replace(expected.size() - 4, 4, "    ");
  EXPECT_EQ(Headers(page, repeated), expected);
  // Beyond any buffer the offer is read into: replaced whole.
  EXPECT_EQ(Headers(page, "br, " + std::string(70000, 'x')), "identity");
}

TEST_F(RequestScreening, RangeFieldsAreRemovedFromScreenedRequests) {
  Load({{"KeyIsGzip", "0"}});
  auto fieldsLeft = [&](MemoryRequest request) {
    request.SetHeader("Range", "bytes=100-200");
    request.SetHeader("If-Range", "\"etag\"");
    request.SetHeader("Request-Range", "bytes=" + std::string(70000, '1') + "-");
    MemoryFilterHost host(request);
    engine->HttpFilterProc(host, kNotifyPreprocHeaders);
    return (request.Header("Range") ? 1 : 0) + (request.Header("If-Range") ? 1 : 0) +
           (request.Header("Request-Range") ? 1 : 0);
  };
  EXPECT_EQ(fieldsLeft(GetRequest("/a.htm")), 0) << "whatever the length, compression or not";
  EXPECT_EQ(fieldsLeft(GetRequest("/img/a.jpg")), 3) << "unmonitored type";
  EXPECT_EQ(fieldsLeft(GetRequest("/admin/a.htm")), 3) << "white-listed";

  // Only fields that are there are touched.
  MemoryRequest plain = GetRequest("/a.htm");
  MemoryFilterHost host(plain);
  engine->HttpFilterProc(host, kNotifyPreprocHeaders);
  EXPECT_TRUE(host.HeadersSet().empty());
}

TEST_F(RequestScreening, OnlyScreenedRequestsLoseTheirCompression) {
  Load();
  EXPECT_EQ(Headers(GetRequest("/img/a.jpg"), "gzip"), "(unchanged)") << "unmonitored type";
  EXPECT_EQ(Headers(GetRequest("/"), "gzip"), "    ") << "site root is screened";
  EXPECT_EQ(Headers(GetRequest("/news/"), "gzip"), "    ") << "folder is screened";
  EXPECT_EQ(Headers(GetRequest("/news/latest"), "gzip"), "    ");
  EXPECT_EQ(Headers(GetRequest("/admin/a.htm"), "gzip"), "(unchanged)") << "URL white list";
  MemoryRequest trusted = GetRequest("/a.htm");
  trusted.variables["REMOTE_ADDR"] = "192.0.2.200";
  EXPECT_EQ(Headers(trusted, "gzip"), "(unchanged)") << "IP white list";

  Load({{"KeyIsGzip", "0"}});
  EXPECT_EQ(Headers(GetRequest("/a.htm"), "gzip"), "(unchanged)");
  Load({{"KeyIsSystem", "0"}});
  EXPECT_EQ(Headers(GetRequest("/a.htm"), "gzip"), "(unchanged)");
}

TEST_F(RequestScreening, HeaderNotificationKeepsTheFlushClock) {
  Load({{"KeyIsGzip", "0"}});
  MemoryRequest hit = GetRequest("/a.htm");
  testing::SendChunk(*engine, hit, testing::Page("<p>forbidden</p>"));
  ASSERT_TRUE(folder.LogLines().empty()) << "a single line waits in memory";

  const MemoryRequest request = GetRequest("/a.htm");
  clock->Advance(299);
  Headers(request, "");
  EXPECT_TRUE(folder.LogLines().empty()) << "299 s: not due";
  clock->Advance(1);
  Headers(request, "");
  EXPECT_EQ(folder.LogLines().size(), 1u) << "300 s: flushed";

  // Clock set back: nothing is due until the stored time plus 300 s comes round again.
  testing::SendChunk(*engine, hit, testing::Page("<p>forbidden</p> other"));
  MemoryRequest second = GetRequest("/b.htm");
  testing::SendChunk(*engine, second, testing::Page("<p>forbidden</p>"));
  clock->Advance(-1000);
  Headers(request, "");
  clock->Advance(1299);
  Headers(request, "");
  EXPECT_EQ(folder.LogLines().size(), 1u);
  clock->Advance(1);
  Headers(request, "");
  EXPECT_EQ(folder.LogLines().size(), 3u);
}

TEST_F(RequestScreening, BlackListedUrlGetsTheUrlBlockPage) {
  Load();
  std::string page;
  EXPECT_EQ(Url(GetRequest("/secret/a.htm", "q=<b>"), &page), kStatusFinished);
  EXPECT_NE(page.find("www.example.com/secret/a.htm?q=&lt;b&gt;"), std::string::npos);
  EXPECT_NE(page.find("192.0.2.7"), std::string::npos);
  EXPECT_NE(page.find("window.stop()"), std::string::npos);
  EXPECT_EQ(page.find("%url%"), std::string::npos);
  EXPECT_EQ(page.find("%user%"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos) << "no markup from the request";

  EXPECT_EQ(Url(GetRequest("/a.asp;.jpg")), kStatusFinished) << "black list before file type";
  EXPECT_EQ(Url(GetRequest("/public/a.htm")), kStatusNextNotification);
}

TEST_F(RequestScreening, ForwardedAddressIsEscapedOnTheIpBlockPage) {
  Load({{"KeyHeiIp", "10.9.9.9|<i>x</i>"}});
  MemoryRequest request = GetRequest("/a.htm");
  request.variables["HTTP_VIA"] = "1.1 proxy";
  request.variables["HTTP_X_FORWARDED_FOR"] = "<i>x</i>";
  std::string page;
  EXPECT_EQ(Url(request, &page), kStatusFinished);
  EXPECT_NE(page.find("&lt;i&gt;x&lt;/i&gt;"), std::string::npos);
  EXPECT_EQ(page.find("<i>"), std::string::npos);

  request.variables["HTTP_X_FORWARDED_FOR"] = "10.9.9.9";
  EXPECT_EQ(Url(request, &page), kStatusFinished);
  EXPECT_EQ(page.find("www.example.com/a.htm"), page.rfind("www.example.com/a.htm"));
}

TEST_F(RequestScreening, SafeCodeBypassesAndAnEmptyOneDoesNot) {
  Load();
  EXPECT_EQ(Url(GetRequest("/secret/a.htm", "k=SAFECODE9")), kStatusNextNotification);
  EXPECT_EQ(Url(GetRequest("/secret/a.htm", "k=other")), kStatusFinished);
  Load({{"KeySafeCode", ""}});
  EXPECT_EQ(Url(GetRequest("/secret/a.htm", "")), kStatusFinished);
  EXPECT_EQ(Url(GetRequest("/secret/a.htm", "anything")), kStatusFinished);
}

TEST_F(RequestScreening, PostAndSwitchedOffFilterAreNeverBlockedHere) {
  Load();
  EXPECT_EQ(Url(GetRequest("/secret/a.htm", "", "POST")), kStatusNextNotification);
  EXPECT_EQ(Url(GetRequest("/secret/a.htm", "", "post")), kStatusFinished)
      << "only the exact method POST is left to the extension";
  Load({{"KeyIsSystem", "0"}});
  EXPECT_EQ(Url(GetRequest("/secret/a.htm")), kStatusNextNotification);
}

TEST_F(RequestScreening, ViaAloneKeepsThePeerOnTheIpBlackList) {
  Load({{"KeyHeiIp", "192.0.2.7"}});
  MemoryRequest request = GetRequest("/a.htm");
  request.variables["HTTP_VIA"] = "1.1 anything";
  EXPECT_EQ(Url(request), kStatusFinished);
}

TEST_F(RequestScreening, UnreadableVariablesCountAsEmpty) {
  Load();
  MemoryRequest request;
  std::string page;
  EXPECT_EQ(Url(request, &page), kStatusNextNotification);
  request.variables["REMOTE_ADDR"] = "10.9.9.9";
  EXPECT_EQ(Url(request, &page), kStatusFinished) << "empty path skips only the URL list";
}

}  // namespace
}  // namespace orv::filter
