// Reading HTTP messages by hand: the bytes already in the read buffer are parsed first, and
// the stream is only asked for more when they do not reach as far as the caller needs. Beast's
// composed reads do the same with one more layer of operations, and a round through the event
// loop even when nothing is to be awaited.
#pragma once

#include <algorithm>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/error.hpp>
#include <cstddef>

#include "proxy/loop_stream.h"

namespace orv::proxy {

// The most one read takes from a socket.
inline constexpr std::size_t kReadStep = 64 * 1024;

// One read from the stream into the buffer's free room (at least 512 bytes, at most
// kReadStep); returns the bytes read, already committed to the buffer.
template <class Stream>
LoopAwaitable<std::size_t> ReadMore(Stream& stream, boost::beast::flat_buffer& buffer,
                                    boost::beast::error_code& ec) {
  const std::size_t room =
      std::min<std::size_t>(std::max<std::size_t>(512, buffer.capacity() - buffer.size()),
                            std::min<std::size_t>(kReadStep, buffer.max_size() - buffer.size()));
  if (room == 0) {
    ec = boost::beast::http::error::buffer_overflow;
    co_return 0;
  }
  const std::size_t got = co_await stream.async_read_some(
      buffer.prepare(room), boost::asio::redirect_error(kUseLoopAwaitable, ec));
  buffer.commit(got);
  co_return got;
}

// Reads until the parser has a whole message head, with the errors of Beast's
// async_read_header: end_of_stream when the peer closed before sending anything,
// partial_message when it closed inside the head, and the parser's own limits. The caller
// limits the whole head in time: a peer that sends a byte now and then must not keep a
// connection forever.
template <class Stream, class Parser>
LoopAwaitable<void> ReadHead(Stream& stream, boost::beast::flat_buffer& buffer, Parser& parser,
                             boost::beast::error_code& ec) {
  namespace http = boost::beast::http;
  ec = {};
  while (!parser.is_header_done()) {
    if (buffer.size() > 0) {
      buffer.consume(parser.put(buffer.data(), ec));
      if (ec == http::error::need_more) {
        ec = {};
      } else if (ec) {
        co_return;
      } else {
        continue;  // parsed on; the head may be complete now
      }
    }
    co_await ReadMore(stream, buffer, ec);
    if (ec == boost::asio::error::eof) {
      if (parser.got_some()) {
        parser.put_eof(ec);
        if (!ec) ec = http::error::partial_message;
      } else {
        ec = http::error::end_of_stream;
      }
    }
    if (ec) co_return;
  }
}

}  // namespace orv::proxy
