// The charset of a response read from the response itself, for a host that keeps a memo per
// request: what one client asks for never changes how another response is read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "filter/charset_code.h"
#include "filter/request_memo.h"

namespace orv::filter {

// The charset the chunk's response head declares in its first Content-Type field (utf-8 or
// utf8, gb2312, gbk or gb18030, big5; any other name is Unnamed); nothing when the chunk does
// not start with a status line or the head declares none.
std::optional<CharsetCode> DeclaredCharset(std::string_view chunk);

// The value of the chunk's response head's first Content-Type field, lower-cased and trimmed;
// nothing when the chunk does not start with a status line or the head has none.
std::optional<std::string> DeclaredContentType(std::string_view chunk);

// A media type whose body is text a browser shows or runs: text/*, XML, JSON, scripts.
bool IsTextType(std::string_view type);

// Whether the response this chunk belongs to declared a text type. The chunk that starts the
// response (as for CharsetOfChunk) decides and stores it in the memo; later chunks read it.
bool TextResponse(RequestMemo& memo, std::string_view chunk);

// The code for this chunk of the request's response. A chunk that starts with a status line
// (before any final response head was seen) decides it, from its declared charset or else by
// ExamineCharset of its search text, and stores it in the memo; any other chunk takes the
// memo's code, NotExaminable when none was decided.
CharsetCode CharsetOfChunk(RequestMemo& memo, std::string_view chunk, std::string_view searchText);

}  // namespace orv::filter
