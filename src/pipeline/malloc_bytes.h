// Bytes allocated with std::malloc and owned: the input window's buffer can then become a
// block of the name store, so that a long name is held once, not copied.
#ifndef TAGTREE_PIPELINE_MALLOC_BYTES_H_
#define TAGTREE_PIPELINE_MALLOC_BYTES_H_

#include <cstdlib>
#include <memory>

namespace tagtree {

struct FreeBytes {
  void operator()(char* bytes) const { std::free(bytes); }
};
using MallocBytes = std::unique_ptr<char, FreeBytes>;

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_MALLOC_BYTES_H_
