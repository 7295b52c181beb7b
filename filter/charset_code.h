// How a page's bytes are to be read, as the response's first chunk names it.
#pragma once

namespace orv::filter {

enum class CharsetCode : int {
  NotExaminable = 0,  // no status line here, or an error response
  Utf8 = 1,
  Gb2312 = 2,
  Gbk = 3,
  Big5 = 4,
  Unnamed = 5,  // a response that names no charset
};

}  // namespace orv::filter
