// The console's reversible text scrambling: the account record in the settings file and the
// keyword lists of the online service use the keyed two-bytes-per-byte form; texts built into
// the program use the letter-pair form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv::online {

// Each byte becomes two bytes in 140..182 (never a zero byte). Empty in, empty out.
std::string ScrambleWithKey(std::string_view text, std::uint32_t key);

// The inverse: reads up to the first zero byte, two bytes at a time (a lone last byte is
// ignored); with `lowerCase` each result byte "A".."Z" is lower-cased.
std::string UnscrambleWithKey(std::string_view text, std::uint32_t key, bool lowerCase);

// A key from a text: the byte sum of MD5-derived digits of the trimmed, lower-cased text.
std::uint32_t KeyFromText(std::string_view text);

// Letter pairs (f, s) -> byte 26*f + s - 87, then XOR with a running key:
// out = b ^ ((k >> 8) & 0xff); k = (b + k) * multiplier + increment.
std::string UnscrambleLetterPairs(std::string_view text, std::uint32_t startKey,
                                  std::uint32_t multiplier, std::uint32_t increment);

// The inverse of UnscrambleLetterPairs, for making the texts built into the program.
std::string ScrambleLetterPairs(std::string_view text, std::uint32_t startKey,
                                std::uint32_t multiplier, std::uint32_t increment);

}  // namespace orv::online
