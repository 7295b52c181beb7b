#include "online/scramble.h"

#include "online/md5.h"
#include "platform/ascii.h"

namespace orv::online {

namespace {
std::uint8_t K1(std::uint32_t key) {
  return static_cast<std::uint8_t>(key % 11 + 91);
}
std::uint8_t K2(std::uint32_t key) {
  return static_cast<std::uint8_t>(key % 13 + 89);
}

void ReplaceChar(std::string& text, char from, char to) {
  for (char& c : text) {
    if (c == from) {
      c = to;
    }
  }
}
}  // namespace

std::string ScrambleWithKey(std::string_view text, std::uint32_t key) {
  const std::uint8_t k1 = K1(key);
  const std::uint8_t k2 = K2(key);
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    const auto d = static_cast<std::uint8_t>(c);
    const std::uint8_t high = d / 16;
    const std::uint8_t low = d % 16;
    out.push_back(static_cast<char>(static_cast<std::uint8_t>(high - k1 - low)));
    out.push_back(static_cast<char>(static_cast<std::uint8_t>(low - k2)));
  }
  return out;
}

std::string UnscrambleWithKey(std::string_view text, std::uint32_t key, bool lowerCase) {
  const std::size_t end = text.find('\0');
  if (end != std::string_view::npos) {
    text = text.substr(0, end);
  }
  const std::uint8_t k1 = K1(key);
  const std::uint8_t k2 = K2(key);
  std::string out;
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    const auto c1 = static_cast<std::uint8_t>(text[i]);
    const auto c2 = static_cast<std::uint8_t>(text[i + 1]);
    const unsigned low = (c2 + k2) % 16u;
    const unsigned high = (c1 + k1 + c2 + k2) % 16u;
    char byte = static_cast<char>(16 * high + low);
    out.push_back(lowerCase ? ascii::LowerChar(byte) : byte);
  }
  return out;
}

std::uint32_t KeyFromText(std::string_view text) {
  const std::string prepared = ascii::Lower(ascii::TrimSpace(text));
  const std::string d1 = Md5Hex(prepared);
  std::string d2 = Md5Hex(d1);
  ReplaceChar(d2, 'a', 'c');
  ReplaceChar(d2, '5', 'v');
  ReplaceChar(d2, '8', 'w');
  std::uint32_t sum = 0;
  for (char c : d2 + d1) {
    sum += static_cast<std::uint8_t>(c);
  }
  return sum;
}

std::string UnscrambleLetterPairs(std::string_view text, std::uint32_t startKey,
                                  std::uint32_t multiplier, std::uint32_t increment) {
  std::string out;
  out.reserve(text.size() / 2);
  std::uint32_t k = startKey;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    const auto f = static_cast<std::uint8_t>(text[i]);
    const auto s = static_cast<std::uint8_t>(text[i + 1]);
    const auto b = static_cast<std::uint8_t>(26u * f + s - 87u);
    out.push_back(static_cast<char>(b ^ static_cast<std::uint8_t>((k >> 8) & 0xff)));
    k = (b + k) * multiplier + increment;
  }
  return out;
}

std::string ScrambleLetterPairs(std::string_view text, std::uint32_t startKey,
                                std::uint32_t multiplier, std::uint32_t increment) {
  std::string out;
  out.reserve(text.size() * 2);
  std::uint32_t k = startKey;
  for (char c : text) {
    const auto b = static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) ^ ((k >> 8) & 0xff));
    // With f = 'a' + x and s = 'a' + y, 26 * f + s - 87 == 26 * x + y + 228 (mod 256), so
    // x and y are the base-26 digits of b - 228 == b + 28 (mod 256).
    const unsigned v = (b + 28u) % 256u;
    out.push_back(static_cast<char>('a' + v / 26));
    out.push_back(static_cast<char>('a' + v % 26));
    k = (b + k) * multiplier + increment;
  }
  return out;
}

}  // namespace orv::online
