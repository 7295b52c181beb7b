// ReplaceWords on a compiled list. Keys are taken in list order exactly as the literal
// algorithm does, each seeing the text as the keys before it left it; the automaton only
// finds out which keys can apply, and after each overwrite the bytes around it are rescanned
// so that occurrences it destroyed or created are known before the next key is decided.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>

#include "keywords/compiled_lists.h"
#include "keywords/page_text.h"
#include "keywords/reference_matching.h"
#include "keywords/reported_rules.h"
#include "keywords/text_scan.h"

namespace orv::keywords {

namespace {

bool AllStars(std::string_view part) {
  return part.find_first_not_of('*') == std::string_view::npos;
}

}  // namespace

Replacements ReplaceWords(std::string& page, std::string& search, const CompiledReplaceList& list,
                          ScanContext& context) {
  const CompiledReplaceList::Impl& impl = list.impl();
  const KeywordList& keys = impl.list.keys;
  if (page.empty() || keys.empty() || keys.size() != impl.list.values.size() ||
      search.size() != page.size() || search.size() > TextScan::kMaxText) {
    return reference::ReplaceWords(page, search, keys, impl.list.values);
  }
  const RuleTable& table = impl.table;
  TextScan scan(table, search, context);  // short-word checks keep reading this first scan
  auto& bits = scan.Candidates();
  const auto mark = [&bits](std::uint32_t key) {
    bits[key >> 6] |= std::uint64_t{1} << (key & 63);
  };
  for (std::uint32_t pattern : scan.Seen()) {
    for (std::uint32_t key : table.RuleTriggers(pattern)) mark(key);
  }
  for (std::uint32_t key : table.RuleTriggers(RuleTable::kEmptyPattern)) mark(key);
  // A pattern that an overwrite brings into the text makes its keys candidates again, when
  // they are still to come.
  std::uint32_t current = 0;
  const auto onAppeared = [&](std::uint32_t pattern) {
    for (std::uint32_t key : table.RuleTriggers(pattern)) {
      if (key > current) mark(key);
    }
  };
  const auto overwrite = [&](std::uint32_t at, std::string_view bytes) {
    page.replace(at, bytes.size(), bytes);
    if (search.compare(at, bytes.size(), bytes) == 0) return;
    scan.BeforeChange(search, at, at + bytes.size());
    search.replace(at, bytes.size(), bytes);
    scan.Update(search, at, at + bytes.size(), onAppeared);
  };
  Replacements result;
  const auto setPosition = [&](std::uint32_t at) {
    if (!result.position) result.position = at;
  };

  int& count = result.count;
  std::string& matched = result.words;
  ReportedRules reports(matched);
  std::string stars;
  for (std::size_t word = 0; word < bits.size(); ++word) {
    while (bits[word] != 0) {
      current = static_cast<std::uint32_t>(word * 64 +
                                           static_cast<unsigned>(std::countr_zero(bits[word])));
      bits[word] &= bits[word] - 1;
      const CompiledRule& rule = table.rules[current];
      const auto parts = table.Parts(rule);
      const std::string& key = keys[current];
      if (rule.form == RuleForm::kPlain) {
        if (!scan.Occurs(rule.whole)) continue;
        const std::uint32_t at = scan.First(rule.whole);
        setPosition(at);
        overwrite(at, impl.values[current]);
        ++count;
        if (!matched.empty()) matched += ',';
        matched += key;
      } else if (rule.form == RuleForm::kAnd) {
        bool allOccur = true;
        for (std::uint32_t part : parts) allOccur = allOccur && scan.Occurs(part);
        if (!allOccur) continue;
        std::size_t made = 0;
        for (std::uint32_t part : parts) {
          const std::string_view bytes = table.Pattern(part);
          if (AllStars(bytes)) continue;  // also the empty part: it would never go away
          stars.assign(bytes.size(), '*');
          for (std::uint32_t at = scan.First(part); at != TextScan::kAbsent;
               at = scan.First(part)) {
            overwrite(at, stars);
            ++made;
            ++count;
            setPosition(at);
          }
        }
        if (made >= parts.size()) reports.Add(key);
      } else {
        if (!scan.Occurs(parts[0])) continue;
        bool othersAbsent = true;
        for (std::size_t i = 1; i < parts.size(); ++i) {
          othersAbsent = othersAbsent && scan.First(parts[i]) == TextScan::kAbsent;
        }
        if (!othersAbsent) continue;
        const std::uint32_t at = scan.First(parts[0]);
        stars.assign(table.Pattern(parts[0]).size(), '*');
        overwrite(at, stars);
        ++count;
        reports.Add(key);
        setPosition(at);
      }
    }
  }
  return result;
}

Replacements ReplaceWords(std::string& page, std::string& search, const CompiledReplaceList& list) {
  ScanContext context;
  return ReplaceWords(page, search, list, context);
}

bool ReplaceMayApply(std::string_view page, std::string_view decoded,
                     const CompiledReplaceList& list, ScanContext& context) {
  const CompiledReplaceList::Impl& impl = list.impl();
  const RuleTable& table = impl.table;
  // The cases ReplaceWords answers without a scan, and keys that need no word at all, are
  // left to it.
  if (page.empty() || impl.list.keys.empty() || impl.list.keys.size() != impl.list.values.size() ||
      page.size() > TextScan::kMaxText || decoded.empty() || decoded.size() > TextScan::kMaxText ||
      !table.RuleTriggers(RuleTable::kEmptyPattern).empty()) {
    return true;
  }
  // ReplaceWords acts only on keys triggered by a pattern that occurs in the lower-cased
  // page. Decoding rewrites only a "%" with the two bytes after it and a "+"; every other
  // byte reaches `decoded` unchanged and in order (both are lower-cased byte by byte). So an
  // occurrence either lies in such unchanged bytes, and then occurs in `decoded` as well, or
  // overlaps a rewritten byte, and then lies in the window around it.
  {
    TextScan scan(table, decoded, context);  // the pass the other lists of the group just made
    for (std::uint32_t pattern : scan.Seen()) {
      if (!table.RuleTriggers(pattern).empty()) return true;
    }
  }
  const Automaton& automaton = table.Scanner();
  const std::size_t reach = automaton.MaxPatternLength();
  if (reach == 0) return false;
  bool triggered = false;
  const auto onOutput = [&](std::uint32_t state, std::size_t) {
    for (std::uint32_t s = automaton.FirstOutput(state); s != Automaton::kNone && !triggered;
         s = automaton.OutputLink(s)) {
      triggered = !table.RuleTriggers(automaton.OwnPattern(s)).empty();
    }
  };
  // When no pattern that triggers a key holds a "%" or a "+" (keys of words do not), an
  // occurrence cannot cover the rewritten "%" or "+" itself: it can only start on one of an
  // escape's two digits. Windows then start there, and a "+" needs none.
  const bool escapeInTriggers = table.TriggerHolds('%') || table.TriggerHolds('+');
  // Windows cost up to about twice the longest pattern each; past the page's own length a
  // whole pass is cheaper, and ReplaceWords makes it.
  std::size_t budget = page.size();
  std::string window;  // one window, lower-cased
  // The "%" and "+" bytes in order, each found with a (vectorised) single-byte search.
  std::size_t percent = page.find('%');
  std::size_t plus = escapeInTriggers ? page.find('+') : std::string_view::npos;
  while (!triggered && (percent != std::string_view::npos || plus != std::string_view::npos)) {
    const std::size_t i = std::min(percent, plus);
    if (i == percent) percent = page.find('%', i + 1);
    if (i == plus) plus = page.find('+', i + 1);
    const std::size_t from = !escapeInTriggers ? i + 1 : i + 1 > reach ? i + 1 - reach : 0;
    const std::size_t to = std::min(page.size(), i + 3 + reach - 1);
    if (to - from > budget) return true;
    budget -= to - from;
    window.assign(page.substr(from, to - from));
    LowerAsciiBytes(window);
    automaton.Scan(reinterpret_cast<const unsigned char*>(window.data()), 0, window.size(),
                   onOutput);
  }
  return triggered;
}

}  // namespace orv::keywords
