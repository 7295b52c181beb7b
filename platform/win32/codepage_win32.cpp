// Code page 936 pairs decoded by the system itself.
#include <windows.h>

#include "platform/codepage_table.h"

namespace orv::codepage::detail {

SystemPairDecoder::SystemPairDecoder() = default;
SystemPairDecoder::~SystemPairDecoder() = default;

char16_t SystemPairDecoder::Decode(unsigned char lead, unsigned char trail) {
  const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  wchar_t out[2] = {0, 0};
  const int n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, in, 2, out, 2);
  if (n != 1) return 0;
  return static_cast<char16_t>(out[0]);
}

}  // namespace orv::codepage::detail
