#include "store/keyword_database.h"

#include <new>

#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "store/list_split.h"

namespace orv::store {
namespace {

// Keyword databases run to a few megabytes; a file beyond this is not one and is treated
// as unreadable, so the host never has to hold it.
constexpr std::size_t kMaxDatabaseBytes = 256u << 20;

struct TagPositions {
  std::size_t open;
  std::size_t close;
};

TagPositions FindTags(std::string_view text, Section section) {
  const SectionTags tags = TagsOf(section);
  return {text.find(tags.open), text.find(tags.close)};
}

keywords::KeywordList ToUtf8(const keywords::KeywordList& entries) {
  keywords::KeywordList converted;
  converted.reserve(entries.size());
  for (const std::string& entry : entries) converted.push_back(codepage::AnsiToUtf8(entry));
  return converted;
}

}  // namespace

std::string JoinLines(std::string_view fileBytes) {
  std::string joined;
  joined.reserve(fileBytes.size());
  while (!fileBytes.empty()) {
    const std::size_t end = fileBytes.find('\n');
    std::string_view line = fileBytes.substr(0, end);
    if (end != std::string_view::npos && !line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    joined.append(line);
    if (end == std::string_view::npos) break;
    fileBytes.remove_prefix(end + 1);
  }
  return joined;
}

std::string ExtractSection(std::string_view text, Section section) {
  const TagPositions at = FindTags(text, section);
  if (at.open == std::string_view::npos || at.close == std::string_view::npos ||
      at.close < at.open) {
    return {};
  }
  const std::size_t begin = at.open + TagsOf(section).open.size();
  if (at.close < begin) return {};  // the tags overlap; nothing lies between them
  return std::string(text.substr(begin, at.close - begin));
}

void ReplaceSection(std::string& text, Section section, std::string_view content) {
  const SectionTags tags = TagsOf(section);
  const TagPositions at = FindTags(text, section);
  const bool hasOpen = at.open != std::string::npos;
  const bool hasClose = at.close != std::string::npos;
  std::string out;
  out.reserve(text.size() + content.size() + tags.open.size() + tags.close.size());
  if (!hasOpen && !hasClose) {
    out = text;
    out.append(tags.open).append(content).append(tags.close);
  } else if (hasClose && (!hasOpen || at.close < at.open)) {
    // A closing tag with no opening tag before it (missing, or only later in the file):
    // the section starts right before that closing tag. Splicing by the literal positions
    // would copy the text between them twice and leave the section unreadable.
    out.append(text, 0, at.close);
    out.append(tags.open).append(content);
    out.append(text, at.close, std::string::npos);
  } else if (hasOpen && hasClose) {
    out.append(text, 0, at.open + tags.open.size());
    out.append(content);
    out.append(text, at.close, std::string::npos);
  } else {
    // Damaged file: an opening tag that is never closed. Where the old section ended cannot
    // be known, so none of what followed the tag is kept.
    out.append(text, 0, at.open + tags.open.size());
    out.append(content).append(tags.close);
  }
  text.swap(out);
}

bool KeywordDatabase::LoadDatabase(const std::string& path) {
  text_.clear();
  std::string bytes;
  if (!files::ReadWholeFile(path, bytes, kMaxDatabaseBytes)) return false;
  try {
    text_ = JoinLines(bytes);
  } catch (const std::bad_alloc&) {
    text_.clear();
    return false;
  }
  return true;
}

std::string KeywordDatabase::GetSection(Section section) const {
  return ExtractSection(text_, section);
}

void KeywordDatabase::SetSection(Section section, std::string_view text) {
  ReplaceSection(text_, section, text);
}

bool KeywordDatabase::SaveDatabase(const std::string& path) const {
  return files::WriteFileAtomically(path, text_);
}

std::string EditedTextToSection(std::string_view edited) {
  return ReplaceAllOnCharacters(ReplaceAllOnCharacters(edited, "\r\n", kEntrySeparator), "@@@@",
                                kEntrySeparator);
}

std::string SectionToEditedText(std::string_view section) {
  if (section.starts_with(kEntrySeparator)) section.remove_prefix(kEntrySeparator.size());
  // A trailing "@@" whose first byte ends a double-byte character is part of the last entry.
  if (section.ends_with(kEntrySeparator) &&
      StartsCharacter(section, section.size() - kEntrySeparator.size())) {
    section.remove_suffix(kEntrySeparator.size());
  }
  return ReplaceAllOnCharacters(section, kEntrySeparator, "\r\n");
}

keywords::KeywordList SplitSectionEntries(std::string_view sectionText) {
  return SplitKeepingLongPieces(ascii::Lower(sectionText), kEntrySeparator);
}

keywords::ReplaceList SplitReplaceEntries(const keywords::KeywordList& entries) {
  keywords::ReplaceList list;
  list.keys.reserve(entries.size());
  list.values.reserve(entries.size());
  for (const std::string& entry : entries) {
    const std::size_t eq = entry.find('=');
    std::string key = entry.substr(0, eq);
    std::string value = eq == std::string::npos ? std::string() : entry.substr(eq + 1);
    value.resize(key.size(), '*');
    list.keys.push_back(std::move(key));
    list.values.push_back(std::move(value));
  }
  return list;
}

LoadedKeywordLists KeywordListsFromText(std::string_view databaseText) {
  LoadedKeywordLists lists;
  lists.gbk.deny = SplitSectionEntries(ExtractSection(databaseText, Section::Deny));
  lists.utf8.deny = ToUtf8(lists.gbk.deny);
  // Keys and values are split and equalised in each encoding on its own.
  const keywords::KeywordList replace =
      SplitSectionEntries(ExtractSection(databaseText, Section::Replace));
  lists.gbk.replace = SplitReplaceEntries(replace);
  lists.utf8.replace = SplitReplaceEntries(ToUtf8(replace));
  lists.gbk.record = SplitSectionEntries(ExtractSection(databaseText, Section::Record));
  lists.utf8.record = ToUtf8(lists.gbk.record);
  lists.gbk.free = SplitSectionEntries(ExtractSection(databaseText, Section::Free));
  lists.utf8.free = ToUtf8(lists.gbk.free);
  return lists;
}

LoadedKeywordLists LoadKeywordLists(const std::string& databasePath) {
  std::string bytes;
  if (!files::ReadWholeFile(databasePath, bytes, kMaxDatabaseBytes)) return {};
  return KeywordListsFromText(JoinLines(bytes));
}

}  // namespace orv::store
