// Deliberately literal: every rule and every part is searched afresh in the text, exactly
// in the order the rules are stated. Slow by design; the compiled engine is tested against it.
#include "keywords/reference_matching.h"

#include <cstddef>

#include "keywords/rule_form.h"
#include "platform/codepage.h"

namespace orv::keywords::reference {

namespace {

constexpr auto npos = std::string_view::npos;

// Words of at most 2 bytes count only where a character-aware search finds them too.
bool PassesShortWordCheck(std::string_view text, std::string_view word) {
  return word.size() > 2 || codepage::FindCharAware(text, word) != npos;
}

}  // namespace

std::optional<Match> MatchRules(std::string_view text, const KeywordList& list, StopAt stop) {
  if (text.empty() || list.empty()) return std::nullopt;
  std::optional<Match> found;
  for (std::size_t index = 0; index < list.size(); ++index) {
    const std::string& rule = list[index];
    long position = -1;
    const RuleForm form = FormOf(rule);
    bool holds = true;
    std::string_view reported = rule;
    if (form == RuleForm::kAnd) {
      for (std::string_view part : SplitParts(rule, '+')) {
        const std::size_t at = text.find(part);
        if (at == npos || !PassesShortWordCheck(text, part)) {
          holds = false;
          break;
        }
        if (position == -1) position = static_cast<long>(at);
      }
    } else if (form == RuleForm::kNot) {
      const auto parts = SplitParts(rule, '-');
      const std::size_t at = text.find(parts[0]);
      if (at == npos) {
        holds = false;
      } else {
        if (position == -1) position = static_cast<long>(at);
        for (std::size_t i = 1; i < parts.size() && holds; ++i) {
          if (text.find(parts[i]) != npos) holds = false;
        }
        reported = parts[0];
      }
    } else {
      const std::size_t at = text.find(rule);
      if (at == npos || !PassesShortWordCheck(text, rule)) {
        holds = false;
      } else if (position == -1) {
        position = static_cast<long>(at);
      }
    }
    if (!holds) continue;
    if (!found) found = Match{{}, index, static_cast<std::size_t>(position)};
    ReportRule(found->words, reported);
    if (stop == StopAt::kFirst) break;
  }
  return found;
}

std::optional<Match> FindFirstWord(std::string_view text, const KeywordList& list) {
  if (text.empty() || list.empty()) return std::nullopt;
  for (std::size_t index = 0; index < list.size(); ++index) {
    const std::string& word = list[index];
    const std::size_t at = text.find(word);
    if (at == npos || !PassesShortWordCheck(text, word)) continue;
    return Match{word, index, at};
  }
  return std::nullopt;
}

namespace {

void Overwrite(std::string& page, std::string& search, std::size_t at, std::string_view bytes) {
  search.replace(at, bytes.size(), bytes);
  page.replace(at, bytes.size(), bytes);
}

bool AllStars(std::string_view part) {
  return part.find_first_not_of('*') == npos;
}

}  // namespace

Replacements ReplaceWords(std::string& page, std::string& search, const KeywordList& keys,
                          const KeywordList& values) {
  Replacements result;
  if (page.empty() || keys.empty()) {
    result.outcome = ReplaceOutcome::kNothingToScan;
    return result;
  }
  if (keys.size() != values.size()) {
    result.outcome = ReplaceOutcome::kUnevenList;
    return result;
  }
  // The two texts are aligned byte for byte; texts of different lengths cannot be.
  if (search.size() != page.size()) {
    result.outcome = ReplaceOutcome::kMisalignedTexts;
    return result;
  }
  const std::string original = search;  // every short-word check of this call reads it
  int& count = result.count;
  std::string& matched = result.words;
  std::optional<std::size_t>& position = result.position;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const std::string& key = keys[k];
    const RuleForm form = FormOf(key);
    if (form == RuleForm::kPlain) {
      const std::size_t at = search.find(key);
      if (at == npos || !PassesShortWordCheck(original, key)) continue;
      if (!position) position = at;
      Overwrite(page, search, at, FitValue(values[k], key.size()));
      ++count;
      if (!matched.empty()) matched += ',';
      matched += key;
    } else if (form == RuleForm::kAnd) {
      const auto parts = SplitParts(key, '+');
      bool allOccur = true;
      for (std::string_view part : parts) {
        if (search.find(part) == npos || !PassesShortWordCheck(original, part)) {
          allOccur = false;
          break;
        }
      }
      if (!allOccur) continue;
      std::size_t made = 0;
      for (std::string_view part : parts) {
        if (AllStars(part)) continue;  // also the empty part: it would never go away
        const std::string stars(part.size(), '*');
        for (std::size_t at = search.find(part); at != npos; at = search.find(part)) {
          Overwrite(page, search, at, stars);
          ++made;
          ++count;
          if (!position) position = at;
        }
      }
      if (made >= parts.size()) ReportRule(matched, key);
    } else {
      const auto parts = SplitParts(key, '-');
      const std::size_t at = search.find(parts[0]);
      if (at == npos || !PassesShortWordCheck(original, parts[0])) continue;
      bool othersAbsent = true;
      for (std::size_t i = 1; i < parts.size(); ++i) {
        if (search.find(parts[i]) != npos) othersAbsent = false;
      }
      if (!othersAbsent) continue;
      Overwrite(page, search, at, std::string(parts[0].size(), '*'));
      ++count;
      ReportRule(matched, key);
      if (!position) position = at;
    }
  }
  return result;
}

}  // namespace orv::keywords::reference
