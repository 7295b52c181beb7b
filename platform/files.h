// Small file-system helpers shared by the engine and the console. Paths are byte strings
// in the system's code page; both "/" and "\" separate folders.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace orv::files {

bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
bool Exists(const std::string& path);

// Creates a directory and any missing parents; true when it exists as a directory afterwards.
bool CreateDirectories(const std::string& path);

// The separator a directory text uses: its last "\" or "/", else the platform's own.
char SeparatorOf(std::string_view directory);

// Joins a directory and a name with exactly one separator between them. The separator
// is the one the directory text already uses ("\" or "/"), else the platform's own.
std::string JoinPath(std::string_view directory, std::string_view name);

// Reads a whole file; false (and `out` empty) when it cannot be opened or read, is a
// directory, or is larger than `maxBytes`.
bool ReadWholeFile(const std::string& path, std::string& out,
                   std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// Replaces a file's content atomically: writes a temporary file beside it, flushes it and
// renames it over the old one. On any failure the old file is left untouched, the
// temporary removed, and false returned.
bool WriteFileAtomically(const std::string& path, std::string_view content);

// Appends to a file, creating it when missing. False when it cannot be opened or written.
bool AppendToFile(const std::string& path, std::string_view content);

// Directory of the running program (on Windows: of the module holding this code, so inside a
// DLL it is the DLL's folder), ending with a separator; empty when it cannot be found.
std::string ModuleDirectory();

}  // namespace orv::files
