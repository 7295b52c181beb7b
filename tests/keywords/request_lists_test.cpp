#include "keywords/request_lists.h"

#include <gtest/gtest.h>

#include <random>

namespace orv::keywords {
namespace {

TEST(MatchUrlList, SubstringInListOrder) {
  std::string matched = "unchanged";
  const std::vector<std::string> list{".asp;", "/admin"};
  EXPECT_TRUE(MatchUrlList("/a.asp;.jpg", list, false, matched));
  EXPECT_EQ(matched, ".asp;");
  EXPECT_TRUE(MatchUrlList("/x/admin2/", list, false, matched));
  EXPECT_EQ(matched, "/admin");
  matched = "unchanged";
  EXPECT_FALSE(MatchUrlList("/index.htm", list, false, matched));
  EXPECT_EQ(matched, "unchanged");
  EXPECT_FALSE(MatchUrlList("/a", {}, false, matched));
}

TEST(MatchUrlList, AgreesWithAPlainSearchOnEveryMix) {
  // Entries made of bytes the text holds but not in its order, high bytes, and the empty
  // entry (which occurs everywhere): the first entry in list order that occurs wins.
  std::mt19937 rng(3);
  const std::string alphabet = "/.a;\xB0\xE4";
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (std::size_t n = rng() % 12; n > 0; --n) text += alphabet[rng() % alphabet.size()];
    std::vector<std::string> list(rng() % 5);
    for (std::string& entry : list) {
      for (std::size_t n = rng() % 4; n > 0; --n) entry += alphabet[rng() % alphabet.size()];
    }
    const std::string untouched = "untouched";  // no entry can be this
    std::string want = untouched;
    for (const std::string& entry : list) {
      if (text.find(entry) != std::string::npos) {
        want = entry;
        break;
      }
    }
    std::string got = untouched;
    EXPECT_EQ(MatchUrlList(text, list, false, got), want != untouched) << text;
    EXPECT_EQ(got, want) << text;
  }
}

TEST(MatchUrlList, ExactModeWantsTheWholeText) {
  std::string matched;
  const std::vector<std::string> list{"/admin", "/admin/login.asp"};
  EXPECT_TRUE(MatchUrlList("/admin/login.asp", list, true, matched));
  EXPECT_EQ(matched, "/admin/login.asp");
  EXPECT_FALSE(MatchUrlList("/admin/", list, true, matched));
}

TEST(MatchIpList, SingleAddressesCompareAsText) {
  const std::vector<std::string> list{"10.0.0.1"};
  EXPECT_TRUE(MatchIpList("10.0.0.1", list));
  EXPECT_FALSE(MatchIpList("10.0.0.10", list));
  // Shorter than 17 bytes: a range in looks only, compared as text, never matching.
  EXPECT_FALSE(MatchIpList("1.1.1.5", {"1.1.1.1-1.1.1.9"}));
  EXPECT_TRUE(MatchIpList("1.1.1.1-1.1.1.9", {"1.1.1.1-1.1.1.9"}));
}

TEST(MatchIpList, RangesCompareAsAddresses) {
  const std::vector<std::string> list{"192.168.1.0-192.168.1.255"};
  EXPECT_TRUE(MatchIpList("192.168.1.77", list));
  EXPECT_TRUE(MatchIpList("192.168.1.0", list));
  EXPECT_TRUE(MatchIpList("192.168.1.255", list));
  EXPECT_FALSE(MatchIpList("192.168.0.255", list));
  EXPECT_FALSE(MatchIpList("192.168.2.0", list));
  EXPECT_TRUE(MatchIpList("10.0.200.3", {"10.0.*.*-10.0.255.255"}));
  EXPECT_FALSE(MatchIpList("10.1.0.0", {"10.0.*.*-10.0.255.255"}));
}

TEST(MatchIpList, AnAddressEndingIn255DoesNotSpillIntoTheNextBlock) {
  // Counted with 255 as the base, x.y.z.255 and x.y.(z+1).0 were one number.
  EXPECT_FALSE(MatchIpList("10.0.1.0", {"10.0.0.200-10.0.0.255"}));
  EXPECT_FALSE(MatchIpList("10.0.0.255", {"10.0.1.0-10.0.1.100"}));
  EXPECT_TRUE(MatchIpList("10.0.0.255", {"10.0.0.200-10.0.0.255"}));
}

TEST(MatchIpList, PiecesCountByTheirLeadingDigits) {
  EXPECT_TRUE(MatchIpList("10.0.0.5x", {"10.0.0.1-10.0.0.9abcdef"}));
  EXPECT_TRUE(MatchIpList("10.0.0.0", {"10.0.0.a-10.0.0.9abcdef"}));  // "a" reads as 0
}

TEST(MatchIpList, MalformedEndsMatchNothing) {
  EXPECT_FALSE(MatchIpList("1.2.4.0", {"1.2.3-1.2.4.5      "}));
  EXPECT_FALSE(MatchIpList("1.2.3.4", {"   1.2.3.0-1.2.3."}));  // nothing after the last dot
  EXPECT_FALSE(MatchIpList("1.2.3.4", {"1.2.3.0-1.2.3.999"}));  // an octet above 255
  EXPECT_FALSE(MatchIpList("1.2.3.300", {"1.2.3.0-1.2.3.255"}));
  EXPECT_FALSE(MatchIpList("1.2.3.4", {"1.2.3.0-99999999999.1.1.1"}));
}

TEST(MatchIpList, ShortAddressesMatchNothing) {
  EXPECT_FALSE(MatchIpList("1.2.3.", {"1.2.3."}));
  EXPECT_FALSE(MatchIpList("", {"1.2.3.4"}));
  EXPECT_TRUE(MatchIpList("1.2.3.4", {"x", "1.2.3.4"}));
}

TEST(FileTypeOf, ExtensionForms) {
  EXPECT_EQ(FileTypeOf("/a/b.ASP", true), "|asp|");
  EXPECT_EQ(FileTypeOf("/a/b.ASP", false), "asp");
  EXPECT_EQ(FileTypeOf("/a/b", true), "");
  EXPECT_EQ(FileTypeOf("/a.b/c", true), "|b/c|");
  EXPECT_EQ(FileTypeOf("/a/b.", true), "");
  EXPECT_EQ(FileTypeOf("/a/b. h tm", true), "|htm|");
  EXPECT_EQ(FileTypeOf("/a/b.  ", false), "");
}

TEST(FileTypeOf, TrailBytesOfDoubleByteCharactersKeepTheirCase) {
  // 0x81 0x41 is one double-byte character whose trail byte is "A".
  EXPECT_EQ(FileTypeOf("/a.\x81\x41X", false), "\x81\x41x");
  EXPECT_EQ(FileTypeOf("/a.X\x81", false), "x\x81");
}

}  // namespace
}  // namespace orv::keywords
