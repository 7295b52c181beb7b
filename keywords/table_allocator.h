// Storage for the automaton's large tables. A scan jumps between rows spread over many
// megabytes, so with ordinary 4 KiB pages nearly every step also misses the address
// translation cache; on Linux, tables of at least one huge page are placed on 2 MiB pages
// where the kernel allows it (transparent huge pages in "madvise" or "always" mode).
// Elsewhere, and for small tables, it is the ordinary allocator.
#pragma once

#include <cstddef>
#include <new>

namespace orv::keywords {

// Raw storage: at least `bytes`, aligned for any scalar. Released with ReleaseTableMemory
// and the same size.
void* TableMemory(std::size_t bytes);
void ReleaseTableMemory(void* memory, std::size_t bytes) noexcept;

template <class T>
struct TableAllocator {
  using value_type = T;
  TableAllocator() = default;
  template <class U>
  TableAllocator(const TableAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(TableMemory(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept { ReleaseTableMemory(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const TableAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace orv::keywords
