#include "store/edit_forms.h"

#include "store/keyword_database.h"
#include "store/list_split.h"

namespace orv::store {
namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kBar = "|";
// "组" in GBK.
constexpr std::string_view kGroupSuffix = "\xD7\xE9";

}  // namespace

std::string KeywordSectionToEdit(std::string_view section) {
  return SectionToEditedText(section);
}

std::string KeywordEditToSection(std::string_view edit) {
  return EditedTextToSection(edit);
}

std::size_t KeywordGroupCount(std::string_view edit) {
  return CountOnCharacters(edit, kLineBreak);
}

std::string ListValueToEdit(std::string_view value) {
  return ReplaceAllOnCharacters(value, kBar, kLineBreak);
}

std::string ListEditToValue(std::string_view edit) {
  const std::string bars =
      ReplaceAllOnCharacters(ReplaceAllOnCharacters(edit, "\r", kBar), "\n", kBar);
  return ReplaceAllOnCharacters(bars, "||", kBar);
}

std::size_t ListGroupCount(std::string_view edit) {
  return SplitKeepingLongPieces(edit, kLineBreak, 3).size();
}

std::string GroupCountLabel(std::size_t count) {
  return std::to_string(count).append(kGroupSuffix);
}

std::vector<std::string> SplitInputLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::vector<std::string> SplitEditLines(std::string_view edit) {
  if (edit.empty()) return {};
  return SplitKeepingLongPieces(edit, kLineBreak, 0);
}

std::string JoinEditLines(const std::vector<std::string>& lines) {
  std::string edit;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i != 0) edit.append(kLineBreak);
    edit.append(lines[i]);
  }
  return edit;
}

}  // namespace orv::store
