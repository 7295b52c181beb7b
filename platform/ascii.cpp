#include "platform/ascii.h"

namespace orv::ascii {

void LowerInPlace(std::string& text) {
  for (char& c : text) c = LowerChar(c);
}

std::string Lower(std::string_view text) {
  std::string out(text);
  LowerInPlace(out);
  return out;
}

}  // namespace orv::ascii
