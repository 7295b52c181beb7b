#include "proxy/client_address.h"

#include <array>
#include <charconv>

#include "platform/ascii.h"

namespace orv::proxy {

namespace ip = boost::asio::ip;

namespace {

ip::address Unmapped(const ip::address& address) {
  if (address.is_v6() && address.to_v6().is_v4_mapped())
    return ip::make_address_v4(ip::v4_mapped, address.to_v6());
  return address;
}

// As written: an IPv4-mapped address stays IPv6 here.
std::optional<ip::address> ParseWrittenAddress(std::string_view text) {
  // inet_pton underneath: dotted quads only, no leading zeros; no scope ids.
  if (text.empty() || text.find('%') != std::string_view::npos) return std::nullopt;
  boost::system::error_code ec;
  ip::address address = ip::make_address(std::string(text), ec);
  if (ec) return std::nullopt;
  return address;
}

std::optional<ip::address> ParseAddress(std::string_view text) {
  std::optional<ip::address> address = ParseWrittenAddress(text);
  if (address) address = Unmapped(*address);
  return address;
}

bool AllDigits(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

std::optional<AddressBlock> ParseAddressBlock(std::string_view text) {
  const std::size_t slash = text.find('/');
  std::optional<ip::address> written = ParseWrittenAddress(text.substr(0, slash));
  if (!written) return std::nullopt;
  unsigned prefix = written->is_v4() ? 32 : 128;
  if (slash != std::string_view::npos) {
    std::string_view digits = text.substr(slash + 1);
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), prefix);
    if (digits.empty() || digits.size() > 3 || ec != std::errc() ||
        end != digits.data() + digits.size() || prefix > (written->is_v4() ? 32u : 128u))
      return std::nullopt;
  }
  const ip::address address = Unmapped(*written);
  // Peers are compared unmapped too, so "::ffff:10.0.0.0/104" is the IPv4 block 10.0.0.0/8.
  if (written->is_v6() && address.is_v4()) {
    if (prefix < 96) return std::nullopt;
    prefix -= 96;
  }
  return AddressBlock{address, prefix};
}

bool BlockContains(const AddressBlock& block, const ip::address& address) {
  const ip::address candidate = Unmapped(address);
  if (candidate.is_v4() != block.network.is_v4()) return false;
  auto compare = [&](const auto& a, const auto& b) {
    unsigned bits = block.prefixLength;
    for (std::size_t i = 0; bits > 0; ++i) {
      const unsigned take = bits >= 8 ? 8 : bits;
      const unsigned mask = (0xFFu << (8 - take)) & 0xFFu;
      if ((a[i] & mask) != (b[i] & mask)) return false;
      bits -= take;
    }
    return true;
  };
  if (candidate.is_v4())
    return compare(block.network.to_v4().to_bytes(), candidate.to_v4().to_bytes());
  return compare(block.network.to_v6().to_bytes(), candidate.to_v6().to_bytes());
}

bool AnyBlockContains(const std::vector<AddressBlock>& blocks, const ip::address& address) {
  for (const AddressBlock& block : blocks)
    if (BlockContains(block, address)) return true;
  return false;
}

std::optional<ip::address> ParseForwardedEntry(std::string_view entry) {
  entry = ascii::TrimBlanks(entry);
  if (!entry.empty() && entry.front() == '[') {
    const std::size_t close = entry.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    std::string_view rest = entry.substr(close + 1);
    if (!rest.empty() && (rest.front() != ':' || !AllDigits(rest.substr(1)))) return std::nullopt;
    const std::string_view inner = entry.substr(1, close - 1);
    if (inner.find(':') == std::string_view::npos) return std::nullopt;  // "[1.2.3.4]"
    return ParseAddress(inner);
  }
  // One colon can only be an IPv4 address and its port; more make an IPv6 address.
  const std::size_t colon = entry.find(':');
  if (colon != std::string_view::npos && entry.find(':', colon + 1) == std::string_view::npos) {
    if (!AllDigits(entry.substr(colon + 1))) return std::nullopt;
    std::optional<ip::address> address = ParseAddress(entry.substr(0, colon));
    if (!address || !address->is_v4()) return std::nullopt;
    return address;
  }
  return ParseAddress(entry);
}

std::string AddressText(const ip::address& address) {
  return Unmapped(address).to_string();
}

std::string ClientAddress(const ip::address& peer, std::string_view forwardedFor,
                          const std::vector<AddressBlock>& trusted) {
  if (forwardedFor.empty() || !AnyBlockContains(trusted, peer)) return AddressText(peer);
  std::optional<ip::address> leftmost;
  std::size_t end = forwardedFor.size();
  for (;;) {
    const std::size_t comma = forwardedFor.rfind(',', end == 0 ? 0 : end - 1);
    const bool first = comma == std::string_view::npos || end == 0;
    const std::size_t begin = first ? 0 : comma + 1;
    if (std::optional<ip::address> address =
            ParseForwardedEntry(forwardedFor.substr(begin, end - begin))) {
      if (!AnyBlockContains(trusted, *address)) return AddressText(*address);
      leftmost = address;
    }
    if (first) break;
    end = comma;
  }
  return AddressText(leftmost ? *leftmost : peer);
}

}  // namespace orv::proxy
