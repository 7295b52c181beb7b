// How the client reaches the service: one HTTP GET per request, behind a small interface so
// that orvctl (Boost.Beast), the console (its background downloader) and tests each bring
// their own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orv::online {

enum class GetOutcome {
  Answered,        // status 200 or 500: the body is the reply
  OtherStatus,     // any other status: the body is ignored
  NetworkFailure,  // no complete response (refused, timed out, cut short, or too large)
};

struct HttpReply {
  GetOutcome outcome = GetOutcome::NetworkFailure;
  std::string body;    // as received, line breaks included
  std::string detail;  // for logs: why a request failed ("" when it did not)
};

// A reply body beyond this many bytes ends the request as a network failure: a real keyword
// list is a few hundred KiB, and a hostile or broken service must not fill the memory.
inline constexpr std::size_t kMaxReplyBytes = 32u * 1024u * 1024u;

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // One GET of `url` (which the transport completes with the cache-buster "rnum"), one
  // attempt, no retry. Must not return a body longer than kMaxReplyBytes.
  virtual HttpReply HttpGet(const std::string& url) = 0;
};

// `url` + "?rnum=N" or "&rnum=N", as the URL needs.
std::string WithCacheBuster(std::string_view url, int number);

// The reply text the client reads, as the console's downloader hands it over: the body's
// lines joined without separators for an answer, empty for another status, and "x" for a
// network failure that brought no bytes.
std::string ReplyText(const HttpReply& reply);

}  // namespace orv::online
