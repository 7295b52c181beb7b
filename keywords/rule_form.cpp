#include "keywords/rule_form.h"

namespace orv::keywords {

RuleForm FormOf(std::string_view rule) {
  if (rule.find('+') != std::string_view::npos) return RuleForm::kAnd;
  if (rule.find('-') != std::string_view::npos) return RuleForm::kNot;
  return RuleForm::kPlain;
}

std::vector<std::string_view> SplitParts(std::string_view rule, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t cut = rule.find(separator); cut != std::string_view::npos;
       cut = rule.find(separator, start)) {
    parts.push_back(rule.substr(start, cut - start));
    start = cut + 1;
  }
  if (start < rule.size()) parts.push_back(rule.substr(start));
  return parts;
}

void ReportRule(std::string& matched, std::string_view text) {
  if (matched.empty()) {
    matched.assign(text);
  } else if (matched.find(text) == std::string::npos) {
    matched += ',';
    matched += text;
  }
}

std::string FitValue(std::string_view value, std::size_t keySize) {
  std::string fitted(value.substr(0, keySize));
  fitted.resize(keySize, '*');
  return fitted;
}

}  // namespace orv::keywords
