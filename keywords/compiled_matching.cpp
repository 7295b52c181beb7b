#include <utility>

#include "keywords/matching.h"
#include "keywords/reference_matching.h"

namespace orv::keywords {

struct CompiledList::Impl {
  KeywordList rules;
};

struct CompiledReplaceList::Impl {
  ReplaceList list;
};

CompiledList::CompiledList() : impl_(std::make_shared<const Impl>()) {}
CompiledList::CompiledList(KeywordList rules)
    : impl_(std::make_shared<const Impl>(Impl{std::move(rules)})) {}
const KeywordList& CompiledList::rules() const {
  return impl_->rules;
}
bool CompiledList::empty() const {
  return impl_->rules.empty();
}
std::size_t CompiledList::MemoryBytes() const {
  return 0;
}

CompiledReplaceList::CompiledReplaceList() : impl_(std::make_shared<const Impl>()) {}
CompiledReplaceList::CompiledReplaceList(ReplaceList list)
    : impl_(std::make_shared<const Impl>(Impl{std::move(list)})) {}
const ReplaceList& CompiledReplaceList::list() const {
  return impl_->list;
}
bool CompiledReplaceList::empty() const {
  return impl_->list.keys.empty();
}
std::size_t CompiledReplaceList::MemoryBytes() const {
  return 0;
}

bool MatchRules(std::string_view text, const CompiledList& list, std::string& matched,
                long& position, bool stopAtFirst) {
  return reference::MatchRules(text, list.rules(), matched, position, stopAtFirst);
}

bool FindFirstWord(std::string_view text, const CompiledList& list, std::string& matched,
                   long& position) {
  return reference::FindFirstWord(text, list.rules(), matched, position);
}

int ReplaceWords(std::string& page, std::string& search, const CompiledReplaceList& list,
                 std::string& matched, long& position) {
  return reference::ReplaceWords(page, search, list.list().keys, list.list().values, matched,
                                 position);
}

}  // namespace orv::keywords
