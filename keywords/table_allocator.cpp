#include "keywords/table_allocator.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace orv::keywords {

namespace {

#if defined(__linux__)
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t MappedBytes(std::size_t bytes) {
  return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}
#endif

}  // namespace

void* TableMemory(std::size_t bytes) {
#if defined(__linux__)
  if (bytes >= kHugePage) {
    // Mapped one huge page larger and trimmed, so that the table starts on a huge-page
    // boundary; advised before anything is written, so the first touch already gets
    // huge pages.
    const std::size_t length = MappedBytes(bytes);
    void* mapped = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    auto* base = static_cast<char*>(mapped);
    const std::size_t lead =
        (kHugePage - reinterpret_cast<std::uintptr_t>(base) % kHugePage) % kHugePage;
    if (lead > 0) munmap(base, lead);
    if (kHugePage - lead > 0) munmap(base + lead + length, kHugePage - lead);
    madvise(base + lead, length, MADV_HUGEPAGE);  // a hint: refused, the pages stay small
    return base + lead;
  }
#endif
  return ::operator new(bytes);
}

void ReleaseTableMemory(void* memory, [[maybe_unused]] std::size_t bytes) noexcept {
#if defined(__linux__)
  if (bytes >= kHugePage) {
    munmap(memory, MappedBytes(bytes));
    return;
  }
#endif
  ::operator delete(memory);
}

}  // namespace orv::keywords
