#include "keywords/reported_rules.h"

#include <cstring>

#include "keywords/rule_form.h"

namespace orv::keywords {

namespace {

std::uint32_t Gram4(const char* at) {
  std::uint32_t gram;
  std::memcpy(&gram, at, 4);
  return gram;
}

std::uint32_t Hash(std::uint32_t gram) {
  return (gram * 0x9E3779B1u) >> (32 - 12);
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
  if (heads_.empty()) {
    heads_.assign(std::size_t{1} << 12, 0);  // as many as Hash gives
    pairs_.assign(65536 / 64, 0);
  }
  for (; pairsIndexed_ + 2 <= size; ++pairsIndexed_) {
    const std::uint32_t pair = Pair(matched_.data() + pairsIndexed_);
    pairs_[pair >> 6] |= std::uint64_t{1} << (pair & 63);
  }
  for (; indexed_ + 4 <= size; ++indexed_) {
    const std::uint32_t hash = Hash(Gram4(matched_.data() + indexed_));
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
  for (std::uint32_t at = heads_[Hash(Gram4(text.data()))]; at != 0; at = older_[at - 1]) {
    if (std::string_view(matched_).substr(at - 1, text.size()) == text) return true;
  }
  return false;
}

}  // namespace orv::keywords
