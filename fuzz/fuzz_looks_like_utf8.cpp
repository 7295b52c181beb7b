// The UTF-8 guess and the ASCII test on arbitrary bytes, given exactly the input's bytes so
// that any read past the end is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "keywords/page_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto copy = std::make_unique<char[]>(size + 1);
  for (std::size_t i = 0; i < size; ++i) copy[i] = static_cast<char>(data[i]);
  const std::string_view text(copy.get(), size);
  const bool utf8 = orv::keywords::LooksLikeUtf8(text);
  if (size <= 2 && utf8) std::abort();
  const bool ascii = orv::keywords::IsPureAscii(text);
  // Pure ASCII has no lead byte, so it can never look like UTF-8.
  if (ascii && utf8) std::abort();
  return 0;
}
