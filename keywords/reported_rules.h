// The matched list of one call, as ReportRule builds it, with an index that keeps the test
// "does the list already contain this text" from reading the whole list every time.
//
// A page that many rules hold reports thousands of them, and a list of thousands of words
// read once per report makes the call quadratic in the rules that hold. The index holds
// every 4-byte gram of the list at the offset where it starts, grouped by hash; a text of
// 4 bytes or more is looked for only where its first four bytes are, and a shorter one is
// ruled out by a table of the 2-byte grams the list holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv::keywords {

class ReportedRules {
 public:
  // `matched` may hold text already, and may be appended to directly between calls (never
  // changed otherwise) while this object lives.
  explicit ReportedRules(std::string& matched) : matched_(matched) {}

  // Exactly ReportRule(matched, text).
  void Add(std::string_view text);

 private:
  bool Contains(std::string_view text);
  void IndexUpTo(std::size_t size);

  // Below this size a plain search is as quick as keeping the index.
  static constexpr std::size_t kIndexFrom = 256;

  std::string& matched_;
  std::size_t indexed_ = 0;           // grams that start before this offset are in the index
  std::size_t pairsIndexed_ = 0;      // and pairs
  unsigned headBits_ = 12;            // heads_ has 2^headBits_ entries once in use
  std::vector<std::uint32_t> heads_;  // by gram hash: 1 + the last offset, or 0
  std::vector<std::uint32_t> older_;  // by offset: 1 + the previous offset of that hash, or 0
  std::vector<std::uint64_t> pairs_;  // bit per 2-byte gram that starts before indexed_
};

}  // namespace orv::keywords
