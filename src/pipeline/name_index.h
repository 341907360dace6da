// Finds the slot of a name without comparing it against every name: an open-addressing
// hash table keyed by nameKey, grown as names come. Every match is confirmed by the
// name's bytes. Long names that share a key, alike at both ends, are told apart by their
// full hashes first, so a lookup reads a word a bounded number of times, however many
// names are alike.
#ifndef TAGTREE_PIPELINE_NAME_INDEX_H_
#define TAGTREE_PIPELINE_NAME_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "pipeline/name_hash.h"

namespace tagtree {

class NameIndex {
 public:
  static constexpr std::uint32_t kNotFound = UINT32_MAX;

  // Makes an empty index. Throws std::bad_alloc.
  NameIndex();

  // Returns the slot of `name`, or kNotFound. Bytes up to `readable` (at or after the end
  // of `name`) may be read.
  std::uint32_t find(std::string_view name, const char* readable) const;
  std::uint32_t find(std::string_view name) const { return find(name, name.data() + name.size()); }

  // Records `name`, which must not be present yet, in the next slot and returns it: 0
  // for the first name, 1 for the second, and so on. The bytes of `name` must stay in
  // place as long as the index. Throws std::bad_alloc, also when kNotFound names are in.
  std::uint32_t insert(std::string_view name);

  // Returns the number of names recorded.
  std::uint32_t size() const { return static_cast<std::uint32_t>(names_.size()); }

 private:
  struct Entry {
    std::uint64_t key = 0;
    std::uint32_t slot = kNotFound;
  };
  struct Name {
    std::string_view bytes;
    std::uint64_t hash;  // nameHash(bytes), read only where another name shares the key
    bool keyShared;
  };

  // find for a name whose key the entry at `i` shares with other names.
  std::uint32_t findAmongShared(std::string_view name, std::uint64_t key, std::size_t i) const;
  // Doubles the table.
  void grow();

  std::vector<Entry> entries_;  // a power of two of them, at most half in use
  std::vector<Name> names_;     // by slot
};

inline std::uint32_t NameIndex::find(std::string_view name, const char* readable) const {
  const std::uint64_t key = nameKey(name, readable);
  const std::size_t mask = entries_.size() - 1;
  for (std::size_t i = key & mask;; i = (i + 1) & mask) {
    const Entry& entry = entries_[i];
    if (entry.slot == kNotFound) return kNotFound;
    if (entry.key != key) continue;
    const Name& known = names_[entry.slot];
    if (known.keyShared) return findAmongShared(name, key, i);
    // No other name has this key: it is this one, or none.
    return known.bytes == name ? entry.slot : kNotFound;
  }
}

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_INDEX_H_
