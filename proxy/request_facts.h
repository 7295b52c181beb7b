// One request as the engine's handlers see it: the server variables IIS would give them and
// the request headers they may read and rewrite. Built once per request by the connection,
// shared by every notification of that request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "filter/request_memo.h"
#include "platform/ascii.h"

namespace orv::proxy {

struct HeaderField {
  std::string name;
  std::string value;
};

struct RequestFacts {
  std::string method;
  std::string url;           // decoded, dot segments resolved (server variable URL)
  std::string rawPath;       // the path as sent, for redirects
  std::string query;         // raw (QUERY_STRING)
  std::string remoteAddr;    // the client as orvproxy determined it (REMOTE_ADDR)
  std::string forwardedFor;  // X-Forwarded-For for the upstream, the peer appended
  std::string serverName;    // from Host (SERVER_NAME)
  std::string serverPort;    // from Host; "80", or "443" over TLS, when it names none (SERVER_PORT)
  std::string protocol;      // "HTTP/1.1" (SERVER_PROTOCOL)
  std::vector<HeaderField> headers;        // in the order received; SetHeader edits them here
  std::vector<std::string> editedHeaders;  // names set by the engine, to apply upstream
  std::string body;                        // the request body as received
  std::uint64_t totalBytes = 0;            // its declared length
  // Kept by the engine across this request's notifications: nothing above changes between
  // them but the headers the engine itself sets (Accept-Encoding).
  filter::RequestMemo memo;
  // Accept-Encoding as the client sent it, before the engine blanked it: what the response
  // may be encoded in on its way back.
  std::string clientAcceptEncoding;

  // A server variable as read into a buffer of `bufferSize` bytes: false when unknown, or
  // when the value and its NUL would not fit. The client's Via and X-Forwarded-For are
  // absent here: REMOTE_ADDR already says whose request it is.
  bool GetServerVariable(std::string_view name, std::size_t bufferSize, std::string& value) const;

  // Every field of that name (case-insensitive), joined by ", "; empty when absent.
  std::optional<std::string> Header(std::string_view name) const;
  // Replaces every field of that name by one (or adds it); an empty value removes them all.
  // Either way the name is recorded as edited, for the request that goes upstream.
  void SetHeader(std::string_view name, std::string_view value);
};

// Headers that name a client address, which only orvproxy may read (see REMOTE_ADDR).
bool IsClientAddressHeader(std::string_view headerName);

// "HTTP_" + the header name upper-cased with "-" as "_": how IIS names header variables.
std::string HeaderVariableName(std::string_view headerName);

// The proxy's sources compare header names with the shared rule unqualified.
using ascii::EqualsNoCase;

}  // namespace orv::proxy
