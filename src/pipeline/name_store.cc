// NameStore: a name larger than a block gets a block of its own size, or brings its own.
#include "pipeline/name_store.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace tagtree {

std::string_view NameStore::keep(std::string_view name) {
  if (name.size() > left_) {
    const std::size_t size = std::max(name.size(), kBlockSize);
    MallocBytes block(static_cast<char*>(std::malloc(size)));
    if (block == nullptr) throw std::bad_alloc();
    blocks_.push_back(std::move(block));
    free_ = blocks_.back().get();
    left_ = size;
  }
  char* const copy = free_;
  if (!name.empty()) std::memcpy(copy, name.data(), name.size());
  free_ += name.size();
  left_ -= name.size();
  return {copy, name.size()};
}

std::string_view NameStore::adopt(MallocBytes block, std::size_t size) {
  blocks_.push_back(std::move(block));  // the room left in the last block stays where it is
  return {blocks_.back().get(), size};
}

}  // namespace tagtree
