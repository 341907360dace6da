// NameIndex: linear probing over a table that doubles when half full.
#include "pipeline/name_index.h"

#include <new>

namespace tagtree {
namespace {

// Entries at the start: room for 128 names, so that a run of tagtree, which knows at most
// 100, never grows the table.
constexpr std::size_t kInitialEntries = 256;

}  // namespace

NameIndex::NameIndex() : entries_(kInitialEntries) {}

std::uint32_t NameIndex::findAmongShared(std::string_view name, std::uint64_t key,
                                         std::size_t i) const {
  const std::uint64_t hash = nameHash(name);
  const std::size_t mask = entries_.size() - 1;
  for (;; i = (i + 1) & mask) {
    const Entry& entry = entries_[i];
    if (entry.slot == kNotFound) return kNotFound;
    if (entry.key != key) continue;
    const Name& known = names_[entry.slot];
    if (known.hash == hash && known.bytes == name) return entry.slot;
  }
}

std::uint32_t NameIndex::insert(std::string_view name) {
  if (names_.size() == kNotFound) throw std::bad_alloc();  // no slot number is left
  if (2 * (names_.size() + 1) > entries_.size()) grow();
  const std::uint64_t key = nameKey(name, name.data() + name.size());
  const auto slot = static_cast<std::uint32_t>(names_.size());
  bool keyShared = false;
  const std::size_t mask = entries_.size() - 1;
  std::size_t i = key & mask;
  for (; entries_[i].slot != kNotFound; i = (i + 1) & mask) {
    if (entries_[i].key == key) names_[entries_[i].slot].keyShared = keyShared = true;
  }
  names_.push_back({name, nameHash(name), keyShared});
  entries_[i] = {key, slot};
  return slot;
}

void NameIndex::grow() {
  std::vector<Entry> entries(2 * entries_.size());
  const std::size_t mask = entries.size() - 1;
  for (const Entry& entry : entries_) {
    if (entry.slot == kNotFound) continue;
    std::size_t i = entry.key & mask;
    while (entries[i].slot != kNotFound) i = (i + 1) & mask;
    entries[i] = entry;
  }
  entries_.swap(entries);
}

}  // namespace tagtree
