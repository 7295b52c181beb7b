#include "filter/response_charset.h"

#include <string>

#include "filter/charset_cache.h"
#include "platform/codepage.h"

namespace orv::filter {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool StartsWithStatusLine(std::string_view chunk) {
  if (chunk.size() < 8) return false;
  const std::string start = codepage::LowerAscii(chunk.substr(0, 8));
  return start == "http/1.1" || start == "http/1.0";
}

// 1xx: an interim head, followed by the response's own.
bool IsInterim(std::string_view chunk) {
  return chunk.size() > 9 && chunk[8] == ' ' && chunk[9] == '1';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

CharsetCode CodeOfName(std::string_view name) {
  if (name == "utf-8" || name == "utf8") return CharsetCode::Utf8;
  if (name == "gb2312") return CharsetCode::Gb2312;
  if (name == "gbk" || name == "gb18030") return CharsetCode::Gbk;
  if (name == "big5") return CharsetCode::Big5;
  return CharsetCode::Unnamed;
}

// The charset parameter of a lower-cased Content-Type value.
std::optional<CharsetCode> CharsetParameter(std::string_view value) {
  std::size_t at = value.find(';');
  while (at != kNone) {
    value.remove_prefix(at + 1);
    at = value.find(';');
    const std::string_view parameter = Trimmed(value.substr(0, at));
    const std::size_t equals = parameter.find('=');
    if (equals == kNone || Trimmed(parameter.substr(0, equals)) != "charset") continue;
    std::string_view name = Trimmed(parameter.substr(equals + 1));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
      name = name.substr(1, name.size() - 2);
    }
    return CodeOfName(name);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> DeclaredContentType(std::string_view chunk) {
  if (!StartsWithStatusLine(chunk)) return std::nullopt;
  std::size_t lineStart = chunk.find('\n');
  while (lineStart != kNone) {
    ++lineStart;
    const std::size_t lineEnd = chunk.find('\n', lineStart);
    const std::string_view line = Trimmed(chunk.substr(lineStart, lineEnd - lineStart));
    if (line.empty()) break;  // end of the head
    constexpr std::string_view kField = "content-type:";
    if (line.size() >= kField.size() &&
        codepage::LowerAscii(line.substr(0, kField.size())) == kField) {
      return codepage::LowerAscii(Trimmed(line.substr(kField.size())));
    }
    lineStart = lineEnd;
  }
  return std::nullopt;
}

std::optional<CharsetCode> DeclaredCharset(std::string_view chunk) {
  const std::optional<std::string> type = DeclaredContentType(chunk);
  if (!type) return std::nullopt;
  return CharsetParameter(*type);
}

bool IsTextType(std::string_view type) {
  type = type.substr(0, type.find(';'));
  type = Trimmed(type);
  const std::size_t slash = type.find('/');
  if (slash == kNone) return false;
  const std::string_view top = type.substr(0, slash);
  const std::string_view sub = type.substr(slash + 1);
  auto endsWith = [&](std::string_view suffix) {
    return sub.size() >= suffix.size() && sub.substr(sub.size() - suffix.size()) == suffix;
  };
  if (top == "text") return true;
  if (top != "application") return false;
  return sub == "xml" || sub == "json" || sub == "javascript" || sub == "x-javascript" ||
         sub == "ecmascript" || endsWith("+xml") || endsWith("+json");
}

bool TextResponse(RequestMemo& memo, std::string_view chunk) {
  if (!memo.charsetFinal && StartsWithStatusLine(chunk)) {
    const std::optional<std::string> type = DeclaredContentType(chunk);
    memo.textResponse = type && IsTextType(*type);
  }
  return memo.textResponse;
}

CharsetCode CharsetOfChunk(RequestMemo& memo, std::string_view chunk, std::string_view searchText) {
  if (!memo.charsetFinal && StartsWithStatusLine(chunk)) {
    const std::optional<CharsetCode> declared = DeclaredCharset(chunk);
    memo.charset = declared ? *declared : ExamineCharset(searchText);
    memo.charsetFinal = !IsInterim(chunk);
  }
  return memo.charset.value_or(CharsetCode::NotExaminable);
}

}  // namespace orv::filter
