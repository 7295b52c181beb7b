// The online service transport of orvctl and its background service: Boost.Beast over plain
// TCP ("http://") or TLS ("https://", the peer's certificate checked against the system's
// trust store and the host name).
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "online/transport.h"

namespace orv::online {

struct ServiceUrlParts {
  bool tls = false;
  std::string host;  // without brackets for an IPv6 literal
  std::string port;
  std::string target;  // path and query, "/" when empty
};

// Splits an absolute "http://" or "https://" URL; false for any other form (user info, a
// fragment, a bad port, control bytes or spaces).
bool SplitServiceUrl(std::string_view url, ServiceUrlParts& parts);

class BeastTransport final : public HttpTransport {
 public:
  static constexpr std::chrono::seconds kDefaultTimeout{30};
  explicit BeastTransport(std::chrono::milliseconds timeout = kDefaultTimeout,
                          std::string userAgent = "orvctl",
                          std::size_t maxReplyBytes = kMaxReplyBytes)
      : timeout_(timeout), userAgent_(std::move(userAgent)), maxReplyBytes_(maxReplyBytes) {}

  // The whole exchange (name lookup to last body byte) is bounded by the timeout.
  HttpReply HttpGet(const std::string& url) override;

 private:
  std::chrono::milliseconds timeout_;
  std::string userAgent_;
  std::size_t maxReplyBytes_;
};

}  // namespace orv::online
