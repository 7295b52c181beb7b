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

std::size_t FieldBytes(const ForwardRequest& request) {
  std::size_t total = 0;
  for (const auto& field : request) total += field.name_string().size() + field.value().size() + 4;
  return total;
}

std::string RequestHeadText(const ForwardRequest& request) {
  const std::string_view method(request.method_string().data(), request.method_string().size());
  const std::string_view target(request.target().data(), request.target().size());
  std::string out;
  out.reserve(method.size() + target.size() + 16 + FieldBytes(request));
  const unsigned version = request.version();
  out.append(method).append(" ").append(target).append(" HTTP/");
  out += static_cast<char>('0' + version / 10 % 10);
  out += '.';
  out += static_cast<char>('0' + version % 10);
  out += "\r\n";
  for (const auto& field : request) {
    out.append(field.name_string().data(), field.name_string().size()).append(": ");
    out.append(field.value().data(), field.value().size()).append("\r\n");
  }
  out += "\r\n";
  return out;
}

}  // namespace orv::proxy
