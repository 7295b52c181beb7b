// Code page 936 pairs decoded by glibc's iconv ("CP936" is Windows' GBK, euro on 0x80).
#include <iconv.h>

#include <cstring>

#include "platform/codepage_table.h"

namespace orv::codepage::detail {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

}  // namespace

SystemPairDecoder::SystemPairDecoder() {
  const iconv_t converter = iconv_open("UTF-16LE", "CP936");
  if (converter != kNoConverter) converter_ = converter;
}

SystemPairDecoder::~SystemPairDecoder() {
  if (converter_ != nullptr) iconv_close(static_cast<iconv_t>(converter_));
}

char16_t SystemPairDecoder::Decode(unsigned char lead, unsigned char trail) {
  if (converter_ == nullptr) return 0;
  const auto converter = static_cast<iconv_t>(converter_);
  char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  char out[8];
  char* inPtr = in;
  char* outPtr = out;
  std::size_t inLeft = 2;
  std::size_t outLeft = sizeof out;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  if (iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
    return 0;
  }
  if (inLeft != 0 || sizeof out - outLeft != 2) return 0;  // not exactly one BMP character
  unsigned char lo = static_cast<unsigned char>(out[0]);
  unsigned char hi = static_cast<unsigned char>(out[1]);
  return static_cast<char16_t>(hi << 8 | lo);
}

}  // namespace orv::codepage::detail
