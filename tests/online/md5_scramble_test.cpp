#include <gtest/gtest.h>

#include <string>

#include "online/md5.h"
#include "online/scramble.h"

namespace orv::online {
namespace {

TEST(Md5, Rfc1321TestSuite) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5Hex("1234567890123456789012345678901234567890123456789012345678901234567890"
                   "1234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

// Lengths around the padding boundaries (55/56 bytes fit one or need two blocks), values from
// an independent implementation.
TEST(Md5, PaddingBoundariesAndAllByteValues) {
  EXPECT_EQ(Md5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(Md5Hex(std::string(63, 'a')), "b06521f39153d618550606be297466d5");
  EXPECT_EQ(Md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
  EXPECT_EQ(Md5Hex(std::string(65, 'a')), "c743a45e0d2e6a95cb859adae0248435");
  std::string all;
  for (int i = 0; i < 256; ++i) {
    all.push_back(static_cast<char>(i));
  }
  EXPECT_EQ(Md5Hex(all), "e2c865db4162bed963bfaa9ef6ac18f0");
}

TEST(Md5, PiecewiseUpdatesGiveTheSameDigest) {
  const std::string text(1000, 'a');
  for (std::size_t piece : {1u, 7u, 63u, 64u, 65u, 333u}) {
    Md5 md5;
    for (std::size_t at = 0; at < text.size(); at += piece) {
      md5.Update(std::string_view(text).substr(at, piece));
    }
    std::string hex;
    for (std::uint8_t byte : md5.Finish()) {
      static constexpr char kHex[] = "0123456789abcdef";
      hex += kHex[byte >> 4];
      hex += kHex[byte & 0xf];
    }
    EXPECT_EQ(hex, "cabe45dcc9ae5b66ba86600cca6b8ba8") << "piece " << piece;
  }
}

TEST(ScrambleWithKey, RoundTripsEveryNonZeroByteForManyKeys) {
  std::string text;
  for (int i = 1; i < 256; ++i) {
    text.push_back(static_cast<char>(i));
  }
  for (std::uint32_t key : {0u, 1u, 10u, 12u, 143u, 4672u, 0xFFFFFFFFu}) {
    const std::string scrambled = ScrambleWithKey(text, key);
    ASSERT_EQ(scrambled.size(), text.size() * 2);
    for (char c : scrambled) {
      const auto byte = static_cast<unsigned char>(c);
      EXPECT_GE(byte, 140);
      EXPECT_LE(byte, 182);
    }
    EXPECT_EQ(UnscrambleWithKey(scrambled, key, false), text) << "key " << key;
  }
}

TEST(ScrambleWithKey, EdgesOfTheStoredForm) {
  EXPECT_EQ(ScrambleWithKey("", 5), "");
  EXPECT_EQ(UnscrambleWithKey("", 5, false), "");
  const std::string scrambled = ScrambleWithKey("AbC\xC4\xEA", 77);
  // The lower-case flag changes ASCII letters only; GBK bytes stay.
  EXPECT_EQ(UnscrambleWithKey(scrambled, 77, true), "abc\xC4\xEA");
  // Reading stops at a zero byte, and a lone last byte is ignored.
  EXPECT_EQ(UnscrambleWithKey(scrambled + std::string(1, '\0') + scrambled, 77, false),
            "AbC\xC4\xEA");
  EXPECT_EQ(UnscrambleWithKey(scrambled + "\x90", 77, false), "AbC\xC4\xEA");
  // Another key gives another text.
  EXPECT_NE(UnscrambleWithKey(scrambled, 78, false), "AbC\xC4\xEA");
}

// Expected keys computed independently (Python hashlib) from the derivation's definition.
TEST(KeyFromText, MatchesIndependentlyComputedKeys) {
  EXPECT_EQ(KeyFromText(""), 4515u);
  EXPECT_EQ(KeyFromText("admin"), 4546u);
  EXPECT_EQ(KeyFromText("  Admin \t"), 4546u);  // trimmed and lower-cased first
  EXPECT_EQ(KeyFromText("orvane-console-account"), 4672u);
  EXPECT_EQ(KeyFromText("zhangsan"), 4718u);
}

TEST(UnscrambleLetterPairs, MatchesIndependentDecoderAndRoundTrips) {
  EXPECT_EQ(UnscrambleLetterPairs("qwertyzazb", 0x1234, 17, 99), "\x88\x1d\xad\xbc\x6a");
  EXPECT_EQ(UnscrambleLetterPairs("hello world!", 777, 0x10001, 12345), "\x9d\x3e\x6b\xba\x6d\x07");
  const std::string text = "Orvane\xA1\xA4\xB7\xC7\xB7\xA8 https://www.orvane.net";
  const std::string pairs = ScrambleLetterPairs(text, 0xBEEF, 1103515245u, 12345u);
  for (char c : pairs) {
    EXPECT_TRUE(c >= 'a' && c <= 'z');
  }
  EXPECT_EQ(UnscrambleLetterPairs(pairs, 0xBEEF, 1103515245u, 12345u), text);
}

}  // namespace
}  // namespace orv::online
