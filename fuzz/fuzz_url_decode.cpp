// URL decoding on arbitrary bytes: never reads past the input, never grows it, and a text
// without "%" and "+" comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "keywords/page_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A heap copy of exactly `size` bytes, so reading one past the end trips ASan.
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string decoded = orv::keywords::UrlDecode(input);
  if (decoded.size() > input.size()) std::abort();
  if (input.find_first_of("%+") == std::string::npos && decoded != input) std::abort();
  std::string excerpt = orv::keywords::MatchExcerpt(input, static_cast<long>(size / 2));
  if (excerpt.size() > 60) std::abort();
  orv::keywords::EscapeHtml(excerpt);
  std::string prefix;
  orv::keywords::BlockPagePrefix(input, prefix);
  if (prefix.size() > input.size() || input.compare(0, prefix.size(), prefix) != 0) std::abort();
  return 0;
}
