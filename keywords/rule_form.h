// How a keyword rule text is read: its form and its parts. Shared by the compiled engine and
// the reference so both read every rule the same way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv::keywords {

enum class RuleForm { kPlain, kAnd, kNot };

// A "+" makes an AND rule (a "-" is then an ordinary character of its part); otherwise a
// "-" makes a NOT rule; anything else is a plain word.
RuleForm FormOf(std::string_view rule);

// The parts of an AND or NOT rule: cut at every separator, empty pieces kept except one
// empty piece at the very end ("AB-" has the single part "AB", "-AB" has "" and "AB").
// Views into `rule`. Never empty for a rule that holds the separator.
std::vector<std::string_view> SplitParts(std::string_view rule, char separator);

inline char SeparatorOf(RuleForm form) {
  return form == RuleForm::kAnd ? '+' : '-';
}

// Adds a reported rule text to the matched list: the first one as it is, later ones after a
// "," unless the list already contains the text anywhere (as a substring).
void ReportRule(std::string& matched, std::string_view text);

// A replace value made exactly as long as its key: cut, or padded with "*". The database
// load already does this; the engine repeats it so a mismatched pair can never write past
// the key's bytes.
std::string FitValue(std::string_view value, std::size_t keySize);

}  // namespace orv::keywords
