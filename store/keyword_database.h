// The keyword database "OrvFilter.db": four tagged sections of GBK text, entries separated by
// "@@", no line breaks as the console writes it.
//
// The console keeps the whole file in memory (KeywordDatabase) and rewrites one section at a
// time; the filter reads the file into the raw keyword lists (LoadKeywordLists) that the
// settings load compiles.
#pragma once

#include <string>
#include <string_view>

#include "keywords/keyword_list.h"

namespace orv::store {

enum class Section { Deny, Replace, Record, Free };

struct SectionTags {
  std::string_view open;
  std::string_view close;
};

inline constexpr SectionTags kDenyTags{"<OrvKeyDeny>", "</OrvKeyDeny>"};
inline constexpr SectionTags kReplaceTags{"<OrvKeyRepl>", "</OrvKeyRepl>"};
inline constexpr SectionTags kRecordTags{"<KeyWordsJilu>", "</KeyWordsJilu>"};
inline constexpr SectionTags kFreeTags{"<OrvKeyFree>", "</OrvKeyFree>"};

inline constexpr std::string_view kEntrySeparator = "@@";

constexpr SectionTags TagsOf(Section section) {
  switch (section) {
    case Section::Deny:
      return kDenyTags;
    case Section::Replace:
      return kReplaceTags;
    case Section::Record:
      return kRecordTags;
    case Section::Free:
      return kFreeTags;
  }
  return kDenyTags;
}

// The file's lines joined with nothing between them (CR LF and LF line ends are dropped).
std::string JoinLines(std::string_view fileBytes);

// The text between the first opening tag and the first closing tag of the section; empty when
// either is missing or the closing tag comes first.
std::string ExtractSection(std::string_view text, Section section);

// Rewrites one section of `text` so that ExtractSection(text, section) == content afterwards
// (as long as `content` holds neither of the section's tags):
//  - no tags: the section is appended;
//  - both tags in order: the text between them is replaced;
//  - a closing tag without an opening tag before it: the opening tag and content go in front
//    of that closing tag;
//  - an opening tag without a closing tag (a damaged file): everything after the opening tag
//    is dropped and the content and the closing tag take its place.
void ReplaceSection(std::string& text, Section section, std::string_view content);

// The console's in-memory copy of the database.
class KeywordDatabase {
 public:
  // Reads the file, joining its lines. False when it cannot be read; the copy is then empty,
  // so a caller must not save it over a file that exists but failed to load.
  bool LoadDatabase(const std::string& path);
  std::string GetSection(Section section) const;
  void SetSection(Section section, std::string_view text);
  // Replaces the file's content with the copy, atomically and without adding a line break.
  // False on failure; the old file is then intact.
  bool SaveDatabase(const std::string& path) const;

  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// Editing convention of the keyword pages: one entry per line on screen. A "@@" counts only
// where a GBK character starts (never on the trail byte "@" of a double-byte character).
// Edited text -> section text: every CR LF becomes "@@", then every "@@@@" becomes "@@"
// (one pass, left to right).
std::string EditedTextToSection(std::string_view edited);
// Section text -> edited text: one leading and one trailing "@@" removed, every "@@" -> CR LF.
std::string SectionToEditedText(std::string_view section);

// The four lists of one encoding, as the file defines them (not yet compiled).
struct RawKeywordLists {
  keywords::KeywordList deny;
  keywords::ReplaceList replace;
  keywords::KeywordList record;
  keywords::KeywordList free;
};

struct LoadedKeywordLists {
  RawKeywordLists gbk;
  RawKeywordLists utf8;  // the same entries converted to UTF-8, values equalised in UTF-8
};

// One section's entries: lower-cased ("A".."Z" only), split on "@@" where a character starts,
// pieces shorter than two bytes dropped, file order and duplicates kept.
keywords::KeywordList SplitSectionEntries(std::string_view sectionText);

// Replace entries "key=value" split into keys and values; each value cut or padded with "*"
// to the byte length of its key; an entry without "=" gets one "*" per byte.
keywords::ReplaceList SplitReplaceEntries(const keywords::KeywordList& entries);

// The filter's load of the database text / file. A missing or unreadable file gives empty lists.
LoadedKeywordLists KeywordListsFromText(std::string_view databaseText);
LoadedKeywordLists LoadKeywordLists(const std::string& databasePath);

}  // namespace orv::store
