#include "filter/event_line.h"

#include "filter/placeholders.h"
#include "keywords/page_text.h"

namespace orv::filter {
namespace {

// NUL goes too: a decoded "%00" would otherwise end the line early for any reader that
// takes it as a C string.
bool BreaksLine(char c) {
  return c == '\t' || c == '\r' || c == '\n' || c == '\0';
}

std::string WithoutLineBreaks(std::string_view value, bool blanksToo = false) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (!BreaksLine(c) && !(blanksToo && c == ' ')) out += c;
  }
  return out;
}

}  // namespace

std::string_view EventKindText(EventKind kind) {
  switch (kind) {
    case EventKind::Deny:
      return "\xC0\xB9\xBD\xD8";  // 拦截
    case EventKind::Replace:
      return "\xCC\xE6\xBB\xBB";  // 替换
    case EventKind::Record:
      return "\xBC\xC7\xC2\xBC";  // 记录
  }
  return "%kind%";
}

std::string BuildEventLine(std::string_view lineTemplate, const EventFields& fields) {
  const std::string method = WithoutLineBreaks(fields.method);
  const std::string key = WithoutLineBreaks(fields.key);
  const std::string time = WithoutLineBreaks(fields.time);
  const std::string ip = WithoutLineBreaks(fields.ip);
  const std::string url = WithoutLineBreaks(fields.url);
  const std::string refer = WithoutLineBreaks(fields.refer, fields.referWithoutBlanks);
  std::string line = FillPlaceholders(lineTemplate, {{"%kind%", EventKindText(fields.kind)},
                                                     {"%method%", method},
                                                     {"%key%", key},
                                                     {"%time%", time},
                                                     {"%ip%", ip},
                                                     {"%url%", url},
                                                     {"%refer%", refer}});
  // A line is one line whatever the template holds.
  std::erase(line, '\r');
  std::erase(line, '\n');
  return line;
}

std::string DecodedContext(std::string_view excerpt) {
  if (excerpt.find('%') == std::string_view::npos) return std::string(excerpt);
  return keywords::UrlDecode(excerpt);
}

}  // namespace orv::filter
