#include "proxy/request_target.h"

#include <arpa/inet.h>

#include <charconv>
#include <vector>

#include "platform/ascii.h"

namespace orv::proxy {
namespace {

bool IsControlOrSpace(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte <= 0x20 || byte == 0x7f;
}

// Bytes that servers do not agree on inside a path, sent as they are: "\" (a separator on
// Windows servers, a plain byte elsewhere), ";" (parameters some servers strip and others
// keep: "/page.html;.jpg" may serve page.html), "#" (a fragment no client sends), and "?",
// which ends a path.
bool AmbiguousRawByte(char c) {
  return c == '\\' || c == ';' || c == '#' || c == '?' || IsControlOrSpace(c);
}

// Bytes that change a path's structure when an escape decodes to them, and that one server
// decodes before splitting the path while another splits first.
bool AmbiguousDecodedByte(char c) {
  return c == '/' || c == '\\' || c == ';' || c == '#' || c == '?' || c == '\0' ||
         (IsControlOrSpace(c) && c != ' ');
}

bool IsNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

std::optional<std::string> ParseName(std::string_view name) {
  if (name.size() > 1 && name.back() == '.') name.remove_suffix(1);
  // No empty label: "a..b", ".a" and "." name no host.
  if (name.empty() || name.size() > 253 || name.front() == '.' || name.back() == '.' ||
      name.find("..") != std::string_view::npos)
    return std::nullopt;
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    if (!IsNameByte(c)) return std::nullopt;
    out += ascii::LowerChar(c);
  }
  return out;
}

std::optional<std::string> ParseBracketedV6(std::string_view inner) {
  if (inner.empty() || inner.size() > 45) return std::nullopt;
  std::string text;
  for (char c : inner) {
    // Hex digits, ":" and a dotted IPv4 tail only: no zone ("%25eth0"), no IPvFuture.
    if (ascii::HexValue(c) < 0 && c != ':' && c != '.') return std::nullopt;
    text += ascii::LowerChar(c);
  }
  in6_addr address;
  if (::inet_pton(AF_INET6, text.c_str(), &address) != 1) return std::nullopt;
  char canonical[INET6_ADDRSTRLEN];
  if (!::inet_ntop(AF_INET6, &address, canonical, sizeof canonical)) return std::nullopt;
  // Appended in place: GCC 12 at -O3 takes "[" + std::string(...) for an overflow.
  std::string bracketed = "[";
  bracketed += canonical;
  bracketed += ']';
  return bracketed;
}

std::optional<std::string> ParsePort(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  unsigned number = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (ec != std::errc() || end != digits.data() + digits.size() || number == 0 || number > 65535)
    return std::nullopt;
  return std::to_string(number);
}

}  // namespace

std::optional<HostAndPort> ParseHost(std::string_view value) {
  std::string_view name = value;
  std::string_view port;
  bool hasPort = false;
  HostAndPort host;
  if (!value.empty() && value.front() == '[') {
    const std::size_t close = value.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    std::optional<std::string> v6 = ParseBracketedV6(value.substr(1, close - 1));
    if (!v6) return std::nullopt;
    host.name = std::move(*v6);
    std::string_view rest = value.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      hasPort = true;
      port = rest.substr(1);
    }
  } else {
    if (const std::size_t colon = value.find(':'); colon != std::string_view::npos) {
      name = value.substr(0, colon);
      port = value.substr(colon + 1);
      hasPort = true;
    }
    std::optional<std::string> parsed = ParseName(name);
    if (!parsed) return std::nullopt;
    host.name = std::move(*parsed);
  }
  if (hasPort) {
    std::optional<std::string> number = ParsePort(port);
    if (!number) return std::nullopt;
    host.port = std::move(*number);
  }
  return host;
}

bool SameServer(const HostAndPort& a, const HostAndPort& b, std::string_view defaultPort) {
  auto portOf = [&](const HostAndPort& host) -> std::string_view {
    return host.port.empty() ? defaultPort : std::string_view(host.port);
  };
  return a.name == b.name && portOf(a) == portOf(b);
}

std::string MergeSlashes(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (char c : path)
    if (c != '/' || out.empty() || out.back() != '/') out += c;
  return out;
}

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
    if (c == '%' && i + 2 < raw.size() && ascii::HexValue(raw[i + 1]) >= 0 &&
        ascii::HexValue(raw[i + 2]) >= 0) {
      c = static_cast<char>(ascii::HexValue(raw[i + 1]) * 16 + ascii::HexValue(raw[i + 2]));
      if (AmbiguousDecodedByte(c)) return std::nullopt;
      i += 2;
    } else if (AmbiguousRawByte(c)) {
      return std::nullopt;
    }
    decoded += c;
  }
  // nginx and Apache merge "//" before they resolve dot segments, a server that follows
  // RFC 3986 alone does not; where the order matters ("/a//../b") the path is refused.
  std::string path = RemoveDotSegments(MergeSlashes(decoded));
  if (MergeSlashes(RemoveDotSegments(decoded)) != path) return std::nullopt;
  return path;
}

std::optional<RequestTarget> ParseRequestTarget(std::string_view target) {
  for (char c : target)
    if (c == '#' || IsControlOrSpace(c)) return std::nullopt;
  if (target == "*") return RequestTarget{"*", "*", {}, {}, {}};
  RequestTarget parsed;
  std::string_view rest = target;
  for (std::string_view scheme : {"http", "https"}) {
    if (!ascii::StartsWithNoCase(rest, scheme) || rest.substr(scheme.size(), 3) != "://") continue;
    rest.remove_prefix(scheme.size() + 3);
    const std::size_t end = rest.find_first_of("/?");
    parsed.authority = ParseHost(rest.substr(0, end));
    if (!parsed.authority) return std::nullopt;
    parsed.scheme = std::string(scheme);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    break;
  }
  const std::size_t question = rest.find('?');
  parsed.rawPath = std::string(rest.substr(0, question));
  // "http://host?q" names the root.
  if (parsed.authority && parsed.rawPath.empty()) parsed.rawPath.push_back('/');
  if (parsed.rawPath.empty() || parsed.rawPath.front() != '/') return std::nullopt;
  std::optional<std::string> path = DecodePath(parsed.rawPath);
  if (!path) return std::nullopt;
  parsed.path = std::move(*path);
  if (question != std::string_view::npos) parsed.query = std::string(rest.substr(question + 1));
  return parsed;
}

}  // namespace orv::proxy
