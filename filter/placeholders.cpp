#include "filter/placeholders.h"

namespace orv::filter {

std::string FillPlaceholders(std::string_view pattern, std::initializer_list<Substitution> values) {
  std::string out;
  out.reserve(pattern.size() + 256);
  std::size_t at = 0;
  while (at < pattern.size()) {
    const std::size_t percent = pattern.find('%', at);
    if (percent == std::string_view::npos) break;
    out.append(pattern, at, percent - at);
    bool replaced = false;
    for (const auto& [name, value] : values) {
      if (pattern.substr(percent, name.size()) == name) {
        out += value;
        at = percent + name.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      out += '%';
      at = percent + 1;
    }
  }
  if (at < pattern.size()) out.append(pattern, at);
  return out;
}

std::string StarKeyword(std::string_view keyword) {
  std::string out;
  out.reserve(keyword.size() * 2);
  std::size_t at = 0;
  while (at < keyword.size()) {
    const std::size_t width =
        static_cast<unsigned char>(keyword[at]) >= 0x80 && at + 1 < keyword.size() ? 2 : 1;
    if (!out.empty()) out += '*';
    out.append(keyword, at, width);
    at += width;
  }
  return out;
}

}  // namespace orv::filter
