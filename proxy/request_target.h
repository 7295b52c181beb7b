// The request target as the screening sees it: the path decoded and with its dot segments
// resolved, as IIS hands it over in the URL server variable, so that no encoding trick
// ("%2e%2e", "%2f", "\", "/./") slips a request past a URL black list. The upstream server
// still receives the target exactly as the client sent it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orv::proxy {

struct RequestTarget {
  std::string path;       // decoded, dot segments resolved, starts with "/" (or is "*")
  std::string rawPath;    // as sent, before "?"
  std::string query;      // raw, after the first "?", without it
  std::string authority;  // host[:port] of an absolute-form target, else empty
};

// Accepts origin form ("/a/b?q"), absolute form ("http://host/a?q") and "*". Empty for
// anything else, and for a path that decodes to a NUL byte (it would cut the variable short).
std::optional<RequestTarget> ParseRequestTarget(std::string_view target);

// Percent-decodes `raw` ("%" and two hex digits give one byte; anything else is kept as
// it is; "+" stays "+"), turns "\" into "/" and removes dot segments. Empty on a NUL byte.
std::optional<std::string> DecodePath(std::string_view raw);

// RFC 3986 remove_dot_segments on an absolute path; never climbs above "/".
std::string RemoveDotSegments(std::string_view path);

}  // namespace orv::proxy
