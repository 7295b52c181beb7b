// MD5 message digest (RFC 1321), our own, as the online keyword service and KeyFromText use it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::online {

class Md5 {
 public:
  Md5();
  void Update(std::string_view bytes);
  // Finishes the digest; the object must not be updated afterwards.
  std::array<std::uint8_t, 16> Finish();

 private:
  void Transform(const std::uint8_t* block);

  std::array<std::uint32_t, 4> state_;
  std::uint64_t length_ = 0;  // bytes seen
  std::array<std::uint8_t, 64> buffer_{};
};

// The digest of `bytes` as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view bytes);

}  // namespace orv::online
