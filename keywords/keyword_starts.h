// Where at the end of a text a keyword could begin that the text does not hold whole.
//
// A host that screens a long page piece by piece keeps that end back and screens it again in
// front of the next piece, so that no word escapes by lying across the cut. The index holds
// every part of every rule (a plain word, each part of an AND or NOT rule, each replace key)
// and answers with the shortest end that is safe to keep: the longest suffix of the text, as
// the lists see it (lower-cased, and percent-decoded for the lists that search the decoded
// text), that is a proper prefix of some part.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "keywords/keyword_list.h"

namespace orv::keywords {

class KeywordStarts {
 public:
  KeywordStarts() = default;  // no words: nothing is ever kept back

  // Rule texts (plain, "+" and "-" forms), already lower-cased as the database load leaves
  // them. Call Seal once every list is in.
  void AddRules(const KeywordList& rules);
  void Seal();

  // How many bytes at the end of `text` to keep back. A keyword spelled in percent escapes
  // ("%E7%A6%81", "%25E7...") or with "+" for a blank is kept from the escape it may begin
  // with; an escape cut off at the end is always kept. The kept end never starts on the
  // second byte of a double-byte character (as counted from the start of `text`), so that
  // the text screened next is read in the same character steps as the whole page.
  std::size_t HeldTail(std::string_view text) const;

  std::size_t LongestPart() const { return longest_; }
  std::size_t PartCount() const { return parts_.size(); }

 private:
  // The longest suffix of `text` (at most longest_ - 1 bytes) that some part begins with and
  // is longer than.
  std::size_t LongestStartingSuffix(std::string_view text) const;
  bool IsProperPrefix(std::string_view text) const;
  std::size_t EscapedHold(std::string_view text) const;

  std::vector<std::string> parts_;  // sorted and unique once sealed; each at least 2 bytes
  std::size_t longest_ = 0;
};

}  // namespace orv::keywords
