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

std::uint32_t NameIndex::findLong(std::string_view name, const char* readable) const {
  const std::uint64_t key = nameKey(name, readable);
  const std::size_t mask = entries_.size() - 1;
  for (std::size_t i = key & mask;; i = (i + 1) & mask) {
    const Entry& entry = entries_[i];
    if (entry.slot == kNotFound) return kNotFound;
    if (entry.word != key || entry.shape < kLong) continue;
    if (entry.shape == kLongShared) return findAmongShared(name, key, i);
    // No other name has this key: it is this one, or none.
    return names_[entry.slot].bytes == name ? entry.slot : kNotFound;
  }
}

std::uint32_t NameIndex::findAmongShared(std::string_view name, std::uint64_t key,
                                         std::size_t i) const {
  const std::uint64_t hash = nameHash(name);
  const std::size_t mask = entries_.size() - 1;
  for (;; i = (i + 1) & mask) {
    const Entry& entry = entries_[i];
    if (entry.slot == kNotFound) return kNotFound;
    if (entry.word != key || entry.shape < kLong) continue;
    const LongName& known = names_[entry.slot];
    if (known.hash == hash && known.bytes == name) return entry.slot;
  }
}

std::uint32_t NameIndex::insert(std::string_view name) {
  if (names_.size() == kNotFound) throw std::bad_alloc();  // no slot number is left
  if (2 * (names_.size() + 1) > entries_.size()) grow();
  const auto slot = static_cast<std::uint32_t>(names_.size());
  if (name.size() <= kShortName) {
    names_.push_back({{}, 0});
    const std::uint64_t word = shortWord(name, name.data() + name.size());
    const auto size = static_cast<std::uint32_t>(name.size());
    place({word, slot, size}, shortHash(word, size));
    return slot;
  }
  const std::uint64_t key = nameKey(name, name.data() + name.size());
  std::uint32_t shape = kLong;
  const std::size_t mask = entries_.size() - 1;
  for (std::size_t i = key & mask; entries_[i].slot != kNotFound; i = (i + 1) & mask) {
    if (entries_[i].word == key && entries_[i].shape >= kLong)
      entries_[i].shape = shape = kLongShared;
  }
  names_.push_back({name, nameHash(name)});
  place({key, slot, shape}, key);
  return slot;
}

void NameIndex::place(const Entry& entry, std::uint64_t position) {
  const std::size_t mask = entries_.size() - 1;
  std::size_t i = position & mask;
  while (entries_[i].slot != kNotFound) i = (i + 1) & mask;
  entries_[i] = entry;
}

void NameIndex::grow() {
  std::vector<Entry> entries(2 * entries_.size());
  entries_.swap(entries);
  for (const Entry& entry : entries) {
    if (entry.slot == kNotFound) continue;
    place(entry, entry.shape < kLong ? shortHash(entry.word, entry.shape) : entry.word);
  }
}

}  // namespace tagtree
