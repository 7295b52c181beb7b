#include "proxy/options.h"

#include <charconv>

namespace orv::proxy {
namespace {

template <typename Number>
bool ParseNumber(std::string_view text, Number& out) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

// "HOST:PORT" or "[V6]:PORT".
bool SplitHostPort(std::string_view text, std::string& host, std::string& port) {
  std::size_t colon;
  if (!text.empty() && text.front() == '[') {
    std::size_t close = text.find(']');
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
      return false;
    host = std::string(text.substr(1, close - 1));
    colon = close + 1;
  } else {
    colon = text.rfind(':');
    if (colon == std::string_view::npos) return false;
    host = std::string(text.substr(0, colon));
  }
  port = std::string(text.substr(colon + 1));
  std::uint16_t number = 0;
  return !host.empty() && ParseNumber(port, number);
}

bool ParseUpstream(std::string_view url, ProxyOptions& options) {
  constexpr std::string_view plain = "http://";
  constexpr std::string_view secure = "https://";
  const bool tls = url.substr(0, secure.size()) == secure;
  if (!tls && url.substr(0, plain.size()) != plain) return false;
  std::string_view rest = url.substr(tls ? secure.size() : plain.size());
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  if (rest.empty() || rest.find('/') != std::string_view::npos) return false;
  std::string host, port;
  if (rest.find(':') == std::string_view::npos || (rest.front() == '[' && rest.back() == ']')) {
    host = std::string(rest.front() == '[' ? rest.substr(1, rest.size() - 2) : rest);
    port = tls ? "443" : "80";
  } else if (!SplitHostPort(rest, host, port)) {
    return false;
  }
  options.upstreamHost = host;
  options.upstreamPort = port;
  options.upstreamTls = tls;
  return true;
}

ParsedCommandLine Fail(std::string message) {
  ParsedCommandLine result;
  result.message = std::move(message);
  return result;
}

// Every option takes a value; a name that is none of them is reported as unknown even when
// it comes last.
bool IsValueOption(std::string_view flag) {
  static constexpr std::string_view kOptions[] = {"--buffer",
                                                  "--client-timeout-ms",
                                                  "--compress",
                                                  "--decoded-limit",
                                                  "--dir",
                                                  "--flush-ms",
                                                  "--listen",
                                                  "--listen-tls",
                                                  "--max-body",
                                                  "--max-connections",
                                                  "--root",
                                                  "--shutdown-grace-ms",
                                                  "--threads",
                                                  "--tls-cert",
                                                  "--tls-key",
                                                  "--trusted-proxy",
                                                  "--upstream",
                                                  "--upstream-ca",
                                                  "--upstream-timeout-ms"};
  for (std::string_view option : kOptions) {
    if (flag == option) return true;
  }
  return false;
}

}  // namespace

std::string UsageText() {
  return "usage: orvproxy [--dir DIR] [--listen ADDR:PORT]... [--listen-tls ADDR:PORT]...\n"
         "                [--tls-cert FILE --tls-key FILE]\n"
         "                (--upstream http[s]://HOST:PORT [--upstream-ca FILE] | --root DIR)\n"
         "                [--threads N] [--buffer BYTES] [--trusted-proxy CIDR]... "
         "[--max-connections N]\n"
         "                [--decoded-limit BYTES] [--compress on|off] [--flush-ms MS]\n"
         "  --dir DIR          folder of OrvFilter.ini, OrvFilter.db and log/ (default: the "
         "program's folder)\n"
         "  --listen ADDR:PORT address to listen on for plain HTTP; repeatable (default "
         "127.0.0.1:8080\n"
         "                     when neither --listen nor --listen-tls is given)\n"
         "  --listen-tls ADDR:PORT  address to listen on for HTTPS (TLS 1.2 and 1.3); "
         "repeatable\n"
         "  --tls-cert FILE    PEM certificate of the HTTPS listeners, its chain after it\n"
         "  --tls-key FILE     PEM private key of that certificate (SIGHUP reads both again)\n"
         "  --upstream URL     forward requests to this HTTP/1.1 server; https:// checks its\n"
         "                     certificate against the system's CAs and its name\n"
         "  --upstream-ca FILE check an https:// upstream against the CAs in this PEM file "
         "instead\n"
         "  --root DIR         serve this folder instead\n"
         "  --threads N        worker threads (default: one per core)\n"
         "  --buffer BYTES     responses up to this size are screened as one chunk (default "
         "1048576)\n"
         "  --trusted-proxy CIDR  a proxy (address or block, IPv4 or IPv6) whose X-Forwarded-For "
         "names the client; repeatable\n"
         "  --max-connections N   connections open at once, more are closed at once (default "
         "10000; 0: no limit)\n"
         "  --decoded-limit BYTES  an encoded response may decode to at most this much "
         "(default 67108864)\n"
         "  --compress on|off  encode screened text for clients that accept gzip or br "
         "(default on)\n"
         "  --flush-ms MS      a response that pauses this long is screened and sent so far "
         "(default 100)\n";
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string_view>& args,
                                   std::string_view programDirectory, unsigned hardwareThreads) {
  ProxyOptions options;
  options.settingsDirectory = std::string(programDirectory);
  options.threads = hardwareThreads == 0 ? 1 : hardwareThreads;
  bool listenGiven = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view flag = args[i];
    if (flag == "--help" || flag == "-h") {
      ParsedCommandLine result;
      result.help = true;
      result.message = UsageText();
      return result;
    }
    if (!IsValueOption(flag)) {
      return Fail("orvproxy: unknown option " + std::string(flag) + "\n" + UsageText());
    }
    if (i + 1 >= args.size()) return Fail("orvproxy: " + std::string(flag) + " needs a value");
    std::string_view value = args[++i];
    std::uint64_t number = 0;
    if (flag == "--dir") {
      options.settingsDirectory = std::string(value);
    } else if (flag == "--listen" || flag == "--listen-tls") {
      ListenAddress listener;
      std::string port;
      listener.tls = flag == "--listen-tls";
      if (!SplitHostPort(value, listener.host, port) || !ParseNumber(port, listener.port))
        return Fail("orvproxy: " + std::string(flag) + " wants ADDR:PORT, not \"" +
                    std::string(value) + "\"");
      if (!listenGiven) options.listeners.clear();  // the default goes once one is named
      listenGiven = true;
      options.listeners.push_back(std::move(listener));
    } else if (flag == "--tls-cert") {
      options.tlsCertificate = std::string(value);
    } else if (flag == "--tls-key") {
      options.tlsKey = std::string(value);
    } else if (flag == "--upstream-ca") {
      options.upstreamCa = std::string(value);
    } else if (flag == "--upstream") {
      if (!ParseUpstream(value, options))
        return Fail("orvproxy: --upstream wants http://HOST:PORT, not \"" + std::string(value) +
                    "\"");
    } else if (flag == "--root") {
      options.siteRoot = std::string(value);
    } else if (flag == "--threads") {
      if (!ParseNumber(value, number) || number == 0 || number > 1024)
        return Fail("orvproxy: --threads wants a number from 1 to 1024");
      options.threads = static_cast<unsigned>(number);
    } else if (flag == "--buffer") {
      if (!ParseNumber(value, number) || number < 1024 || number > (std::uint64_t{1} << 30))
        return Fail("orvproxy: --buffer wants a byte count from 1024 to 1073741824");
      options.chunkBuffer = static_cast<std::size_t>(number);
    } else if (flag == "--max-body") {
      if (!ParseNumber(value, number) || number > (std::uint64_t{1} << 31))
        return Fail("orvproxy: --max-body wants a byte count");
      options.bodyLimit = static_cast<std::size_t>(number);
    } else if (flag == "--trusted-proxy") {
      std::optional<AddressBlock> block = ParseAddressBlock(value);
      if (!block)
        return Fail("orvproxy: --trusted-proxy wants an address or CIDR block, not \"" +
                    std::string(value) + "\"");
      options.trustedProxies.push_back(*block);
    } else if (flag == "--max-connections") {
      if (!ParseNumber(value, number) || number > 10000000)
        return Fail("orvproxy: --max-connections wants a number from 0 to 10000000");
      options.maxConnections = static_cast<std::size_t>(number);
    } else if (flag == "--client-timeout-ms" || flag == "--upstream-timeout-ms" ||
               flag == "--shutdown-grace-ms") {
      if (!ParseNumber(value, number) || number == 0 || number > 86400000)
        return Fail("orvproxy: " + std::string(flag) + " wants milliseconds");
      auto ms = std::chrono::milliseconds(number);
      if (flag == "--client-timeout-ms") options.clientTimeout = ms;
      if (flag == "--upstream-timeout-ms") options.upstreamTimeout = ms;
      if (flag == "--shutdown-grace-ms") options.shutdownGrace = ms;
    } else if (flag == "--decoded-limit") {
      if (!ParseNumber(value, number) || number < 1024)
        return Fail("orvproxy: --decoded-limit wants a byte count of at least 1024");
      options.decodedLimit = number;
    } else if (flag == "--compress") {
      if (value != "on" && value != "off") return Fail("orvproxy: --compress wants on or off");
      options.compress = value == "on";
    } else if (flag == "--flush-ms") {
      if (!ParseNumber(value, number) || number == 0 || number > 60000)
        return Fail("orvproxy: --flush-ms wants milliseconds from 1 to 60000");
      options.flushPause = std::chrono::milliseconds(number);
    } else {
      return Fail("orvproxy: unknown option " + std::string(flag) + "\n" + UsageText());
    }
  }
  if (options.UsesUpstream() == !options.siteRoot.empty())
    return Fail("orvproxy: give exactly one of --upstream and --root\n" + UsageText());
  const bool certificateGiven = !options.tlsCertificate.empty() || !options.tlsKey.empty();
  if (options.HasTlsListener() && (options.tlsCertificate.empty() || options.tlsKey.empty()))
    return Fail("orvproxy: --listen-tls needs --tls-cert and --tls-key\n");
  // A certificate without a TLS listener would leave the administrator believing the
  // listener is HTTPS while it speaks plain HTTP.
  if (certificateGiven && !options.HasTlsListener())
    return Fail(
        "orvproxy: --tls-cert and --tls-key serve the --listen-tls addresses; "
        "give at least one\n");
  if (!options.upstreamCa.empty() && !options.upstreamTls)
    return Fail("orvproxy: --upstream-ca needs an https:// upstream\n");

  ParsedCommandLine result;
  result.options = std::move(options);
  return result;
}

}  // namespace orv::proxy
