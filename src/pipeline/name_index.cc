// NameIndex: linear probing over a small fixed table.
#include "pipeline/name_index.h"

namespace tagtree {

int NameIndex::findLong(std::string_view name, std::uint64_t key, std::size_t i) const {
  bool hashed = false;
  std::uint64_t hash = 0;
  for (;; i = (i + 1) & (kTableSize - 1)) {
    const Entry& entry = entries_[i];
    if (entry.slot == kNotFound) return kNotFound;
    if (entry.key != key || entry.name.size() != name.size()) continue;
    if (entry.keyShared) {
      if (!hashed) {
        hash = nameHash(name);
        hashed = true;
      }
      if (entry.hash != hash) continue;
    }
    if (entry.name == name) return entry.slot;
  }
}

void NameIndex::insert(std::string_view name, int slot) {
  const std::uint64_t key = nameKey(name, name.data() + name.size());
  bool keyShared = false;
  std::size_t i = key & (kTableSize - 1);
  for (; entries_[i].slot != kNotFound; i = (i + 1) & (kTableSize - 1)) {
    if (entries_[i].key == key) entries_[i].keyShared = keyShared = true;
  }
  entries_[i] = Entry{key, nameHash(name), name, slot, keyShared};
}

}  // namespace tagtree
