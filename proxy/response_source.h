// Where a response comes from once the engine has let the request through: the upstream
// server (--upstream) or the served folder (--root). The connection screens and frames what
// a source delivers without knowing which one it is.
#pragma once

// Boost 1.74's awaitable.hpp uses std::exchange without including <utility>.
#include <boost/asio/awaitable.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <chrono>
#include <cstddef>
#include <string>
#include <utility>

#include "proxy/loop_stream.h"
#include "proxy/request_facts.h"
#include "proxy/wire_format.h"

namespace orv::proxy {

using ForwardRequest = boost::beast::http::request<boost::beast::http::string_body>;

// Every failure is answered 502 but a timeout, which is 504; the kinds are told apart for the
// administrator's counters.
enum class SourceResult {
  kOk,
  kUnreachable,  // could not connect
  kTimeout,      // no answer in time
  kBrokenOff,    // reset or closed before the response was whole
  kMalformed,    // a head or body framing that is not HTTP/1.1
  kTlsFailed,    // the TLS handshake or the check of the certificate failed
};

class ResponseSource {
 public:
  virtual ~ResponseSource() = default;

  // Sends the request on (or finds the file) and reads the response's head.
  virtual LoopAwaitable<SourceResult> Start(ForwardRequest& request, const RequestFacts& facts,
                                            ResponseHead& head) = 0;

  // Appends body bytes to `out` until it holds `limit` bytes or the body is complete, which
  // `complete` then says. With a `pause` above zero it also returns once it has appended
  // something and no more arrives for that long: a stream that pauses (server-sent events, a
  // long poll) is passed on at each pause rather than when the buffer is full.
  virtual LoopAwaitable<SourceResult> Read(std::string& out, std::size_t limit, bool& complete,
                                           std::chrono::milliseconds pause) = 0;

  // The response was delivered whole (`complete`) or abandoned; an upstream connection goes
  // back to the pool only in the first case.
  virtual void Finish(bool complete) = 0;
};

}  // namespace orv::proxy
