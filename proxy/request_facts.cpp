#include "proxy/request_facts.h"

#include <algorithm>

namespace orv::proxy {

std::optional<std::string> RequestFacts::Header(std::string_view name) const {
  std::optional<std::string> value;
  for (const HeaderField& field : headers) {
    if (!EqualsNoCase(field.name, name)) continue;
    if (value) {
      *value += ", ";
      *value += field.value;
    } else {
      value = field.value;
    }
  }
  return value;
}

void RequestFacts::SetHeader(std::string_view name, std::string_view value) {
  auto named = [&](const HeaderField& field) { return EqualsNoCase(field.name, name); };
  auto it = std::find_if(headers.begin(), headers.end(), named);
  if (value.empty()) {
    headers.erase(std::remove_if(it, headers.end(), named), headers.end());
  } else if (it == headers.end()) {
    headers.push_back({std::string(name), std::string(value)});
  } else {
    it->value = std::string(value);
    headers.erase(std::remove_if(it + 1, headers.end(), named), headers.end());
  }
  if (std::none_of(editedHeaders.begin(), editedHeaders.end(),
                   [&](const std::string& edited) { return EqualsNoCase(edited, name); }))
    editedHeaders.emplace_back(name);
}

}  // namespace orv::proxy
