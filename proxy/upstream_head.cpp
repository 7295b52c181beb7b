#include "proxy/upstream_head.h"

#include <boost/beast/http/field.hpp>
#include <boost/beast/http/status.hpp>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::proxy {

namespace http = boost::beast::http;

ResponseHead HeadFromUpstream(const http::response_header<>& message) {
  ResponseHead head;
  head.status = message.result_int();
  head.reason = std::string(message.reason());
  if (head.reason.empty()) head.reason = std::string(http::obsolete_reason(message.result()));
  bool chunked = false;
  for (const auto& field : message) {
    head.fields.push_back({std::string(field.name_string()), std::string(field.value())});
    if (field.name() == http::field::transfer_encoding) chunked = true;
  }
  auto length = message.find(http::field::content_length);
  if (length != message.end() && !chunked) {
    std::uint64_t value = 0;
    std::string_view text = length->value();
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc() && end == text.data() + text.size()) head.contentLength = value;
  }
  return head;
}

}  // namespace orv::proxy
