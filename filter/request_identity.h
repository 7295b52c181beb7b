// Who asked for what, as the IIS mapping reads it from server variables for each notification
// (IIS keeps no memo for the engine). Each variable is read into a bounded buffer exactly as
// IIS would hand it over; a read that fails counts as the empty value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "filter/host.h"

namespace orv::filter {

// Buffer sizes of the variables, in bytes including the terminating NUL.
inline constexpr std::size_t kAddressBuffer = 32;
inline constexpr std::size_t kRewriteUrlBuffer = 2083;
inline constexpr std::size_t kRewriteServerNameBuffer = 128;
inline constexpr std::size_t kPortBuffer = 10;
inline constexpr std::size_t kFilterServerNameBuffer = 64;
inline constexpr std::size_t kExtensionServerNameBuffer = 128;
inline constexpr std::size_t kUrlBuffer = 1041;
inline constexpr std::size_t kFilterQueryBuffer = 1041;
inline constexpr std::size_t kLongVariableBuffer = 2083;  // query string, method, user agent

// Which interface the request came through; the extension reads some variables into
// larger buffers and has no rewrite URL.
enum class Role { Filter, Extension };

// Reads a server variable as into a zeroed buffer of `bufferSize` bytes; false (and an empty
// value) when it cannot be read or does not fit with its NUL.
bool TryReadVariable(RequestHost& host, const char* name, std::size_t bufferSize,
                     std::string& value);
// A server variable, or the empty text when it cannot be read.
std::string ReadVariable(RequestHost& host, const char* name, std::size_t bufferSize);

// HTTP_X_FORWARDED_FOR when the request came through a proxy (HTTP_VIA is set) and names one,
// else REMOTE_ADDR; the IPv6 loopback is reported as "127.0.0.1". Client-controlled when
// proxied.
std::string ClientAddress(RequestHost& host);

// Server name, ":" and port unless the port is "80", then the X-Rewrite-URL header; empty
// when there is no rewrite URL or one of the three reads fails.
std::string RewriteUrl(RequestHost& host);

// Server name, ":" and port unless the port is "80", the URL and, when asked and non-empty,
// "?" and the query string. Not lower-cased.
std::string BuiltUrl(RequestHost& host, Role role, bool withQuery);

// The URL the lists are matched against: the rewrite URL if there is one (filter role
// only), else the built URL with query; lower-cased.
std::string RequestUrl(RequestHost& host, Role role);

// The request URL up to its first "?".
std::string_view RequestPath(std::string_view requestUrl);

// The file-type token of a request path ("host[:port]/folder/name.ext"), "|ext|": taken from
// the last segment of the path only, so the host name and folder names never count; empty
// when that segment has no "." (site roots, folders and extension-less names are screened).
std::string ExtensionToken(std::string_view requestPath);

// The script that stops the browser loading the rest of a blocked page.
std::string StopScript(RequestHost& host);

inline constexpr std::string_view kStopScriptMsie = "document.execCommand(\"stop\")";
inline constexpr std::string_view kStopScriptOther = "window.stop()";

}  // namespace orv::filter
