// NameIndex: linear probing over a small fixed table.
#include "pipeline/name_index.h"

namespace tagtree {

int NameIndex::find(std::string_view name, std::uint64_t hash) const {
  for (std::size_t i = hash & (kTableSize - 1);; i = (i + 1) & (kTableSize - 1)) {
    const Entry& entry = entries_[i];
    if (entry.slot == kNotFound) return kNotFound;
    if (entry.hash == hash && entry.name == name) return entry.slot;
  }
}

void NameIndex::insert(std::string_view name, std::uint64_t hash, int slot) {
  std::size_t i = hash & (kTableSize - 1);
  while (entries_[i].slot != kNotFound) i = (i + 1) & (kTableSize - 1);
  entries_[i] = Entry{hash, name, slot};
}

}  // namespace tagtree
