// Copies of names that stay in place: blocks of memory, each filled before the next is
// taken, and never moved or freed before the store. The name index keeps views of the
// names it knows, and a survey of a large file knows many.
#ifndef TAGTREE_PIPELINE_NAME_STORE_H_
#define TAGTREE_PIPELINE_NAME_STORE_H_

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "pipeline/malloc_bytes.h"

namespace tagtree {

class NameStore {
 public:
  NameStore() = default;
  // A moved store takes the blocks, whose names stay where they are; the store moved
  // from is left empty, with no room in a block it no longer owns.
  NameStore(NameStore&& other) noexcept
      : blocks_(std::move(other.blocks_)),
        free_(std::exchange(other.free_, nullptr)),
        left_(std::exchange(other.left_, 0)) {}
  NameStore& operator=(NameStore&& other) noexcept {
    if (this == &other) return *this;
    blocks_ = std::move(other.blocks_);
    other.blocks_.clear();
    free_ = std::exchange(other.free_, nullptr);
    left_ = std::exchange(other.left_, 0);
    return *this;
  }

  // Names of this many bytes or more get a block of their own.
  static constexpr std::size_t kBlockSize = 256 * 1024;

  // Returns a copy of `name` that stays in place as long as the store. Throws
  // std::bad_alloc.
  std::string_view keep(std::string_view name);

  // Takes `block`, whose first `size` bytes are a name, and returns that name, which
  // stays in place as long as the store: a long name kept without a copy. Throws
  // std::bad_alloc, freeing `block`.
  std::string_view adopt(MallocBytes block, std::size_t size);

 private:
  std::vector<MallocBytes> blocks_;
  char* free_ = nullptr;  // the unused rest of the last block
  std::size_t left_ = 0;
};

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_STORE_H_
