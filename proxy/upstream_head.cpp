#include "proxy/upstream_head.h"

#include <string>
#include <string_view>

namespace orv::proxy {

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
