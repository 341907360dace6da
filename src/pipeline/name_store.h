// Copies of names that stay in place: blocks of memory, each filled before the next is
// taken, and never moved or freed before the store. The name index keeps views of the
// names it knows, and a survey of a large file knows many.
#ifndef TAGTREE_PIPELINE_NAME_STORE_H_
#define TAGTREE_PIPELINE_NAME_STORE_H_

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace tagtree {

class NameStore {
 public:
  // Returns a copy of `name` that stays in place as long as the store. Throws
  // std::bad_alloc.
  std::string_view keep(std::string_view name);

 private:
  static constexpr std::size_t kBlockSize = 256 * 1024;

  std::vector<std::unique_ptr<char[]>> blocks_;
  char* free_ = nullptr;  // the unused rest of the last block
  std::size_t left_ = 0;
};

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_STORE_H_
