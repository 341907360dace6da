// NameStore: a name larger than a block gets a block of its own size.
#include "pipeline/name_store.h"

#include <algorithm>
#include <cstring>

namespace tagtree {

std::string_view NameStore::keep(std::string_view name) {
  if (name.size() > left_) {
    const std::size_t size = std::max(name.size(), kBlockSize);
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    free_ = blocks_.back().get();
    left_ = size;
  }
  char* const copy = free_;
  if (!name.empty()) std::memcpy(copy, name.data(), name.size());
  free_ += name.size();
  left_ -= name.size();
  return {copy, name.size()};
}

}  // namespace tagtree
