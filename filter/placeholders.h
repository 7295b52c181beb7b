// Filling "%name%" placeholders in block pages and log lines.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace orv::filter {

using Substitution = std::pair<std::string_view, std::string_view>;

// Replaces every occurrence of each placeholder in one pass over the template. Inserted
// values are never scanned again, so a URL or address that itself contains "%stop%" or
// "%refer%" cannot pull other values into the result.
std::string FillPlaceholders(std::string_view pattern, std::initializer_list<Substitution> values);

// The keyword as a block page shows it: "*" after every character but the last; a byte of
// 0x80 or more starts a two-byte character.
std::string StarKeyword(std::string_view keyword);

}  // namespace orv::filter
