// The character set of each page, remembered by request path. Only the first chunk of a
// response carries the status line and the <meta> that name the charset, so the code found
// there is kept for every later chunk of that path, for the life of the process.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "filter/charset_code.h"

namespace orv::filter {

// What the search text (percent-decoded, lower-cased chunk) says about its charset.
CharsetCode ExamineCharset(std::string_view searchText);

// True when the search text begins with a status line of a response that is no error
// (HTTP/1.x, status not 4xx or 5xx): the chunk is the start of a page.
bool StartsWithPageStatusLine(std::string_view searchText);

class CharsetCache {
 public:
  static constexpr std::size_t kCapacity = 501;

  // The code of `path`: cached, or examined from `searchText` and cached unless it is
  // NotExaminable. Once the table is full, new paths are examined on every call and not
  // stored, so the first chunk of a response still decides correctly.
  CharsetCode Lookup(std::string_view path, std::string_view searchText);

  std::size_t Size() const;

 private:
  // Looked up by the path as the caller has it, without a copy into a key string.
  struct PathHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view path) const {
      return std::hash<std::string_view>{}(path);
    }
  };

  mutable std::mutex mutex_;
  std::unordered_map<std::string, CharsetCode, PathHash, std::equal_to<>> codes_;
};

}  // namespace orv::filter
