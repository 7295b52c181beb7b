// Random bytes as a keyword database: the filter's load keeps its lists consistent, and the
// console's section rewrite always leaves the new text readable in its section.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "store/keyword_database.h"
#include "store/list_split.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  using orv::store::Section;
  const Section section = static_cast<Section>(data[0] % 4);
  // The new section text is the last data[1] % 64 bytes; the database is the rest.
  const std::size_t contentSize = std::min<std::size_t>(data[1] % 64, size - 2);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2 - contentSize);
  const std::string_view content(reinterpret_cast<const char*>(data) + size - contentSize,
                                 contentSize);

  const std::string text = orv::store::JoinLines(bytes);
  if (text.find('\n') != std::string::npos) std::abort();
  const orv::store::LoadedKeywordLists lists = orv::store::KeywordListsFromText(text);
  for (const auto* set : {&lists.gbk, &lists.utf8}) {
    if (set->replace.keys.size() != set->replace.values.size()) std::abort();
    for (std::size_t i = 0; i < set->replace.keys.size(); ++i) {
      if (set->replace.keys[i].size() != set->replace.values[i].size()) std::abort();
    }
  }
  for (const std::string& entry : lists.gbk.deny) {
    // A "@@" inside an entry is only possible where its first "@" ends a character.
    if (entry.size() < 2 || orv::store::CountOnCharacters(entry, "@@") != 0) std::abort();
  }
  if (lists.gbk.record.size() != lists.utf8.record.size()) std::abort();

  std::string edited(text);
  orv::store::ReplaceSection(edited, section, content);
  const bool holdsClosingTag =
      content.find(orv::store::TagsOf(section).close) != std::string_view::npos;
  if (!holdsClosingTag && orv::store::ExtractSection(edited, section) != content) std::abort();

  // Shown and saved again, a section keeps the entries the filter finds in it.
  const std::string shown = orv::store::SectionToEditedText(content);
  const std::string saved = orv::store::EditedTextToSection(shown);
  if (saved.find("\r\n") != std::string::npos) std::abort();
  return 0;
}
