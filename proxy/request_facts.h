// One request as the connection learnt it: what the engine's phases are told of it
// (proxy/screening.cpp describes it to them) and the request headers the engine may have
// rewritten. Built once per request by the connection, shared by every phase of that request.
#pragma once

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
  std::string url;                         // decoded, dot segments resolved
  std::string rawPath;                     // the path as sent, for redirects
  std::string query;                       // raw, without "?"
  std::string remoteAddr;                  // the client as orvproxy determined it
  std::string forwardedFor;                // X-Forwarded-For for the upstream, the peer appended
  std::string serverName;                  // from Host
  std::string serverPort;                  // from Host; "80", or "443" over TLS, when it names none
  std::string protocol;                    // "HTTP/1.1"
  std::vector<HeaderField> headers;        // in the order received; SetHeader edits them here
  std::vector<std::string> editedHeaders;  // names set by the engine, to apply upstream
  std::string body;                        // the request body as received
  std::uint64_t totalBytes = 0;            // its declared length
  // Kept by the engine across this request's phases: nothing above changes between them but
  // the headers the engine itself had edited (Accept-Encoding, range fields).
  filter::RequestMemo memo;
  // Accept-Encoding as the client sent it, before the engine blanked it: what the response
  // may be encoded in on its way back.
  std::string clientAcceptEncoding;

  // Every field of that name (case-insensitive), joined by ", "; empty when absent.
  std::optional<std::string> Header(std::string_view name) const;
  // Replaces every field of that name by one (or adds it); an empty value removes them all.
  // Either way the name is recorded as edited, for the request that goes upstream.
  void SetHeader(std::string_view name, std::string_view value);
};

// The proxy's sources compare header names with the shared rule unqualified.
using ascii::EqualsNoCase;

}  // namespace orv::proxy
