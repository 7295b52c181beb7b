#include "filter/isapi/connection_buffer.h"

#include <cstring>
#include <limits>
#include <new>

namespace orv::isapi {
namespace {

// What pFilterContext points at: the block's usable size, then the bytes.
struct ConnectionBuffer {
  DWORD capacity;
  char* Bytes() { return reinterpret_cast<char*>(this + 1); }
};

constexpr DWORD kMaxCapacity = std::numeric_limits<DWORD>::max() - sizeof(ConnectionBuffer);

}  // namespace

char* CopyIntoConnectionBuffer(HTTP_FILTER_CONTEXT& context, std::string_view chunk) {
  if (chunk.size() >= kMaxCapacity) return nullptr;
  const DWORD needed = static_cast<DWORD>(chunk.size()) + 1;
  auto* buffer = static_cast<ConnectionBuffer*>(context.pFilterContext);
  if (buffer == nullptr || buffer->capacity < needed) {
    if (!context.AllocMem) return nullptr;
    DWORD capacity = kFirstConnectionBuffer;
    if (buffer != nullptr && buffer->capacity <= kMaxCapacity / 2) capacity = 2 * buffer->capacity;
    if (capacity < needed) capacity = needed;
    void* memory = context.AllocMem(&context, sizeof(ConnectionBuffer) + capacity, 0);
    if (memory == nullptr) return nullptr;
    // The block before it stays until IIS frees them both when the connection ends.
    buffer = new (memory) ConnectionBuffer{capacity};
    context.pFilterContext = buffer;
  }
  char* bytes = buffer->Bytes();
  if (!chunk.empty()) std::memcpy(bytes, chunk.data(), chunk.size());
  bytes[chunk.size()] = '\0';
  return bytes;
}

}  // namespace orv::isapi
