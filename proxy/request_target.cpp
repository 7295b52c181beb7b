#include "proxy/request_target.h"

#include <vector>

namespace orv::proxy {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::string RemoveDotSegments(std::string_view path) {
  // Split on "/" and keep a stack of segments; "." vanishes, ".." pops.
  std::vector<std::string_view> segments;
  bool trailingSlash = false;
  std::size_t pos = 0;
  if (!path.empty() && path.front() == '/') pos = 1;
  while (pos <= path.size()) {
    std::size_t slash = path.find('/', pos);
    std::string_view segment =
        path.substr(pos, slash == std::string_view::npos ? std::string_view::npos : slash - pos);
    bool last = slash == std::string_view::npos;
    if (segment == ".") {
      trailingSlash = last;
    } else if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
      trailingSlash = last;
    } else {
      segments.push_back(segment);
      trailingSlash = false;
    }
    if (last) break;
    pos = slash + 1;
  }
  std::string out;
  out.reserve(path.size() + 1);
  for (std::string_view segment : segments) {
    out += '/';
    out += segment;
  }
  if (trailingSlash || out.empty()) out += '/';
  return out;
}

std::optional<std::string> DecodePath(std::string_view raw) {
  std::string decoded;
  decoded.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '%' && i + 2 < raw.size() && HexValue(raw[i + 1]) >= 0 && HexValue(raw[i + 2]) >= 0) {
      c = static_cast<char>(HexValue(raw[i + 1]) * 16 + HexValue(raw[i + 2]));
      i += 2;
    }
    if (c == '\0') return std::nullopt;
    decoded += c == '\\' ? '/' : c;
  }
  return RemoveDotSegments(decoded);
}

std::optional<RequestTarget> ParseRequestTarget(std::string_view target) {
  if (target == "*") return RequestTarget{"*", "*", {}, {}};
  std::string authority;
  std::string_view rest = target;
  if (StartsWithNoCase(rest, "http://") || StartsWithNoCase(rest, "https://")) {
    rest.remove_prefix(rest.find("//") + 2);
    std::size_t end = rest.find_first_of("/?");
    authority = std::string(rest.substr(0, end));
    if (authority.empty()) return std::nullopt;
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  }
  std::size_t question = rest.find('?');
  std::string rawPath(rest.substr(0, question));
  // "http://host?q" names the root.
  if (!authority.empty() && rawPath.empty()) rawPath.push_back('/');
  if (rawPath.empty() || rawPath.front() != '/') return std::nullopt;
  std::optional<std::string> path = DecodePath(rawPath);
  if (!path) return std::nullopt;
  std::string query =
      question == std::string_view::npos ? std::string() : std::string(rest.substr(question + 1));
  return RequestTarget{std::move(*path), std::move(rawPath), std::move(query),
                       std::move(authority)};
}

}  // namespace orv::proxy
