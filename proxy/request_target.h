// The request target and Host as the screening sees them. The engine must judge the very
// resource the upstream serves, while the upstream still receives the target exactly as the
// client sent it. So the path is read the way a web server in front of files reads it
// (decoded once, repeated slashes merged, dot segments resolved), and every form that servers
// are known to read in more than one way ("\", an encoded "/", ";" parameters, a fragment,
// an encoded "?") is refused rather than guessed at: a guess that differs from the upstream's
// reading could name an unmonitored file type or a white-listed path for a page that is
// neither.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orv::proxy {

// A Host value or the authority of an absolute-form target, in the form the upstream treats
// as the same name: letters lower-cased, one trailing dot dropped, the port's leading zeros
// dropped.
struct HostAndPort {
  std::string name;  // reg-name or IPv4 text, or an IPv6 address in brackets
  std::string port;  // 1..65535 without leading zeros; empty when none was given
  bool operator==(const HostAndPort&) const = default;
};

// host[:port]: a name of letters, digits, "-", "." and "_" (no empty label but one trailing
// dot), or "[" IPv6 "]"; then optionally ":" and 1 to 5 digits naming a port from 1 to 65535.
// Empty for anything else: userinfo, a path or query, spaces, lists, escapes, an empty port.
std::optional<HostAndPort> ParseHost(std::string_view value);

// Two authorities name the same server; a missing port stands for `defaultPort`.
bool SameServer(const HostAndPort& a, const HostAndPort& b, std::string_view defaultPort);

struct RequestTarget {
  std::string path;                      // as the engine reads it; starts with "/" (or is "*")
  std::string rawPath;                   // as sent, before "?"
  std::string query;                     // raw, after the first "?", without it
  std::string scheme;                    // "http" or "https" in absolute form, else empty
  std::optional<HostAndPort> authority;  // of an absolute-form target
};

// Accepts origin form ("/a/b?q"), absolute form ("http://host/a?q", no userinfo) and "*".
// Empty for anything else, for a fragment mark anywhere, for a control byte or space, and
// for a path DecodePath refuses.
std::optional<RequestTarget> ParseRequestTarget(std::string_view target);

// The path as the engine reads it: percent-decoded once ("%" and two hex digits give one
// byte; anything else stays as it is; "+" stays "+"), repeated slashes merged, dot segments
// removed. Empty (refused) when the raw path holds "\", ";", "#", "?" or a control byte, or an
// escape decodes to one of those or to "/", "?" or NUL; and when merging slashes before or
// after resolving dot segments would name different paths ("/a//../b").
std::optional<std::string> DecodePath(std::string_view raw);

// Runs of "/" become one "/".
std::string MergeSlashes(std::string_view path);

// RFC 3986 remove_dot_segments on an absolute path; never climbs above "/".
std::string RemoveDotSegments(std::string_view path);

}  // namespace orv::proxy
