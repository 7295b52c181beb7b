// The editing pages' forms of the stored lists: one entry per line on screen (lines
// separated by CR LF), "@@"-joined sections in the keyword database and "|"-joined values in
// the settings file. The console pages and orvctl convert only through these.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orv::store {

// Keyword pages. Section -> edit text: one leading and one trailing "@@" dropped, every
// other "@@" a line break. Edit text -> section: every line break "@@", then every "@@@@"
// "@@" (one pass), so a single empty line between entries vanishes.
std::string KeywordSectionToEdit(std::string_view section);
std::string KeywordEditToSection(std::string_view edit);
// The keyword pages' count: the number of line breaks (N lines without a final break: N-1).
std::size_t KeywordGroupCount(std::string_view edit);

// URL / IP list pages. Stored value -> edit text: every "|" a line break. Edit text ->
// value: every CR and every LF a "|", then every "||" a "|" (one pass).
std::string ListValueToEdit(std::string_view value);
std::string ListEditToValue(std::string_view edit);
// The list pages' count: lines of at least 3 bytes.
std::size_t ListGroupCount(std::string_view edit);

// The count label, "<n>组" in GBK.
std::string GroupCountLabel(std::size_t count);

// Lines of a text typed or piped in: "\n" or "\r\n" ends a line, and one final line break
// ends the last line rather than starting an empty one. An empty text has no lines.
std::vector<std::string> SplitInputLines(std::string_view text);
// The lines of an edit text (separated by CR LF); an empty edit text has none.
std::vector<std::string> SplitEditLines(std::string_view edit);
// Lines joined with CR LF, as the edit box holds them.
std::string JoinEditLines(const std::vector<std::string>& lines);

}  // namespace orv::store
