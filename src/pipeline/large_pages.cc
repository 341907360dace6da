// Large pages: aligned_alloc, then madvise for transparent huge pages, which Linux gives
// where they are set to "madvise" or "always" and a 2 MiB range is free to take them.
#include "pipeline/large_pages.h"

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace tagtree {

void* allocateLarge(std::size_t bytes, std::size_t alignment) {
  if (bytes < kLargeFrom) {
    void* const memory =
        alignment <= alignof(std::max_align_t)
            ? std::malloc(bytes)
            : std::aligned_alloc(alignment, (bytes + alignment - 1) / alignment * alignment);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
  }
  if (bytes > SIZE_MAX - kLargePage) throw std::bad_alloc();
  const std::size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
  void* const memory = std::aligned_alloc(kLargePage, rounded);
  if (memory == nullptr) throw std::bad_alloc();
  ::madvise(memory, rounded, MADV_HUGEPAGE);  // a hint: declined, the pages are small
  return memory;
}

void freeLarge(void* memory) noexcept { std::free(memory); }

}  // namespace tagtree
