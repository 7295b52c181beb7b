// The small ASCII rules every part of the system shares: letter case, hex digits, blanks.
//
// Each function looks at single bytes and changes only "A".."Z" / "a".."z", so bytes of 0x80
// and above pass through untouched. Note what that means for GBK text: the trail byte of a
// double-byte character may fall in "A".."Z" (0x40..0xFE), and the whole-string functions
// here lower it like any other byte. That is what the stored lists and the matcher were built
// on; where a trail byte must be kept as it is, use codepage::LowerSingleBytes instead.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orv::ascii {

constexpr char LowerChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char UpperChar(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The value of a hex digit of either case, or -1 for any other byte.
constexpr int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr bool IsHexDigit(char c) {
  return HexValue(c) >= 0;
}

// The digit for the low four bits of `value`.
constexpr char HexDigitUpper(unsigned value) {
  return "0123456789ABCDEF"[value & 0x0f];
}
constexpr char HexDigitLower(unsigned value) {
  return "0123456789abcdef"[value & 0x0f];
}

constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerChar(a[i]) != LowerChar(b[i])) return false;
  }
  return true;
}

constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// Space and tab: the blanks of profile lines and HTTP fields.
constexpr bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Blanks plus line ends, vertical tab and form feed: the C locale's white space.
constexpr bool IsSpace(char c) {
  return IsBlank(c) || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

constexpr std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

constexpr std::string_view TrimSpace(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Lower-cases "A".."Z" byte by byte, trail bytes of double-byte characters included. This is
// the reference for every faster lowering elsewhere: they must give the same bytes.
void LowerInPlace(std::string& text);
std::string Lower(std::string_view text);

}  // namespace orv::ascii
