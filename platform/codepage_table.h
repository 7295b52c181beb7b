// The code page 936 mapping, built once from the platform's own converter so that the
// engine agrees with the system it runs on. Internal to platform/.
#pragma once

#include <array>
#include <cstdint>

namespace orv::codepage::detail {

struct Cp936Table {
  // Code point of lead 0x81..0xFE and trail 0x40..0xFE; 0 where undefined.
  std::array<std::array<char16_t, 0xFF - 0x40>, 0xFF - 0x81> toUnicode{};
  // Double-byte GBK (lead << 8 | trail) or single byte for each BMP code point; 0 where none.
  std::array<std::uint16_t, 0x10000> fromUnicode{};
};

// The system's own converter, provided by posix/ (iconv) or win32/ (MultiByteToWideChar).
// Whatever it holds open is closed with it: the table is built once, by one caller.
class SystemPairDecoder {
 public:
  SystemPairDecoder();
  ~SystemPairDecoder();
  SystemPairDecoder(const SystemPairDecoder&) = delete;
  SystemPairDecoder& operator=(const SystemPairDecoder&) = delete;

  // The code point of one pair, or 0 when the pair is not defined.
  char16_t Decode(unsigned char lead, unsigned char trail);

 private:
  void* converter_ = nullptr;
};

const Cp936Table& Table();

}  // namespace orv::codepage::detail
