#include "filter/compression_offer.h"

#include <string_view>
#include <vector>

namespace orv::filter {
namespace {

struct Element {
  std::size_t begin = 0;  // first byte after the separator before it
  std::size_t end = 0;    // the separating comma, or the end of the value
};

// The list elements; a quoted string (with "\" escapes) may hold commas.
std::vector<Element> SplitElements(std::string_view value) {
  std::vector<Element> elements;
  std::size_t begin = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (quoted) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      elements.push_back({begin, i});
      begin = i + 1;
    }
  }
  elements.push_back({begin, value.size()});
  return elements;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The coding of one element: its text up to ";" without the blanks around it.
std::string_view CodingOf(std::string_view element) {
  element = element.substr(0, element.find(';'));
  while (!element.empty() && IsBlank(element.front())) element.remove_prefix(1);
  while (!element.empty() && IsBlank(element.back())) element.remove_suffix(1);
  return element;
}

}  // namespace

bool StripCompressionOffer(std::string& lowerValue) {
  const std::string_view value = lowerValue;
  const std::vector<Element> elements = SplitElements(value);
  std::vector<bool> keep(value.size(), false);
  bool keptBefore = false;
  std::size_t pendingComma = std::string_view::npos;
  for (const Element& element : elements) {
    const std::string_view text = value.substr(element.begin, element.end - element.begin);
    const std::string_view coding = CodingOf(text);
    if (coding != "identity") continue;
    // The comma after the previous kept element separates it from this one.
    if (keptBefore && pendingComma != std::string_view::npos) keep[pendingComma] = true;
    const std::size_t start = element.begin + static_cast<std::size_t>(coding.data() - text.data());
    std::size_t stop = element.end;
    while (stop > start && IsBlank(value[stop - 1])) --stop;
    for (std::size_t i = start; i < stop; ++i) keep[i] = true;
    keptBefore = true;
    pendingComma = element.end < value.size() ? element.end : std::string_view::npos;
  }
  bool changed = false;
  for (std::size_t i = 0; i < lowerValue.size(); ++i) {
    if (keep[i] || lowerValue[i] == ' ') continue;
    lowerValue[i] = ' ';
    changed = true;
  }
  return changed;
}

}  // namespace orv::filter
