// Whole-file text reading and writing, folder listing and deletion to the desktop trash.
// Paths are GBK byte strings.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orv::console {

// Reads the file line by line (LF ends a line, a CR before it is dropped) and joins the lines
// with "\n" after each one (`lineBreaks` set) or with nothing. True when read to its end;
// false with an empty text when it cannot be opened, with the text so far on a read error.
bool ReadTextFile(const std::string& path, std::string& text, bool lineBreaks);

// Replaces `lines` with the file's non-empty lines in file order. False when the file cannot
// be opened (lines empty) or on a read error (lines so far kept).
bool ReadNonEmptyLines(const std::string& path, std::vector<std::string>& lines);

// Non-empty lines of the file; 0 when it cannot be opened, the count so far on a read error.
std::size_t CountNonEmptyLines(const std::string& path);

// Writes (or appends) `text` in the text mode of the stored files: every bare line feed, and
// the line break added when `lineBreak` is set, goes out as CR LF. False when the path is
// empty or the file cannot be opened or written.
bool WriteTextFile(const std::string& path, const std::string& text, bool lineBreak, bool append);

// Replaces `names` with the bare names in `folder` matching "*." + extension ("*" or empty:
// every entry), files and folders alike, except folders starting with "." and the entries
// "debug.log" and "system.log". 0 when the folder is not an existing directory.
std::size_t ListFilesByExtension(std::vector<std::string>& names, const std::string& folder,
                                 const std::string& extension);

// Moves an existing file (never a directory) to the desktop trash; false when the path is
// empty, is not an existing file or cannot be moved.
bool DeletePath(const std::string& path);

}  // namespace orv::console
