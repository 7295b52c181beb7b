#include "proxy/upstream_parser.h"

#include <algorithm>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/status.hpp>
#include <charconv>

#include "proxy/head_fields.h"

namespace orv::proxy {

namespace http = boost::beast::http;

void UpstreamParser::on_response_impl(int code, string_view reason, int, error_code&) {
  head_.status = static_cast<unsigned>(code);
  head_.fields.reserve(16);  // a typical head's fields in one allocation
  head_.reason.assign(reason.data(), reason.size());
  if (head_.reason.empty()) {
    const string_view standard = http::obsolete_reason(http::int_to_status(head_.status));
    head_.reason.assign(standard.data(), standard.size());
  }
}

void UpstreamParser::on_field_impl(http::field name, string_view nameText, string_view value,
                                   error_code&) {
  if (name == http::field::transfer_encoding) transferEncoding_ = true;
  if (name == http::field::connection) connectionField_ = true;
  if (name == http::field::content_length && lengthField_ == kNoField)
    lengthField_ = head_.fields.size();
  head_.fields.push_back({std::string(nameText), std::string(value)});
}

void UpstreamParser::on_header_impl(error_code&) {
  // Transfer-Encoding overrides any Content-Length; the parser has checked the length's
  // syntax, the check here only keeps a value it could not hold out of the head.
  if (!transferEncoding_ && lengthField_ != kNoField) {
    const std::string& text = head_.fields[lengthField_].value;
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc() && end == text.data() + text.size()) head_.contentLength = value;
  }
  // Fields the upstream named in Connection were meant for its hop to us alone.
  if (connectionField_) RemoveConnectionNominated(head_.fields);
}

std::size_t UpstreamParser::Take(string_view body, error_code& ec) {
  const std::size_t room = body_ != nullptr && limit_ > body_->size() ? limit_ - body_->size() : 0;
  const std::size_t taken = std::min(room, body.size());
  if (taken > 0) body_->append(body.data(), taken);
  if (taken < body.size()) ec = http::error::need_buffer;
  return taken;
}

}  // namespace orv::proxy
