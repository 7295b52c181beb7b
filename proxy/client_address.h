// Whose request it is. The engine's address lists (black and white) are only as good as the
// address they are given, so orvproxy decides it and the engine reads nothing else: the
// socket's peer, or, when that peer is a proxy the administrator trusts (--trusted-proxy),
// the address those proxies recorded in X-Forwarded-For. A client's own X-Forwarded-For or
// Via is never taken at its word.
#pragma once

#include <boost/asio/ip/address.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::proxy {

// An address and how many of its leading bits a peer must share with it.
struct AddressBlock {
  boost::asio::ip::address network;  // IPv4 for IPv4 and IPv4-mapped blocks
  unsigned prefixLength = 0;
};

// "10.0.0.0/8", "2001:db8::/32", or a bare address (all its bits). Empty for anything else.
std::optional<AddressBlock> ParseAddressBlock(std::string_view text);

bool BlockContains(const AddressBlock& block, const boost::asio::ip::address& address);
bool AnyBlockContains(const std::vector<AddressBlock>& blocks,
                      const boost::asio::ip::address& address);

// One entry of an X-Forwarded-For list: an address, "a.b.c.d:port", "[v6]" or "[v6]:port",
// with blanks around it. IPv4-mapped IPv6 addresses come back as IPv4.
std::optional<boost::asio::ip::address> ParseForwardedEntry(std::string_view entry);

// An address as the engine's lists spell it; IPv4-mapped IPv6 as the IPv4 address.
std::string AddressText(const boost::asio::ip::address& address);

// The client of a request that came from `peer` with these X-Forwarded-For values (joined by
// ","; empty when absent). Only when the peer is trusted is the list read: from the right,
// past addresses of trusted proxies, to the first valid address that is not one; when every
// valid entry is trusted, the leftmost valid one; when none is valid, the peer.
std::string ClientAddress(const boost::asio::ip::address& peer, std::string_view forwardedFor,
                          const std::vector<AddressBlock>& trusted);

}  // namespace orv::proxy
