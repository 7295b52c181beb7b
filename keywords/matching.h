// The three keyword operations on compiled lists. A list is compiled once per settings load
// into an immutable matcher; copies share it, and any number of threads may scan with it at
// once. Results (the match or replacements, and for ReplaceWords both texts) are identical to the
// literal rule-by-rule algorithm in reference_matching.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "keywords/keyword_list.h"
#include "keywords/scan_context.h"

namespace orv::keywords {

class CompiledList {
 public:
  CompiledList();  // the empty list
  explicit CompiledList(KeywordList rules);
  struct Impl;
  explicit CompiledList(std::shared_ptr<const Impl> impl);

  const KeywordList& rules() const;
  bool empty() const;
  std::size_t MemoryBytes() const;  // heap held by the compiled form

  const Impl& impl() const { return *impl_; }

 private:
  std::shared_ptr<const Impl> impl_;
};

class CompiledReplaceList {
 public:
  CompiledReplaceList();
  explicit CompiledReplaceList(ReplaceList list);
  struct Impl;
  explicit CompiledReplaceList(std::shared_ptr<const Impl> impl);

  const ReplaceList& list() const;
  bool empty() const;
  std::size_t MemoryBytes() const;

  const Impl& impl() const { return *impl_; }

 private:
  std::shared_ptr<const Impl> impl_;
};

// The four lists of one encoding compiled over one shared automaton. A text screened with
// several of them through one ScanContext is scanned once: the context keeps its last pass
// and reuses it while the same text comes again. Each list's MemoryBytes includes its share of what
// they share.
struct CompiledGroup {
  CompiledList deny;
  CompiledReplaceList replace;
  CompiledList record;
  CompiledList free;
};
CompiledGroup CompileGroup(KeywordList deny, ReplaceList replace, KeywordList record,
                           KeywordList free);

// What a search found: the rules that held (or the word found) and where.
struct Match {
  // MatchRules: the texts of the rules that held, joined by "," in list order (a text already
  // contained in it is not appended). FindFirstWord: the entry found.
  std::string words;
  std::size_t rule = 0;      // list index of the first rule that held (or of the entry found)
  std::size_t position = 0;  // byte offset of the occurrence that made that rule hold
  bool operator==(const Match&) const = default;
};

enum class StopAt {
  kFirst,  // at the first rule that holds: `words` holds that rule alone
  kAll,    // after every rule: `words` holds all that held
};

// Every call that scans takes the caller's ScanContext; the forms without one make a context
// for the call alone (its arrays are built afresh, and no pass is shared with another call).

// The rules of `list` that hold in `text`, or nothing when none does.
std::optional<Match> MatchRules(std::string_view text, const CompiledList& list, StopAt stop,
                                ScanContext& context);
std::optional<Match> MatchRules(std::string_view text, const CompiledList& list, StopAt stop);

// The first entry in list order (taken as a plain word) that occurs in `text`.
std::optional<Match> FindFirstWord(std::string_view text, const CompiledList& list,
                                   ScanContext& context);
std::optional<Match> FindFirstWord(std::string_view text, const CompiledList& list);

enum class ReplaceOutcome {
  kNothingToScan,    // the page or the key list is empty: nothing to do
  kUnevenList,       // keys and values differ in number: nothing replaced
  kMisalignedTexts,  // page and search text differ in length: nothing replaced
  kScanned,          // every key was tried; `count` tells how many overwrites were made
};

struct Replacements {
  ReplaceOutcome outcome = ReplaceOutcome::kScanned;
  int count = 0;                        // overwrites made
  std::string words;                    // the keys that acted, joined by ","
  std::optional<std::size_t> position;  // offset of the first overwrite
  bool operator==(const Replacements&) const = default;
};

// Overwrites replace keys in `search` (the lower-cased copy) and at the same offsets in `page`.
Replacements ReplaceWords(std::string& page, std::string& search, const CompiledReplaceList& list,
                          ScanContext& context);
Replacements ReplaceWords(std::string& page, std::string& search, const CompiledReplaceList& list);

// False only when ReplaceWords on `page` would certainly find no key to act on, so that a
// caller can skip it and the page copies it needs. `page` is the page as it is (not yet
// lower-cased); `decoded` is the same page percent-decoded once ("+" read as a space) and
// then lower-cased, or just lower-cased, the text the lists of this group were last asked
// about with `context`. The answer comes from that earlier pass and a look at the bytes
// around each "%" and "+" of `page`, instead of a second pass over the whole page.
bool ReplaceMayApply(std::string_view page, std::string_view decoded,
                     const CompiledReplaceList& list, ScanContext& context);

}  // namespace orv::keywords
