// Drives an UpstreamParser the way the upstream connection does, without a socket: the bytes
// arrive `piece` at a time into a buffer the parser consumes from, the end of the bytes is the
// end of the connection, and the body is taken in reads of at most `limit` bytes. Shared by
// the parser's tests and its fuzz target.
#pragma once

#include <algorithm>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/error.hpp>
#include <cstddef>
#include <string>
#include <string_view>

#include "proxy/upstream_parser.h"

namespace orv::proxy::testing {

struct PiecewiseRead {
  bool ok = false;              // one whole message was read
  std::string body;             // its body
  std::size_t largestRead = 0;  // the most one limited read took
  std::size_t leftOver = 0;     // bytes received after the message
};

inline PiecewiseRead ReadInPieces(std::string_view wire, std::size_t piece, std::size_t limit,
                                  UpstreamParser& parser) {
  namespace http = boost::beast::http;
  std::string buffer;
  std::size_t arrived = 0;
  boost::beast::error_code ec;
  bool ended = false;
  // More bytes, or the end of the connection once they are all in; false when that fails.
  auto arrive = [&] {
    const std::size_t n = std::min(piece, wire.size() - arrived);
    buffer.append(wire.substr(arrived, n));
    arrived += n;
    if (n == 0) {
      if (ended || !parser.got_some()) return false;
      ended = true;
      parser.put_eof(ec);
    }
    return !ec;
  };
  PiecewiseRead result;
  while (!parser.is_header_done()) {
    if (!buffer.empty()) {
      buffer.erase(0, parser.put(boost::asio::buffer(buffer), ec));
      if (ec == http::error::need_more) ec = {};
      if (ec) return result;
      if (parser.is_header_done()) break;
    }
    if (!arrive()) return result;
  }
  while (!parser.is_done()) {
    std::string read;
    parser.BodyInto(read, limit);
    while (!parser.is_done() && read.size() < limit) {
      bool needBytes = buffer.empty();
      if (!needBytes) {
        buffer.erase(0, parser.put(boost::asio::buffer(buffer), ec));
        if (ec == http::error::need_more) {
          ec = {};
          needBytes = true;
        }
      }
      if (ec == http::error::need_buffer) ec = {};
      if (ec) return result;
      if (needBytes && !arrive()) return result;
    }
    parser.TakeBody();
    result.largestRead = std::max(result.largestRead, read.size());
    result.body += read;
  }
  result.ok = true;
  result.leftOver = buffer.size();
  return result;
}

}  // namespace orv::proxy::testing
