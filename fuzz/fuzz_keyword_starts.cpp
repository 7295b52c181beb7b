// The kept end of a page piece, on any bytes: before the first blank line the words (split at
// NUL), after it the page. Whatever the escapes and characters, what is kept lies inside the
// page.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "keywords/keyword_starts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find("\n\n");
  if (split == std::string_view::npos) return 0;
  orv::keywords::KeywordList words;
  std::string_view list = input.substr(0, split);
  while (!list.empty()) {
    const std::size_t end = list.find('\0');
    words.emplace_back(list.substr(0, end));
    if (end == std::string_view::npos) break;
    list.remove_prefix(end + 1);
  }
  orv::keywords::KeywordStarts starts;
  starts.AddRules(words);
  starts.Seal();
  const std::string_view page = input.substr(split + 2);
  const std::size_t held = starts.HeldTail(page);
  if (held > page.size()) __builtin_trap();
  return 0;
}
