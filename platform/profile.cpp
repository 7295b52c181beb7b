#include "platform/profile.h"

#include <mutex>
#include <new>
#include <vector>

#include "platform/ascii.h"
#include "platform/files.h"

namespace orv::profile {
namespace {

// A settings file is a few kilobytes; anything far larger is not one of ours and is treated
// as unreadable rather than loaded into the host's memory.
constexpr std::size_t kMaxProfileFileBytes = 16u << 20;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != text.npos;
}

// The lines of a file without their line ends (LF or CR LF). A final line end does not
// start another line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// "[name]" (blanks allowed around and inside the brackets): the section's name.
bool ParseSectionHeader(std::string_view line, std::string_view& name) {
  const std::string_view trimmed = ascii::TrimBlanks(line);
  if (trimmed.empty() || trimmed.front() != '[') return false;
  const std::size_t close = trimmed.rfind(']');
  if (close == std::string_view::npos) return false;
  name = ascii::TrimBlanks(trimmed.substr(1, close - 1));
  return true;
}

// "key = value": the key (trimmed) and the raw text after the first "=". Comment lines
// (";" first) and lines without "=" carry no key.
bool ParseKeyLine(std::string_view line, std::string_view& key, std::string_view& rawValue) {
  const std::string_view trimmed = ascii::TrimBlanks(line);
  if (trimmed.empty() || trimmed.front() == ';') return false;
  const std::size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) return false;
  key = ascii::TrimBlanks(trimmed.substr(0, eq));
  rawValue = trimmed.substr(eq + 1);
  return true;
}

std::string CleanValue(std::string_view raw) {
  std::string_view value = ascii::TrimBlanks(raw);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  if (value.size() > kMaxProfileValue) value = value.substr(0, kMaxProfileValue);
  return std::string(value);
}

std::string_view WithoutBom(std::string_view text) {
  if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
  return text;
}

}  // namespace

std::string ReadProfileString(const std::string& file, std::string_view section,
                              std::string_view key) {
  try {
    std::string content;
    if (!files::ReadWholeFile(file, content, kMaxProfileFileBytes)) return {};
    section = ascii::TrimBlanks(section);
    key = ascii::TrimBlanks(key);
    bool inSection = false;
    for (const std::string_view line : SplitLines(WithoutBom(content))) {
      std::string_view name;
      if (ParseSectionHeader(line, name)) {
        // Only the first section of a name counts.
        if (inSection) return {};
        inSection = ascii::EqualsNoCase(name, section);
        continue;
      }
      std::string_view lineKey;
      std::string_view rawValue;
      if (inSection && ParseKeyLine(line, lineKey, rawValue) && ascii::EqualsNoCase(lineKey, key)) {
        return CleanValue(rawValue);
      }
    }
  } catch (const std::bad_alloc&) {
    // Fail open: an unreadable value is an empty one.
  }
  return {};
}

bool WriteProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
  section = ascii::TrimBlanks(section);
  key = ascii::TrimBlanks(key);
  // Names and values that the line format cannot hold would corrupt the file's structure.
  if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
      HasLineBreak(value) || section.find(']') != section.npos || key.find('=') != key.npos ||
      key.front() == '[' || key.front() == ';') {
    return false;
  }
  // A write reads, edits and replaces the whole file; two at once in this process would lose
  // one of them.
  static std::mutex writeMutex;
  const std::lock_guard<std::mutex> lock(writeMutex);
  try {
    std::string content;
    if (files::Exists(file) && !files::ReadWholeFile(file, content, kMaxProfileFileBytes)) {
      return false;  // never replace a file whose content we could not read
    }
    const bool hasBom = content.starts_with(kUtf8Bom);
    std::vector<std::string_view> lines = SplitLines(WithoutBom(content));

    // Built by appending: GCC 12 at -O3 reports a false -Wrestrict for "[" + std::string&&.
    std::string newSectionLine = "[";
    newSectionLine.append(section).append("]");
    std::string newKeyLine;
    std::size_t sectionStart = lines.size();  // index of the header
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::string_view name;
      if (ParseSectionHeader(lines[i], name) && ascii::EqualsNoCase(name, section)) {
        sectionStart = i;
        break;
      }
    }
    if (sectionStart == lines.size()) {
      newKeyLine = std::string(key) + "=" + std::string(value);
      lines.push_back(newSectionLine);
      lines.push_back(newKeyLine);
    } else {
      std::size_t lastContent = sectionStart;  // where a new key goes after
      std::size_t found = lines.size();
      for (std::size_t i = sectionStart + 1; i < lines.size(); ++i) {
        std::string_view name;
        if (ParseSectionHeader(lines[i], name)) break;
        if (!ascii::TrimBlanks(lines[i]).empty()) lastContent = i;
        std::string_view lineKey;
        std::string_view rawValue;
        if (ParseKeyLine(lines[i], lineKey, rawValue) && ascii::EqualsNoCase(lineKey, key)) {
          found = i;
          break;
        }
      }
      if (found != lines.size()) {
        // Keep the key as the file spells it.
        std::string_view lineKey;
        std::string_view rawValue;
        ParseKeyLine(lines[found], lineKey, rawValue);
        newKeyLine = std::string(lineKey) + "=" + std::string(value);
        lines[found] = newKeyLine;
      } else {
        newKeyLine = std::string(key) + "=" + std::string(value);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastContent + 1), newKeyLine);
      }
    }

    std::string out;
    out.reserve(content.size() + newSectionLine.size() + newKeyLine.size() + 8);
    if (hasBom) out.append(kUtf8Bom);
    for (const std::string_view line : lines) {
      out.append(line);
      out.append("\r\n");
    }
    return files::WriteFileAtomically(file, out);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace orv::profile
