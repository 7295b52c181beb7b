// orvproxy's command line.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "proxy/client_address.h"

namespace orv::proxy {

inline constexpr std::size_t kDefaultChunkBuffer = 1024 * 1024;
inline constexpr std::size_t kDefaultBodyLimit = 8 * 1024 * 1024;
inline constexpr std::size_t kDefaultMaxConnections = 10000;
inline constexpr std::uint64_t kDefaultDecodedLimit = 64 * 1024 * 1024;

struct ListenAddress {
  std::string host;
  std::uint16_t port = 0;  // 0 picks a free port (printed on the startup line)
  bool tls = false;        // HTTPS with the certificate of --tls-cert
};

struct ProxyOptions {
  std::string settingsDirectory;  // holds OrvFilter.ini, OrvFilter.db and the default log/
  // In the order given; the first one's port is Port(). Without --listen or --listen-tls:
  // 127.0.0.1:8080, plain.
  std::vector<ListenAddress> listeners{{"127.0.0.1", 8080, false}};
  // --metrics: where a scraper reads the counters, plain HTTP on a listener of its own. Off
  // when empty.
  std::optional<ListenAddress> metrics;
  // PEM files of the TLS listeners: the certificate with its chain, and its key.
  std::string tlsCertificate;
  std::string tlsKey;

  // Exactly one of the two: forward to an upstream server, or serve a folder.
  std::string upstreamHost;
  std::string upstreamPort;
  bool upstreamTls = false;  // https://, checked against the system's CAs or upstreamCa
  std::string upstreamCa;
  std::string siteRoot;

  unsigned threads = 1;
  std::size_t chunkBuffer = kDefaultChunkBuffer;  // responses up to this size are screened whole
  std::size_t bodyLimit = kDefaultBodyLimit;      // larger request bodies get 413
  // Connections beyond this many open ones are closed as soon as they are accepted; 0: no limit.
  std::size_t maxConnections = kDefaultMaxConnections;
  // Peers whose X-Forwarded-For names the client (--trusted-proxy, repeatable).
  std::vector<AddressBlock> trustedProxies;

  // Not in the usage text: tests shorten them to exercise the timeouts quickly.
  std::chrono::milliseconds clientTimeout{30000};    // reading a request, writing a response
  std::chrono::milliseconds upstreamTimeout{60000};  // connecting, and each wait for upstream
  std::chrono::milliseconds shutdownGrace{5000};     // in-flight requests on SIGTERM

  // Response bodies: how far an encoded one may grow when decoded for screening, whether a
  // screened one is encoded again for a client that offers it, and how long a stream may
  // pause before what it sent so far is screened and passed on.
  std::uint64_t decodedLimit = kDefaultDecodedLimit;
  bool compress = true;
  std::chrono::milliseconds flushPause{100};

  bool UsesUpstream() const { return !upstreamHost.empty(); }
  bool HasTlsListener() const {
    for (const ListenAddress& listener : listeners)
      if (listener.tls) return true;
    return false;
  }
};

struct ParsedCommandLine {
  std::optional<ProxyOptions> options;  // empty on error or --help
  std::string message;                  // the error, or the usage text for --help
  bool help = false;
};

// `args` excludes the program name. `programDirectory` is the default settings folder.
ParsedCommandLine ParseCommandLine(const std::vector<std::string_view>& args,
                                   std::string_view programDirectory, unsigned hardwareThreads);

std::string UsageText();

}  // namespace orv::proxy
