// The request target on arbitrary bytes: whatever the client sends, the path the screening sees
// starts with "/", holds no "." or ".." segment, no "//", no "\\", "#", ";" or control byte, and
// is its own resolution; the raw path and query put back together give the target as sent. A
// Host value is accepted only as a valid host[:port], and reads back as itself. Header names
// from the same request go through their parsers too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "proxy/client_address.h"
#include "proxy/request_facts.h"
#include "proxy/request_target.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Starts with "/", and no segment between slashes is "." or "..".
void CheckResolved(std::string_view path) {
  Check(!path.empty() && path.front() == '/');
  std::size_t pos = 1;
  for (;;) {
    std::size_t slash = path.find('/', pos);
    std::string_view segment =
        path.substr(pos, slash == std::string_view::npos ? std::string_view::npos : slash - pos);
    Check(segment != "." && segment != "..");
    if (slash == std::string_view::npos) break;
    pos = slash + 1;
  }
  Check(orv::proxy::RemoveDotSegments(path) == path);
}

void CheckDecoded(std::string_view raw, const std::string& path) {
  CheckResolved(path);
  Check(path.find("//") == std::string::npos);
  for (char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    Check(c != '\\' && c != '#' && c != ';' && c != '?' && byte >= 0x20 && byte != 0x7f);
  }
  // Decoding only shrinks; resolution adds at most the leading "/" (or a trailing one for a
  // path that resolves to nothing but the root).
  Check(path.size() <= raw.size() + 1);
}

void CheckHost(const orv::proxy::HostAndPort& host) {
  Check(!host.name.empty() && host.name.back() != '.');
  for (char c : host.name) Check(!(c >= 'A' && c <= 'Z'));
  if (host.name.front() == '[') {
    Check(host.name.back() == ']');
  } else {
    for (char c : host.name)
      Check((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_');
  }
  if (!host.port.empty()) {
    Check(host.port.size() <= 5 && host.port.front() != '0');
    const int port = std::stoi(host.port);
    Check(port >= 1 && port <= 65535);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A heap copy of exactly `size` bytes, so reading one past the end trips ASan.
  const std::string input(reinterpret_cast<const char*>(data), size);

  if (std::optional<std::string> path = orv::proxy::DecodePath(input)) {
    CheckDecoded(input, *path);
    Check(orv::proxy::MergeSlashes(*path) == *path);
  }
  CheckResolved(orv::proxy::RemoveDotSegments(input));

  if (std::optional<orv::proxy::RequestTarget> target = orv::proxy::ParseRequestTarget(input)) {
    if (target->path == "*") {
      Check(input == "*" && target->rawPath == "*");
    } else {
      CheckDecoded(target->rawPath, target->path);
      Check(!target->rawPath.empty() && target->rawPath.front() == '/');
      Check(target->rawPath.find('?') == std::string::npos);
      // The upstream gets the target exactly as sent: in origin form it is the raw path and
      // the query put back together.
      if (!target->authority) {
        std::size_t question = input.find('?');
        Check(input.substr(0, question) == target->rawPath);
        Check(question == std::string::npos ? target->query.empty()
                                            : input.substr(question + 1) == target->query);
      } else {
        Check(target->authority.has_value() && !target->scheme.empty());
        CheckHost(*target->authority);
      }
    }
  }

  if (std::optional<orv::proxy::HostAndPort> host = orv::proxy::ParseHost(input)) {
    CheckHost(*host);
    // Accepted bytes are a host's bytes only; normalising twice changes nothing.
    Check(input.find_first_of("/?#@, %\\") == std::string::npos);
    const std::string again = host->port.empty() ? host->name : host->name + ":" + host->port;
    Check(orv::proxy::ParseHost(again) == host);
  }

  if (std::optional<boost::asio::ip::address> address = orv::proxy::ParseForwardedEntry(input)) {
    Check(!(address->is_v6() && address->to_v6().is_v4_mapped()));
  }
  const auto peer = boost::asio::ip::make_address("10.0.0.1");
  const std::string client =
      orv::proxy::ClientAddress(peer, input, {*orv::proxy::ParseAddressBlock("10.0.0.0/8")});
  // The client is the peer or an address the list holds.
  Check(client == "10.0.0.1" || orv::proxy::ParseForwardedEntry(client));

  orv::proxy::RequestFacts facts;
  facts.headers.push_back({input, "value"});
  // A field is found by its own name, whatever bytes the name holds.
  const std::optional<std::string> found = facts.Header(input);
  Check(found && *found == "value");
  return 0;
}
