#include "keywords/reported_rules.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "keywords/rule_form.h"

namespace orv::keywords {

namespace {

std::uint32_t Gram4(const char* at) {
  std::uint32_t gram;
  std::memcpy(&gram, at, 4);
  return gram;
}

std::uint32_t Hash(std::uint32_t gram, unsigned bits) {
  return (gram * 0x9E3779B1u) >> (32 - bits);
}

std::uint32_t Pair(const char* at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(at[0])) << 8 |
         static_cast<unsigned char>(at[1]);
}

}  // namespace

void ReportedRules::Add(std::string_view text) {
  if (matched_.empty()) {
    matched_.assign(text);
  } else if (!Contains(text)) {
    matched_ += ',';
    matched_ += text;
  }
}

void ReportedRules::IndexUpTo(std::size_t size) {
  if (heads_.empty()) pairs_.assign(65536 / 64, 0);
  // At least twice as many heads as grams, so that a chain holds the offsets of one gram as a
  // rule; the table is rebuilt each time the list has doubled.
  const std::size_t grams = size >= 4 ? size - 3 : 0;
  if (heads_.size() < 2 * grams) {
    headBits_ = std::max(10u, static_cast<unsigned>(std::bit_width(2 * grams - 1)));
    heads_.assign(std::size_t{1} << headBits_, 0);
    for (std::size_t at = 0; at < indexed_; ++at) {
      const std::uint32_t hash = Hash(Gram4(matched_.data() + at), headBits_);
      older_[at] = heads_[hash];
      heads_[hash] = static_cast<std::uint32_t>(at + 1);
    }
  }
  for (; pairsIndexed_ + 2 <= size; ++pairsIndexed_) {
    const std::uint32_t pair = Pair(matched_.data() + pairsIndexed_);
    pairs_[pair >> 6] |= std::uint64_t{1} << (pair & 63);
  }
  for (; indexed_ + 4 <= size; ++indexed_) {
    const std::uint32_t hash = Hash(Gram4(matched_.data() + indexed_), headBits_);
    older_.push_back(heads_[hash]);
    heads_[hash] = static_cast<std::uint32_t>(indexed_ + 1);
  }
}

bool ReportedRules::Contains(std::string_view text) {
  const std::size_t size = matched_.size();
  if (size < kIndexFrom || text.size() < 2 || size >= 0xFFFFFFF0u) {
    return matched_.find(text) != std::string::npos;
  }
  IndexUpTo(size);
  if (text.size() < 4) {
    // Its first two bytes are somewhere in the list, or it is not.
    const std::uint32_t pair = Pair(text.data());
    if (((pairs_[pair >> 6] >> (pair & 63)) & 1) == 0) return false;
    return matched_.find(text) != std::string::npos;
  }
  const std::uint32_t gram = Gram4(text.data());
  // Where many rules share a word, the chain of its gram is long; the next four bytes tell
  // most of its offsets apart without a call.
  const bool second = text.size() >= 8;
  const std::uint32_t next = second ? Gram4(text.data() + 4) : 0;
  for (std::uint32_t at = heads_[Hash(gram, headBits_)]; at != 0; at = older_[at - 1]) {
    const std::size_t offset = at - 1;
    if (Gram4(matched_.data() + offset) != gram) continue;  // another gram of the same hash
    if (offset + text.size() > size) continue;
    if (second && Gram4(matched_.data() + offset + 4) != next) continue;
    if (std::string_view(matched_).substr(offset, text.size()) == text) return true;
  }
  return false;
}

}  // namespace orv::keywords
