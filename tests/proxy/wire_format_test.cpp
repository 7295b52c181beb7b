#include "proxy/wire_format.h"

#include <gtest/gtest.h>

#include <boost/beast/http/write.hpp>
#include <sstream>

#include "proxy/head_fields.h"
#include "proxy/upstream_head.h"

namespace orv::proxy {
namespace {

// The engine's header template before a keyword block page, verbatim: bare "\n" line ends,
// placeholder Date and Server, blanks after values.
constexpr std::string_view kTemplateHead =
    "HTTP/1.1 200 OK\nDate:Sun, -- --- 0000 00:00:00 GMT \nServer:Microsoft-IIS/0.0 \n"
    "Content-Length: 11 \nContent-Type: text/html;charset=gb2312\nCache-control: private\n\n";

TEST(BlockPage, EngineTemplateBecomesOurHead) {
  std::string bytes = std::string(kTemplateHead) + "<html></html>";
  BlockPage page = ReadBlockPage(bytes, true);
  EXPECT_EQ(page.status, 401u);
  EXPECT_EQ(page.reason, "Access Denied");
  EXPECT_EQ(page.body, "<html></html>");
  ASSERT_EQ(page.fields.size(), 2u);
  EXPECT_EQ(page.fields[0].value, "text/html;charset=gb2312");
  EXPECT_EQ(page.fields[1].value, "private");

  std::string wire = BlockPageText(page, false);
  EXPECT_EQ(wire,
            "HTTP/1.1 401 Access Denied\r\nContent-Type: text/html;charset=gb2312\r\n"
            "Cache-control: private\r\nContent-Length: 13\r\nConnection: close\r\n\r\n"
            "<html></html>");
  // The template's own Content-Length (wrong here on purpose) never reaches the wire.
  EXPECT_EQ(wire.find("Content-Length: 11"), std::string::npos);
  EXPECT_EQ(BlockPageText(page, true).find("<html>"), std::string::npos);
}

TEST(BlockPage, TemplateStatusKeptWithoutAccessDenied) {
  BlockPage page = ReadBlockPage(std::string(kTemplateHead) + "x", false);
  EXPECT_EQ(page.status, 200u);
  EXPECT_EQ(page.reason, "OK");
}

TEST(BlockPage, BareHtmlIsForbidden) {
  BlockPage page = ReadBlockPage("<html>blocked</html>", false);
  EXPECT_EQ(page.status, 403u);
  EXPECT_EQ(page.body, "<html>blocked</html>");
  ASSERT_EQ(page.fields.size(), 1u);
  EXPECT_EQ(page.fields[0].value, "text/html");
}

TEST(BlockPage, CrLfHeadAndHostileHeads) {
  BlockPage crlf = ReadBlockPage("HTTP/1.0 403 No\r\nContent-Type: text/plain\r\n\r\nbody", false);
  EXPECT_EQ(crlf.status, 403u);
  EXPECT_EQ(crlf.reason, "No");
  EXPECT_EQ(crlf.body, "body");
  EXPECT_EQ(crlf.fields[0].value, "text/plain");

  // A head that never ends is a body; a nonsense status keeps ours.
  EXPECT_EQ(ReadBlockPage("HTTP/1.1 200 OK\nno end", false).body, "HTTP/1.1 200 OK\nno end");
  EXPECT_EQ(ReadBlockPage("HTTP/1.1 99999 X\n\nb", false).status, 403u);
  // Statuses that cannot carry a body would leave the page for the client to misread.
  for (const char* head : {"HTTP/1.1 204 OK\r\n\r\nabc", "HTTP/1.1 304 Not Modified\n\nabc"}) {
    BlockPage page = ReadBlockPage(head, false);
    EXPECT_EQ(page.status, 403u) << head;
    EXPECT_EQ(page.body, "abc");
  }
  EXPECT_EQ(ReadBlockPage("HTTP/\n\n", false).body, "");
  EXPECT_EQ(ReadBlockPage("", false).body, "");
}

TEST(BlockPage, ControlBytesInTheEnginesHeadNeverReachOurs) {
  using namespace std::string_view_literals;
  // A status line or field cut from a fixed-size buffer carries NULs and other control bytes;
  // a client would reject the whole response over them. Tabs and GBK bytes are fine.
  BlockPage page = ReadBlockPage(
      "HTTP/1.1 200b\0\0\x01\x7f\n"
      "Content-Type: text/html;\x1b charset=gb2312\0\n"
      "Cache-Control: no\tstore \xb9\xd8\n\nbody"sv,
      false);
  EXPECT_EQ(page.status, 200u);
  EXPECT_EQ(page.reason, "b");
  ASSERT_EQ(page.fields.size(), 2u);
  EXPECT_EQ(page.fields[0].value, "text/html; charset=gb2312");
  EXPECT_EQ(page.fields[1].value, "no\tstore \xb9\xd8");
  EXPECT_EQ(page.body, "body");
  // Nothing but control bytes leaves a reason of our own.
  EXPECT_EQ(ReadBlockPage("HTTP/1.1 404 \0\x02\n\nx"sv, false).reason, "Blocked");
}

TEST(ClientHead, FramingVariants) {
  ResponseHead head;
  head.fields = {{"Content-Type", "text/html"},
                 {"Transfer-Encoding", "chunked"},
                 {"Connection", "keep-alive"},
                 {"Content-Length", "5"},
                 {"Set-Cookie", "a=1"}};
  EXPECT_EQ(ClientHeadText(head, Framing::kLength, 12, true, false),
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nSet-Cookie: a=1\r\n"
            "Content-Length: 12\r\n\r\n");
  EXPECT_EQ(ClientHeadText(head, Framing::kChunked, std::nullopt, false, false),
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nSet-Cookie: a=1\r\n"
            "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(ClientHeadText(head, Framing::kUntilClose, std::nullopt, true, true),
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nSet-Cookie: a=1\r\n"
            "Connection: close\r\n\r\n");
  EXPECT_EQ(ClientHeadText(head, Framing::kLength, 0, true, true),
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nSet-Cookie: a=1\r\n"
            "Content-Length: 0\r\nConnection: keep-alive\r\n\r\n");
  head.status = 204;
  head.reason = "No Content";
  head.fields.clear();
  EXPECT_EQ(ClientHeadText(head, Framing::kNoBody, 7, true, false),
            "HTTP/1.1 204 No Content\r\n\r\n");
  head.status = 200;
  head.reason = "OK";
  EXPECT_EQ(ClientHeadText(head, Framing::kNoBody, 7, true, false),
            "HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\n");
}

TEST(EngineHead, AsIisSendsIt) {
  ResponseHead head;
  head.status = 404;
  head.reason = "Not Found";
  head.fields = {{"Content-Type", "text/html; charset=utf-8"}, {"Transfer-Encoding", "chunked"}};
  EXPECT_EQ(EngineHeadText(head, 42),
            "HTTP/1.1 404 Not Found\r\nContent-Type: text/html; charset=utf-8\r\n"
            "Content-Length: 42\r\n\r\n");
  EXPECT_EQ(EngineHeadText(head, std::nullopt),
            "HTTP/1.1 404 Not Found\r\nContent-Type: text/html; charset=utf-8\r\n\r\n");
}

TEST(Chunks, FramesAndTheEnd) {
  EXPECT_EQ(ChunkFrame(""), "");
  EXPECT_EQ(ChunkFrame("abc"), "3\r\nabc\r\n");
  EXPECT_EQ(ChunkFrame(std::string(255, 'x')).substr(0, 4), "ff\r\n");
  EXPECT_EQ(kLastChunk, "0\r\n\r\n");
}

TEST(ErrorResponse, ClosesAndCountsItsBody) {
  std::string text = ErrorResponseText(502, "Bad Gateway");
  std::size_t split = text.find("\r\n\r\n");
  ASSERT_NE(split, std::string::npos);
  std::string body = text.substr(split + 4);
  EXPECT_EQ(text.rfind("HTTP/1.1 502 Bad Gateway\r\n", 0), 0u);
  EXPECT_NE(text.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("Connection: close\r\n"), std::string::npos);
}

// The request head goes upstream built by hand; it must be byte for byte what Beast's own
// serializer writes, whatever the fields' order, case or repetition.
TEST(RequestHead, MatchesBeastsSerializer) {
  ForwardRequest request(boost::beast::http::verb::post, "/a%20b?q=1&r", 11);
  request.set(boost::beast::http::field::host, "example.com:8080");
  request.insert("x-custom", "one");
  request.insert("X-Custom", "two");
  request.set(boost::beast::http::field::accept_encoding, "");
  request.body() = "name=value";
  request.prepare_payload();
  std::ostringstream beast;
  beast << request;
  EXPECT_EQ(RequestHeadText(request) + request.body(), beast.str());

  ForwardRequest get(boost::beast::http::verb::get, "/", 10);
  get.prepare_payload();
  std::ostringstream plain;
  plain << get;
  EXPECT_EQ(RequestHeadText(get), plain.str());
}

TEST(ResponseFields, HopByHopFieldsAreKnownInAnyCaseAndNothingElse) {
  for (std::string_view name : {"Connection", "keep-alive", "PROXY-CONNECTION", "te", "Trailer",
                                "trailers", "Upgrade", "transfer-encoding", "Content-length"})
    EXPECT_TRUE(IsHopByHopField(name)) << name;
  // Names of the same lengths, and the fields a response needs passed on.
  for (std::string_view name :
       {"", "T", "TF", "Trailex", "Upgradez", "Connectiox", "Keep-Alivf", "Content-Lengtx",
        "Proxy-Connectiox", "Transfer-Encodinx", "Content-Type", "Set-Cookie", "Location", "Date"})
    EXPECT_FALSE(IsHopByHopField(name)) << name;
}

TEST(ResponseFields, VaryAndEntityTagWhenTheCodingChanges) {
  auto vary = [](std::vector<HeaderField> fields) {
    VaryOnAcceptEncoding(fields);
    std::string out;
    for (const HeaderField& field : fields)
      if (field.name == "Vary" || field.name == "vary") out += field.value + "|";
    return out;
  };
  EXPECT_EQ(vary({}), "Accept-Encoding|");
  EXPECT_EQ(vary({{"Vary", "Cookie"}, {"Vary", "User-Agent"}}),
            "Cookie, Accept-Encoding|User-Agent|");
  EXPECT_EQ(vary({{"Vary", "Cookie"}, {"vary", "accept-encoding"}}), "Cookie|accept-encoding|");
  EXPECT_EQ(vary({{"Vary", "*"}}), "*|");
  EXPECT_EQ(vary({{"Vary", " "}}), "Accept-Encoding|");

  std::vector<HeaderField> tags = {{"ETag", "\"a\""}, {"ETag", "W/\"b\""}, {"ETag", "junk"}};
  WeakenEntityTag(tags);
  EXPECT_EQ(tags[0].value, "W/\"a\"");
  EXPECT_EQ(tags[1].value, "W/\"b\"");
  EXPECT_EQ(tags[2].value, "junk");
}

}  // namespace
}  // namespace orv::proxy
