// Finds the allTags slot of a name without comparing it against every tag: an
// open-addressing hash table keyed by nameKey, confirmed by comparing bytes. Where long
// names share a key, their full hashes tell them apart before any bytes are compared.
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

  // Returns the slot stored for `name`, or kNotFound.
  int find(std::string_view name) const;

  // Records that `name` (not yet present) is in slot `slot`. At most kMaxNames names may
  // be inserted; the bytes of `name` must stay in place as long as the index.
  void insert(std::string_view name, int slot);

 private:
  static constexpr std::size_t kTableSize = 256;  // a power of two
  struct Entry {
    std::uint64_t key = 0;
    std::uint64_t hash = 0;  // nameHash(name), read only where another name shares the key
    std::string_view name;
    int slot = kNotFound;
    bool keyShared = false;
  };
  std::array<Entry, kTableSize> entries_{};
};

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_INDEX_H_
