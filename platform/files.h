// Small file-system helpers shared by the engine and the console. Paths are byte strings
// in the system's code page; both "/" and "\" separate folders.
#pragma once

#include <string>
#include <string_view>

namespace orv::files {

bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
bool Exists(const std::string& path);

// Joins a directory and a name with exactly one separator between them. The separator
// is the one the directory text already uses ("\" or "/"), else the platform's own.
std::string JoinPath(std::string_view directory, std::string_view name);

// Reads a whole file; false (and `out` empty) when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

// Replaces a file's content atomically: writes a temporary file beside it, flushes it and
// renames it over the old one. On any failure the old file is left untouched, the
// temporary removed, and false returned.
bool WriteFileAtomically(const std::string& path, std::string_view content);

// Appends to a file, creating it when missing. False when it cannot be opened or written.
bool AppendToFile(const std::string& path, std::string_view content);

// Directory of the running program (or of the given module on Windows), ending with a separator.
std::string ModuleDirectory();

}  // namespace orv::files
