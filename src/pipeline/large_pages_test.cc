// Large-page memory: aligned as asked, large allocations to whole large pages, every byte
// usable, and a vector's worth through the allocator.
#include "pipeline/large_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace tagtree {
namespace {

TEST(LargePages, AlignsEveryAllocationAndLargeOnesToALargePage) {
  for (const std::size_t bytes : {std::size_t{1}, std::size_t{33}, std::size_t{4096},
                                  kLargeFrom - 1, kLargeFrom, kLargePage, 2 * kLargePage + 5}) {
    for (const std::size_t alignment : {std::size_t{8}, std::size_t{32}, std::size_t{64}}) {
      void* const memory = allocateLarge(bytes, alignment);
      const auto address = reinterpret_cast<std::uintptr_t>(memory);
      const std::size_t wanted = bytes >= kLargeFrom ? kLargePage : alignment;
      EXPECT_EQ(address % wanted, 0u) << bytes << " bytes, aligned to " << alignment;
      std::memset(memory, 0xA5, bytes);  // every byte may be written
      EXPECT_EQ(static_cast<unsigned char*>(memory)[bytes - 1], 0xA5);
      freeLarge(memory);
    }
  }
}

TEST(LargePages, ServeAVectorAsItGrows) {
  struct alignas(32) Wide {
    std::uint64_t value[4];
  };
  std::vector<Wide, LargePageAllocator<Wide>> table;
  for (std::uint64_t i = 0; i < 3 * kLargePage / sizeof(Wide); ++i) {
    table.push_back({{i, i, i, i}});
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(table.data()) % alignof(Wide), 0u) << i;
  }
  for (std::uint64_t i = 0; i < table.size(); i += 4099) EXPECT_EQ(table[i].value[3], i);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(table.data()) % kLargePage, 0u);
  EXPECT_THROW(LargePageAllocator<Wide>().allocate(SIZE_MAX / 16), std::bad_alloc);
}

}  // namespace
}  // namespace tagtree
