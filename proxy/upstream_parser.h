// The upstream's response, parsed by Beast's HTTP/1.1 parser into what the proxy keeps of it.
// Beast's own message parser would first build its field container (an allocation and a tree
// insert per field) and hand the body through a buffer of its own; here the head goes straight
// into a ResponseHead and body bytes straight onto the end of the caller's string.
#pragma once

#include <boost/beast/http/basic_parser.hpp>
#include <cstddef>
#include <cstdint>
#include <string>

#include "proxy/wire_format.h"

namespace orv::proxy {

class UpstreamParser final : public boost::beast::http::basic_parser<false> {
 public:
  // Status, reason (the standard one when the upstream sent none), fields in order, and the
  // body length when the upstream framed it with Content-Length rather than Transfer-Encoding.
  // Complete once is_header_done().
  const ResponseHead& Head() const { return head_; }
  ResponseHead& Head() { return head_; }

  // Body bytes parsed from now on go onto the end of `out` until it holds `limit` bytes; then
  // put() stops with http::error::need_buffer and leaves the rest unparsed. `out` must outlive
  // the next put(); TakeBody() forgets it.
  void BodyInto(std::string& out, std::size_t limit) {
    body_ = &out;
    limit_ = limit;
  }
  void TakeBody() { body_ = nullptr; }

 private:
  using string_view = boost::beast::string_view;
  using error_code = boost::beast::error_code;

  void on_request_impl(boost::beast::http::verb, string_view, string_view, int,
                       error_code&) override {}
  void on_response_impl(int code, string_view reason, int version, error_code& ec) override;
  void on_field_impl(boost::beast::http::field name, string_view nameText, string_view value,
                     error_code& ec) override;
  void on_header_impl(error_code& ec) override;
  void on_body_init_impl(const boost::optional<std::uint64_t>&, error_code&) override {}
  std::size_t on_body_impl(string_view body, error_code& ec) override { return Take(body, ec); }
  void on_chunk_header_impl(std::uint64_t, string_view, error_code&) override {}
  std::size_t on_chunk_body_impl(std::uint64_t, string_view body, error_code& ec) override {
    return Take(body, ec);
  }
  void on_finish_impl(error_code&) override {}

  std::size_t Take(string_view body, error_code& ec);

  ResponseHead head_;
  bool transferEncoding_ = false;
  bool connectionField_ = false;
  std::size_t lengthField_ = kNoField;  // the index of the first Content-Length field
  static constexpr std::size_t kNoField = ~std::size_t{0};
  std::string* body_ = nullptr;
  std::size_t limit_ = 0;
};

}  // namespace orv::proxy
