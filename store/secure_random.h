// Bytes from the operating system's cryptographic random source, for secrets such as the
// safe code: a guessable generator (time-seeded) would let anyone who knows roughly when the
// settings were written try every code of that second.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orv::store {

// Fills `buffer` with `size` random bytes. False when the source cannot be read; the buffer is
// then not to be used.
bool SecureRandomBytes(void* buffer, std::size_t size);

// `length` characters drawn uniformly from `alphabet` (at most 256 characters): bytes that
// would favour the first characters are drawn again rather than folded in by a modulo.
// Empty when the random source fails.
std::string SecureRandomText(std::string_view alphabet, std::size_t length);

}  // namespace orv::store
