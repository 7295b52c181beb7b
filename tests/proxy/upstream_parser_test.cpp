#include "proxy/upstream_parser.h"

#include <gtest/gtest.h>

#include <boost/beast/http/error.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "tests/proxy/piecewise_read.h"

namespace orv::proxy {
namespace {

namespace http = boost::beast::http;

// The body read piece by piece in limited reads (see piecewise_read.h), or "error" when the
// parser failed.
std::string ReadBody(std::string_view wire, std::size_t piece, std::size_t limit) {
  UpstreamParser parser;
  const testing::PiecewiseRead read = testing::ReadInPieces(wire, piece, limit, parser);
  if (!read.ok) return "error";
  EXPECT_LE(read.largestRead, limit);
  EXPECT_EQ(read.leftOver, 0u);
  return read.body;
}

TEST(UpstreamParser, HeadKeepsFieldsInOrderAndTheFramingLength) {
  UpstreamParser parser;
  boost::beast::error_code ec;
  const std::string wire =
      "HTTP/1.1 404 \r\nServer: up\r\nContent-Length: 3\r\nX-A: 1\r\nx-a: 2\r\n\r\nabc";
  parser.put(boost::asio::buffer(wire), ec);
  ASSERT_FALSE(ec);
  ASSERT_TRUE(parser.is_header_done());
  const ResponseHead& head = parser.Head();
  EXPECT_EQ(head.status, 404u);
  EXPECT_EQ(head.reason, "Not Found");  // none sent: the standard one
  ASSERT_EQ(head.fields.size(), 4u);
  EXPECT_EQ(head.fields[0].name, "Server");
  EXPECT_EQ(head.fields[2].name, "X-A");
  EXPECT_EQ(head.fields[3].name, "x-a");
  EXPECT_EQ(head.fields[3].value, "2");
  EXPECT_EQ(head.contentLength, 3u);

  UpstreamParser chunked;
  const std::string chunkedWire =
      "HTTP/1.1 200 Fine\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n";
  chunked.put(boost::asio::buffer(chunkedWire), ec);
  ASSERT_FALSE(ec);
  EXPECT_EQ(chunked.Head().reason, "Fine");
  EXPECT_FALSE(chunked.Head().contentLength);
}

TEST(UpstreamParser, BodyArrivesWholeWhateverThePiecesAndReadLimits) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += static_cast<char>('a' + i % 26);
  const std::string length =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(text.size()) + "\r\n\r\n" + text;
  const std::string chunked =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
      "7;ext=1\r\n" +
      text.substr(0, 7) + "\r\n1\r\n" + text.substr(7, 1) + "\r\n20\r\n" + text.substr(8) +
      "\r\n0\r\nTrailer: x\r\n\r\n";
  const std::string untilClose = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + text;
  for (const std::string& wire : {length, chunked, untilClose}) {
    for (std::size_t piece : {1u, 2u, 5u, 13u, 4096u}) {
      for (std::size_t limit : {1u, 3u, 7u, 8u, 64u}) {
        EXPECT_EQ(ReadBody(wire, piece, limit), text)
            << "piece " << piece << ", limit " << limit << ":\n"
            << wire;
      }
    }
  }
}

TEST(UpstreamParser, FieldsNamedInConnectionStayOnTheUpstreamsHop) {
  UpstreamParser parser;
  boost::beast::error_code ec;
  const std::string wire =
      "HTTP/1.1 200 OK\r\nConnection: keep-alive, X-Hop\r\nX-Hop: 1\r\nx-hop: 2\r\n"
      "Connection: Content-Length, x-other\r\nX-Other: 3\r\nX-Kept: 4\r\n"
      "Content-Length: 3\r\n\r\nabc";
  parser.put(boost::asio::buffer(wire), ec);
  ASSERT_FALSE(ec);
  std::vector<std::string> names;
  for (const HeaderField& field : parser.Head().fields) names.push_back(field.name);
  // The framing is not the upstream's to nominate away: the length still stands.
  EXPECT_EQ(names,
            (std::vector<std::string>{"Connection", "Connection", "X-Kept", "Content-Length"}));
  EXPECT_EQ(parser.Head().contentLength, 3u);
}

TEST(UpstreamParser, CutOffOrMalformedBodiesFail) {
  // The connection ends before the announced length, inside a chunk, or a chunk size is not
  // a number: each is an error, never a short body taken for a whole one.
  for (std::string wire : {std::string("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"),
                           std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                       "5\r\nab"),
                           std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                       "zz\r\nab\r\n0\r\n\r\n")}) {
    EXPECT_EQ(ReadBody(wire, 3, 4), "error") << wire;
  }
}

}  // namespace
}  // namespace orv::proxy
