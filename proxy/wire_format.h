// The bytes orvproxy writes to its clients. The engine works on responses as IIS sends them
// (status line, headers, blank line, body) and may hand back a header template of its own with
// bare "\n" line ends and placeholder fields; everything the client receives is framed here
// afresh, so that whatever the engine decided, the client gets well-formed HTTP/1.1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "proxy/request_facts.h"

namespace orv::proxy {

struct ResponseHead {
  unsigned status = 200;
  std::string reason = "OK";
  std::vector<HeaderField> fields;  // as the origin sent them
  std::optional<std::uint64_t> contentLength;
};

// Fields that describe one connection or the framing of one message; never passed along.
bool IsHopByHopField(std::string_view name);

// Status codes that never carry a body.
bool StatusHasNoBody(unsigned status);

// The head the engine screens: "HTTP/1.1 200 OK", the origin's end-to-end fields, and
// Content-Length when the length is known.
std::string EngineHeadText(const ResponseHead& head, std::optional<std::uint64_t> contentLength);

enum class Framing {
  kLength,      // Content-Length: the whole body is in hand
  kChunked,     // streamed to an HTTP/1.1 client
  kUntilClose,  // streamed to an HTTP/1.0 client: the body ends when the connection does
  kNoBody,      // HEAD, 204, 304: Content-Length (when given) describes what was not sent
};

std::string ClientHeadText(const ResponseHead& head, Framing framing,
                           std::optional<std::uint64_t> length, bool keepAlive, bool http10Client);

// One chunk of a chunked body; empty data gives no bytes (a zero-size chunk would end it).
std::string ChunkFrame(std::string_view data);
inline constexpr std::string_view kLastChunk = "0\r\n\r\n";

// A block page as the engine produced it, ready to be framed.
struct BlockPage {
  unsigned status = 403;
  std::string reason = "Forbidden";
  std::vector<HeaderField> fields;  // Content-Type and Cache-Control of the engine's head
  std::string body;
};

// Reads what the engine wrote or put in place of a chunk. With a head of its own ("HTTP/1.1
// 200 OK\n...\n\n") the body follows it and its content type is kept; otherwise the bytes
// are the body. `accessDenied`: the engine asked for "401 Access Denied", which wins over the
// status of its head.
BlockPage ReadBlockPage(std::string_view bytes, bool accessDenied);

// The complete response for a block page: always Content-Length and "Connection: close".
std::string BlockPageText(const BlockPage& page, bool headRequest);

// orvproxy's own error responses (400, 413, 414, 431, 502, 504, ...), closing the connection.
std::string ErrorResponseText(unsigned status, std::string_view reason);

}  // namespace orv::proxy
