// IIS fills caller-supplied buffers (server variables, request headers). The handlers name a
// buffer size for every read, and a read that fails, also for want of room, counts as the
// empty value; this helper keeps that rule in one place for both roles.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace orv::isapi {

// `read(buffer, &size)` is the IIS callback bound to its name; it returns a WINBOOL.
template <typename Read>
bool ReadBounded(std::size_t bufferSize, std::string& value, Read&& read) {
  value.clear();
  if (bufferSize == 0 || bufferSize > std::numeric_limits<DWORD>::max()) return false;
  std::vector<char> buffer(bufferSize, '\0');
  DWORD size = static_cast<DWORD>(bufferSize);
  if (!read(buffer.data(), &size)) return false;
  // A value is whatever precedes the first NUL; the buffer was zeroed, so a callback that
  // forgot the terminator still cannot make us read past it.
  const void* end = std::memchr(buffer.data(), '\0', buffer.size());
  const std::size_t length =
      end ? static_cast<std::size_t>(static_cast<const char*>(end) - buffer.data()) : buffer.size();
  value.assign(buffer.data(), length);
  return true;
}

}  // namespace orv::isapi
