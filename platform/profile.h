// Profile strings: one key of one section of an INI file read or written per call, with the
// semantics of the Windows profile-string functions that the settings file relies on.
//
//  - section and key names compare without regard to ASCII case;
//  - blanks around a value, and one pair of double quotes enclosing it, are not part of it;
//  - the first of duplicate sections / keys wins;
//  - a missing file, section or key reads as empty; a value is cut to kMaxProfileValue bytes;
//  - a write creates the file, section or key as needed, replaces the value in place and
//    keeps every other line as it was (comments, other sections, unknown keys, order);
//    lines are written with CR LF; the file is replaced atomically (temporary + rename),
//    so a failed write leaves the old file intact and is reported by the return value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orv::profile {

// 65535-byte buffer less the terminating NUL.
inline constexpr std::size_t kMaxProfileValue = 65534;

std::string ReadProfileString(const std::string& file, std::string_view section,
                              std::string_view key);

bool WriteProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace orv::profile
