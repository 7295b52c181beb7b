// Reads until a parser has a whole message head, feeding it by hand: the bytes already in the
// buffer are parsed first, and the stream is only asked for more when they do not reach the
// end of the head. Equivalent to Beast's async_read_header (the same errors: end_of_stream
// when the peer closed before sending anything, partial_message when it closed inside the
// head, the parser's own limits), with one layer of composed operations less per request.
#pragma once

#include <algorithm>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/error.hpp>
#include <cstddef>

namespace orv::proxy {

// The caller sets the stream's deadline for the whole head: a peer that sends a byte now and
// then must not keep a connection forever.
template <class Stream, class Parser>
boost::asio::awaitable<void> ReadHead(Stream& stream, boost::beast::flat_buffer& buffer,
                                      Parser& parser, boost::beast::error_code& ec) {
  namespace asio = boost::asio;
  namespace http = boost::beast::http;
  constexpr std::size_t kReadStep = 64 * 1024;
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
    const std::size_t room =
        std::min<std::size_t>(std::max<std::size_t>(512, buffer.capacity() - buffer.size()),
                              std::min<std::size_t>(kReadStep, buffer.max_size() - buffer.size()));
    if (room == 0) {
      ec = http::error::buffer_overflow;
      co_return;
    }
    const std::size_t got = co_await stream.async_read_some(
        buffer.prepare(room), asio::redirect_error(asio::use_awaitable, ec));
    buffer.commit(got);
    if (ec == asio::error::eof) {
      if (parser.got_some()) {
        parser.put_eof(ec);
        if (!ec) ec = http::error::partial_message;
      } else {
        ec = http::error::end_of_stream;
      }
      co_return;
    }
    if (ec) co_return;
  }
}

}  // namespace orv::proxy
