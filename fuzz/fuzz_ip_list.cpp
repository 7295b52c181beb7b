// Client-address list matching and file types on arbitrary texts. The input is split at
// "\n": the first piece is the address, the rest are list entries. A range must agree with
// a plain octet comparison of its two ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "keywords/request_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> pieces;
  for (std::size_t start = 0; start <= input.size();) {
    std::size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    pieces.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }
  const std::string address = pieces.front();
  const std::vector<std::string> list(pieces.begin() + 1, pieces.end());
  const bool any = orv::keywords::MatchIpList(address, list);
  // Matching the whole list is matching some single entry.
  bool some = false;
  for (const std::string& entry : list) some = some || orv::keywords::MatchIpList(address, {entry});
  if (any != some) std::abort();
  if (address.size() < 7 && any) std::abort();

  const std::string type = orv::keywords::FileTypeOf(address, true);
  if (!type.empty() && (type.front() != '|' || type.back() != '|' || type.size() < 3)) std::abort();
  std::string matched;
  if (orv::keywords::MatchUrlList(address, list, true, matched) && matched != address) std::abort();
  return 0;
}
