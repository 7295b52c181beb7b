// What reaches the client from arbitrary bytes. The first byte picks options; the rest is read
// twice: as whatever the engine wrote for a block page, and as an upstream response head. Every
// response framed from either must parse back as exactly one well-formed HTTP/1.1 message whose
// framing matches what was meant: a block page's Content-Length is its body's length, nothing
// from the engine or the origin adds a field or a line, and nothing is left over after it.
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "proxy/upstream_parser.h"
#include "proxy/wire_format.h"

namespace {

namespace http = boost::beast::http;
using orv::proxy::EqualsNoCase;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// Parses `wire` as one complete response; the parser must consume every byte.
template <class Body>
void ParseWhole(http::response_parser<Body>& parser, std::string_view wire) {
  boost::beast::error_code ec;
  std::size_t used = 0;
  while (used < wire.size() && !parser.is_done()) {
    std::size_t step = parser.put(boost::asio::buffer(wire.data() + used, wire.size() - used), ec);
    if (ec == http::error::need_more) ec = {};
    Check(!ec);
    if (step == 0) break;
    used += step;
  }
  // Everything was there: a body read until the connection ends finishes with it.
  if (!parser.is_done()) parser.put_eof(ec);
  Check(!ec);
  Check(parser.is_done());
  Check(used == wire.size());
}

void CheckBlockPage(std::string_view bytes, bool accessDenied, bool headRequest) {
  const orv::proxy::BlockPage page = orv::proxy::ReadBlockPage(bytes, accessDenied);
  Check(page.status >= 200 && page.status <= 599);
  if (accessDenied) Check(page.status == 401 && page.reason == "Access Denied");
  Check(!page.reason.empty() && !HasLineBreak(page.reason));
  bool hasType = false;
  for (const orv::proxy::HeaderField& field : page.fields) {
    Check(!HasLineBreak(field.name) && !HasLineBreak(field.value));
    Check(EqualsNoCase(field.name, "Content-Type") || EqualsNoCase(field.name, "Cache-Control"));
    hasType |= EqualsNoCase(field.name, "Content-Type");
  }
  Check(hasType);
  // The body is what the engine wrote after its head (or all of it).
  Check(page.body.size() <= bytes.size());
  Check(bytes.substr(bytes.size() - page.body.size()) == page.body);

  const std::string wire = orv::proxy::BlockPageText(page, headRequest);
  http::response_parser<http::string_body> parser;
  parser.eager(true);
  if (headRequest) parser.skip(true);
  ParseWhole(parser, wire);
  const auto& message = parser.get();
  Check(message.result_int() == page.status);
  Check(!message.keep_alive());
  Check(!message.chunked());
  auto length = message.find(http::field::content_length);
  Check(length != message.end());
  Check(length->value() == std::to_string(page.body.size()));
  Check(headRequest ? message.body().empty() : message.body() == page.body);
  // The fields are the page's, plus our framing; nothing smuggled in.
  Check(static_cast<std::size_t>(std::distance(message.begin(), message.end())) ==
        page.fields.size() + 2);
}

void CheckClientHead(const orv::proxy::ResponseHead& head, orv::proxy::Framing framing,
                     std::optional<std::uint64_t> length, bool keepAlive, bool http10Client,
                     std::string_view body) {
  using orv::proxy::Framing;
  std::string wire = orv::proxy::ClientHeadText(head, framing, length, keepAlive, http10Client);
  if (framing == Framing::kChunked) {
    wire += orv::proxy::ChunkFrame(body);
    wire += orv::proxy::kLastChunk;
  } else if (framing != Framing::kNoBody) {
    wire += body;
  }
  http::response_parser<http::string_body> parser;
  parser.eager(true);
  parser.body_limit(std::uint64_t{1} << 40);
  if (framing == Framing::kNoBody) parser.skip(true);
  ParseWhole(parser, wire);
  const auto& message = parser.get();
  Check(message.result_int() == head.status);
  Check(message.reason() == head.reason);
  if (framing != Framing::kNoBody) Check(message.body() == body);
  Check(message.chunked() == (framing == Framing::kChunked));
  if (!keepAlive || framing == Framing::kUntilClose) Check(!message.keep_alive());
  if (framing == Framing::kLength) {
    auto field = message.find(http::field::content_length);
    Check(field != message.end() && field->value() == std::to_string(body.size()));
  }
  if (framing == Framing::kUntilClose)
    Check(message.find(http::field::content_length) == message.end());
  // Only the origin's end-to-end fields and our framing: no field of the origin's for
  // the connection or the length reaches the client.
  for (const auto& field : message) {
    if (!orv::proxy::IsHopByHopField(field.name_string())) continue;
    Check(field.name() == http::field::content_length ||
          field.name() == http::field::transfer_encoding ||
          field.name() == http::field::connection);
  }
}

void CheckResponseHead(std::string_view bytes, std::uint8_t flags) {
  orv::proxy::UpstreamParser parser;
  parser.skip(true);
  boost::beast::error_code ec;
  parser.put(boost::asio::buffer(bytes.data(), bytes.size()), ec);
  if (ec || !parser.is_header_done()) return;
  const orv::proxy::ResponseHead head = parser.Head();
  for (const orv::proxy::HeaderField& field : head.fields)
    Check(!HasLineBreak(field.name) && !HasLineBreak(field.value));
  if (head.status < 200 && head.status != 101) return;  // interim answers never reach the client

  const bool keepAlive = flags & 4;
  const bool http10 = flags & 8;
  const std::string_view body = bytes.substr(0, bytes.size() / 3);
  using orv::proxy::Framing;
  if (!orv::proxy::StatusHasNoBody(head.status)) {
    CheckClientHead(head, Framing::kLength, body.size(), keepAlive, http10, body);
    CheckClientHead(head, Framing::kChunked, std::nullopt, keepAlive, http10, body);
    CheckClientHead(head, Framing::kUntilClose, std::nullopt, keepAlive, http10, body);
  }
  CheckClientHead(head, Framing::kNoBody, head.contentLength, keepAlive, http10, {});

  // The head the engine screens is a complete head of its own.
  const std::string engineHead = orv::proxy::EngineHeadText(head, head.contentLength);
  http::response_parser<http::empty_body> engineParser;
  engineParser.skip(true);
  engineParser.put(boost::asio::buffer(engineHead.data(), engineHead.size()), ec);
  Check(!ec && engineParser.is_header_done());
  Check(engineParser.get().result_int() == head.status);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  // A heap copy of exactly the remaining bytes, so reading one past the end trips ASan.
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  CheckBlockPage(bytes, flags & 1, flags & 2);
  CheckResponseHead(bytes, flags);

  const std::string frame = orv::proxy::ChunkFrame(bytes);
  if (bytes.empty()) {
    Check(frame.empty());
  } else {
    std::size_t sizeEnd = frame.find("\r\n");
    Check(sizeEnd != std::string::npos);
    std::uint64_t chunkSize = 0;
    auto [end, ec] = std::from_chars(frame.data(), frame.data() + sizeEnd, chunkSize, 16);
    Check(ec == std::errc() && end == frame.data() + sizeEnd && chunkSize == bytes.size());
    Check(frame.compare(sizeEnd + 2, bytes.size(), bytes) == 0);
    Check(frame.size() == sizeEnd + 4 + bytes.size() && frame.ends_with("\r\n"));
  }
  return 0;
}
