// Finds the allTags slot of a name without comparing it against every tag: an
// open-addressing hash table keyed by nameKey. A short name is told apart by its key and
// length alone; a longer one is confirmed by comparing bytes, and where long names share
// a key, by their full hashes first.
#ifndef TAGTREE_PIPELINE_NAME_INDEX_H_
#define TAGTREE_PIPELINE_NAME_INDEX_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pipeline/name_hash.h"

namespace tagtree {

class NameIndex {
 public:
  static constexpr int kNotFound = -1;

  // Returns the slot stored for `name`, or kNotFound. Bytes up to `readable` (at or after
  // the end of `name`) may be read.
  int find(std::string_view name, const char* readable) const;
  int find(std::string_view name) const { return find(name, name.data() + name.size()); }

  // Records that `name` (not yet present) is in slot `slot`. At most 100 names may be
  // inserted, which keeps the table at most 40% full; the bytes of `name` must stay in
  // place as long as the index.
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

  // find for a name longer than kDistinctKeyLength whose key and length match the entry
  // at `i`: goes on from there, confirming by bytes.
  int findLong(std::string_view name, std::uint64_t key, std::size_t i) const;

  std::array<Entry, kTableSize> entries_{};
};

inline int NameIndex::find(std::string_view name, const char* readable) const {
  const std::uint64_t key = nameKey(name, readable);
  for (std::size_t i = key & (kTableSize - 1);; i = (i + 1) & (kTableSize - 1)) {
    const Entry& entry = entries_[i];
    if (entry.slot == kNotFound) return kNotFound;
    if (entry.key == key && entry.name.size() == name.size()) {
      return name.size() <= kDistinctKeyLength ? entry.slot : findLong(name, key, i);
    }
  }
}

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_INDEX_H_
