#include "proxy/client_address.h"

#include <gtest/gtest.h>

namespace orv::proxy {
namespace {

namespace ip = boost::asio::ip;

std::vector<AddressBlock> Blocks(std::initializer_list<const char*> texts) {
  std::vector<AddressBlock> blocks;
  for (const char* text : texts) blocks.push_back(ParseAddressBlock(text).value());
  return blocks;
}

bool Contains(const char* block, const char* address) {
  return BlockContains(ParseAddressBlock(block).value(), ip::make_address(address));
}

TEST(AddressBlock, PrefixesCompareTheLeadingBits) {
  EXPECT_TRUE(Contains("10.0.0.0/8", "10.255.1.2"));
  EXPECT_FALSE(Contains("10.0.0.0/8", "11.0.0.0"));
  EXPECT_TRUE(Contains("192.168.1.128/25", "192.168.1.200"));
  EXPECT_FALSE(Contains("192.168.1.128/25", "192.168.1.127"));
  EXPECT_TRUE(Contains("10.0.0.7", "10.0.0.7"));
  EXPECT_FALSE(Contains("10.0.0.7", "10.0.0.70"));
  EXPECT_TRUE(Contains("0.0.0.0/0", "203.0.113.9"));
  EXPECT_TRUE(Contains("2001:db8::/32", "2001:db8:ffff::1"));
  EXPECT_FALSE(Contains("2001:db8::/32", "2001:db9::1"));
  EXPECT_FALSE(Contains("::/0", "10.0.0.1"));  // families do not mix...
  // ...except that a dual-stack socket's IPv4-mapped peer is its IPv4 address.
  EXPECT_TRUE(Contains("10.0.0.0/8", "::ffff:10.1.2.3"));
  EXPECT_TRUE(Contains("::ffff:10.0.0.0/104", "10.9.9.9"));
  EXPECT_FALSE(ParseAddressBlock("::ffff:10.0.0.0/95"));
}

TEST(ForwardedEntry, AddressesWithOrWithoutPort) {
  EXPECT_EQ(ParseForwardedEntry(" 203.0.113.9 "), ip::make_address("203.0.113.9"));
  EXPECT_EQ(ParseForwardedEntry("203.0.113.9:4711"), ip::make_address("203.0.113.9"));
  EXPECT_EQ(ParseForwardedEntry("2001:db8::1"), ip::make_address("2001:db8::1"));
  EXPECT_EQ(ParseForwardedEntry("[2001:db8::1]:443"), ip::make_address("2001:db8::1"));
  EXPECT_EQ(ParseForwardedEntry("::ffff:192.0.2.1"), ip::make_address("192.0.2.1"));
  for (const char* entry : {"", "unknown", "203.0.113", "203.0.113.9:", "203.0.113.9:x",
                            "[203.0.113.9]", "[::1", "01.2.3.4", "fe80::1%eth0", "1.2.3.4 5"})
    EXPECT_FALSE(ParseForwardedEntry(entry)) << entry;
}

TEST(ClientAddress, AnUntrustedPeerIsTheClientWhateverItClaims) {
  // The forging attempt: a white-listed address in X-Forwarded-For from anywhere.
  const auto peer = ip::make_address("198.51.100.4");
  EXPECT_EQ(ClientAddress(peer, "10.0.0.1", {}), "198.51.100.4");
  EXPECT_EQ(ClientAddress(peer, "10.0.0.1", Blocks({"10.0.0.0/8"})), "198.51.100.4");
  EXPECT_EQ(ClientAddress(peer, "", Blocks({"198.51.100.0/24"})), "198.51.100.4");
  EXPECT_EQ(ClientAddress(ip::make_address("::ffff:198.51.100.4"), "", {}), "198.51.100.4");
}

TEST(ClientAddress, TrustedChainIsWalkedFromTheRight) {
  const auto trusted = Blocks({"10.0.0.0/8", "2001:db8::/32"});
  const auto proxy = ip::make_address("10.0.0.2");
  // The client put a trusted-looking address first; the proxies appended the real one.
  EXPECT_EQ(ClientAddress(proxy, "10.0.0.1, 203.0.113.9, 10.0.0.3", trusted), "203.0.113.9");
  EXPECT_EQ(ClientAddress(proxy, "198.51.100.1,203.0.113.9", trusted), "203.0.113.9");
  EXPECT_EQ(ClientAddress(proxy, "garbage, 203.0.113.9:55, junk", trusted), "203.0.113.9");
  EXPECT_EQ(ClientAddress(proxy, "[2001:db8::5]:80, 2001:db8::6", trusted), "2001:db8::5");
  // Every valid entry trusted: the leftmost; none valid: the peer itself.
  EXPECT_EQ(ClientAddress(proxy, "10.1.1.1, 10.2.2.2", trusted), "10.1.1.1");
  EXPECT_EQ(ClientAddress(proxy, "unknown, ,", trusted), "10.0.0.2");
  EXPECT_EQ(ClientAddress(proxy, ",,,", trusted), "10.0.0.2");
}

}  // namespace
}  // namespace orv::proxy
