// Finds the allTags slot of a name without comparing it against every tag: an
// open-addressing hash table keyed by the name's full hash, confirmed by comparing bytes.
#ifndef TAGTREE_PIPELINE_NAME_INDEX_H_
#define TAGTREE_PIPELINE_NAME_INDEX_H_

#include <array>
#include <cstdint>
#include <string_view>

namespace tagtree {

class NameIndex {
 public:
  static constexpr int kNotFound = -1;
  // Holds at most this many names; the table stays at most 40% full.
  static constexpr int kMaxNames = 100;

  // Returns the slot stored for `name` (whose hash is `hash`), or kNotFound.
  int find(std::string_view name, std::uint64_t hash) const;

  // Records that `name` (not yet present, hash `hash`) is in slot `slot`. At most
  // kMaxNames names may be inserted.
  void insert(std::string_view name, std::uint64_t hash, int slot);

 private:
  static constexpr std::size_t kTableSize = 256;  // a power of two
  struct Entry {
    std::uint64_t hash = 0;
    std::string_view name;
    int slot = kNotFound;
  };
  std::array<Entry, kTableSize> entries_{};
};

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_INDEX_H_
