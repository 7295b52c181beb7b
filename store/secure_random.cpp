#include "store/secure_random.h"

#include <array>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>
#else
#include <sys/random.h>

#include <cerrno>
#endif

namespace orv::store {

bool SecureRandomBytes(void* buffer, std::size_t size) {
  auto* out = static_cast<unsigned char*>(buffer);
#ifdef _WIN32
  while (size > 0) {
    const ULONG step = size > 0x10000 ? 0x10000 : static_cast<ULONG>(size);
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, out, step, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      return false;
    }
    out += step;
    size -= step;
  }
  return true;
#else
  while (size > 0) {
    const ssize_t got = getrandom(out, size, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    out += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
#endif
}

std::string SecureRandomText(std::string_view alphabet, std::size_t length) {
  if (alphabet.empty() || alphabet.size() > 256) return {};
  // The largest multiple of the alphabet's size that a byte can reach: bytes from there up
  // are drawn again, so every character is equally likely.
  const unsigned limit = 256u - 256u % static_cast<unsigned>(alphabet.size());
  std::string text;
  text.reserve(length);
  std::array<unsigned char, 64> bytes{};
  while (text.size() < length) {
    if (!SecureRandomBytes(bytes.data(), bytes.size())) return {};
    for (unsigned char byte : bytes) {
      if (byte >= limit) continue;
      text.push_back(alphabet[byte % alphabet.size()]);
      if (text.size() == length) break;
    }
  }
  return text;
}

}  // namespace orv::store
