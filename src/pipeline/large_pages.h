// Memory for large tables read at random, such as the name index's: where the kernel
// allows it, in pages of 2 MiB rather than 4 KiB, so that a lookup in a table of a few
// MiB costs a cache miss, not a cache miss and a walk of the page tables as well.
#ifndef TAGTREE_PIPELINE_LARGE_PAGES_H_
#define TAGTREE_PIPELINE_LARGE_PAGES_H_

#include <cstddef>
#include <cstdint>
#include <new>

namespace tagtree {

// The size of a large page, and the size from which an allocation is made of them: a
// table of a quarter of one or more is read at random often enough to repay what it
// leaves unused.
inline constexpr std::size_t kLargePage = std::size_t{2} << 20;
inline constexpr std::size_t kLargeFrom = kLargePage / 4;

// Returns `bytes` (> 0) of memory aligned to `alignment` (a power of two up to
// alignof(std::max_align_t) or kLargePage); from kLargeFrom bytes on, aligned to
// kLargePage, its size rounded up to whole large pages and the kernel asked to back it
// with them, which it may decline. Throws std::bad_alloc.
void* allocateLarge(std::size_t bytes, std::size_t alignment);
// Frees what allocateLarge returned.
void freeLarge(void* memory) noexcept;

// A standard allocator of allocateLarge's memory.
template <typename T>
struct LargePageAllocator {
  using value_type = T;
  LargePageAllocator() = default;
  template <typename U>
  LargePageAllocator(const LargePageAllocator<U>&) {}  // NOLINT: converts, as allocators do
  T* allocate(std::size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(allocateLarge(n * sizeof(T), alignof(T)));
  }
  void deallocate(T* memory, std::size_t) noexcept { freeLarge(memory); }
  template <typename U>
  bool operator==(const LargePageAllocator<U>&) const {
    return true;
  }
};

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_LARGE_PAGES_H_
