// Finds the slot of a name without comparing it against every name: an open-addressing
// hash table of the names' full hashes, grown as names come, each match confirmed by the
// name's bytes.
//
// The hash is fixed, so names can be made to share it, but the work a word costs is
// bounded whatever the names: a name is looked for in at most kWindow entries from where
// its hash places it, and a name that finds all of them taken is kept in an ordered
// overflow instead, found there by about log2(names) comparisons: of hashes, and of bytes
// only between names that share their hash. Entries are never removed, so a window with a
// free entry stays so until the table grows: a name whose window has a free entry is not
// in the overflow. No result depends on the hash values, only the time a lookup takes.
#ifndef TAGTREE_PIPELINE_NAME_INDEX_H_
#define TAGTREE_PIPELINE_NAME_INDEX_H_

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <map>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "pipeline/name_hash.h"

namespace tagtree {

// `Hashing` gives the hash, as NameHashing does: hash(name, readable).
template <typename Hashing>
class BasicNameIndex {
 public:
  static constexpr std::uint32_t kNotFound = UINT32_MAX;

  // Makes an empty index. Throws std::bad_alloc.
  BasicNameIndex() : entries_(kInitialEntries) {}
  // A moved index takes the names; the index moved from is left empty, with a table of
  // its own. Throws std::bad_alloc, leaving both as they were.
  BasicNameIndex(BasicNameIndex&& other) : BasicNameIndex() { swap(other); }
  BasicNameIndex& operator=(BasicNameIndex&& other) {
    BasicNameIndex taken(std::move(other));
    swap(taken);
    return *this;
  }
  BasicNameIndex(const BasicNameIndex&) = delete;
  BasicNameIndex& operator=(const BasicNameIndex&) = delete;

  // Returns the slot of `name`, or kNotFound. Bytes up to `readable` (at or after the end
  // of `name`) may be read.
  std::uint32_t find(std::string_view name, const char* readable) const {
    return find(name, Hashing::hash(name, readable), nameHead(name, readable));
  }
  std::uint32_t find(std::string_view name) const { return find(name, name.data() + name.size()); }

  // Records `name`, which must not be present yet, in the next slot and returns it: 0
  // for the first name, 1 for the second, and so on. The bytes of `name` must stay in
  // place as long as the index. Throws std::bad_alloc, also when kNotFound names are in,
  // leaving the index as it was.
  std::uint32_t insert(std::string_view name);

  // Returns the number of names recorded.
  std::uint32_t size() const { return static_cast<std::uint32_t>(names_.size()); }

  // Returns the name recorded in `slot` (< size()): the bytes insert was given.
  std::string_view name(std::uint32_t slot) const { return names_[slot]; }

 private:
  // Entries at the start: room for 128 names, so that a run of tagtree, which knows at
  // most 100, never grows the table.
  static constexpr std::size_t kInitialEntries = 256;
  // The entries a name is looked for in, from where its hash places it: at a table at
  // most half full, a run of this many taken entries is rare unless names were made to
  // crowd.
  static constexpr std::size_t kWindow = 16;

  // A name's first 8 bytes, or all of a shorter one, the rest zero, are in its entry: a
  // name of up to 8 bytes is told by its entry alone, with no look at its bytes elsewhere.
  struct Entry {
    std::uint64_t hash = 0;
    std::uint64_t head = 0;
    std::uint32_t slot = kNotFound;
    std::uint32_t size = 0;  // of the name, up to 8; 9 for any longer
  };
  // Names whose windows were full, by hash and then bytes, to their slots.
  using Overflow = std::map<std::pair<std::uint64_t, std::string_view>, std::uint32_t>;

  std::uint32_t find(std::string_view name, std::uint64_t hash, std::uint64_t head) const;
  // Returns the entry of `slot`, whose name has the hash `hash`.
  Entry entryOf(std::uint32_t slot, std::uint64_t hash) const {
    const std::string_view name = names_[slot];
    return {hash, nameHead(name, name.data() + name.size()), slot,
            static_cast<std::uint32_t>(std::min<std::size_t>(name.size(), 9))};
  }
  // Puts `entry` in the first free entry of its window in `entries`, or else its name in
  // `overflow`, trying its end first: a growing table moves names there in order. Throws
  // std::bad_alloc.
  void place(std::vector<Entry>& entries, Overflow& overflow, const Entry& entry) const;
  void swap(BasicNameIndex& other) noexcept {
    entries_.swap(other.entries_);
    overflow_.swap(other.overflow_);
    names_.swap(other.names_);
  }

  std::vector<Entry> entries_;  // a power of two of them, at most half in use
  Overflow overflow_;
  std::vector<std::string_view> names_;  // by slot
};

// The index of tagtree and tagtree-explain.
using NameIndex = BasicNameIndex<NameHashing>;

template <typename Hashing>
inline std::uint32_t BasicNameIndex<Hashing>::find(std::string_view name, std::uint64_t hash,
                                                   std::uint64_t head) const {
  const std::size_t mask = entries_.size() - 1;
  const std::size_t size = std::min<std::size_t>(name.size(), 9);
  for (std::size_t i = hash; i != hash + kWindow; ++i) {
    const Entry& entry = entries_[i & mask];
    if (entry.slot == kNotFound) return kNotFound;
    if (entry.hash == hash && entry.head == head && entry.size == size &&
        (size <= 8 || names_[entry.slot] == name)) {
      return entry.slot;
    }
  }
  const auto found = overflow_.find({hash, name});
  return found == overflow_.end() ? kNotFound : found->second;
}

template <typename Hashing>
void BasicNameIndex<Hashing>::place(std::vector<Entry>& entries, Overflow& overflow,
                                    const Entry& entry) const {
  const std::size_t mask = entries.size() - 1;
  for (std::size_t i = entry.hash; i != entry.hash + kWindow; ++i) {
    if (entries[i & mask].slot == kNotFound) {
      entries[i & mask] = entry;
      return;
    }
  }
  overflow.emplace_hint(overflow.end(), std::pair{entry.hash, names_[entry.slot]}, entry.slot);
}

template <typename Hashing>
std::uint32_t BasicNameIndex<Hashing>::insert(std::string_view name) {
  assert(find(name) == kNotFound);
  if (names_.size() == kNotFound) throw std::bad_alloc();  // no slot number is left
  const auto slot = static_cast<std::uint32_t>(names_.size());
  names_.push_back(name);
  try {
    if (2 * names_.size() > entries_.size()) {
      // Built aside, so that the index stays as it was if memory runs out. The overflow is
      // taken in order, so that names that stay in it each go to its end.
      std::vector<Entry> entries(2 * entries_.size());
      Overflow overflow;
      for (const Entry& entry : entries_) {
        if (entry.slot != kNotFound) place(entries, overflow, entry);
      }
      for (const auto& [key, known] : overflow_)
        place(entries, overflow, entryOf(known, key.first));
      entries_.swap(entries);
      overflow_.swap(overflow);
    }
    place(entries_, overflow_, entryOf(slot, Hashing::hash(name, name.data() + name.size())));
  } catch (...) {
    names_.pop_back();
    throw;
  }
  return slot;
}

extern template class BasicNameIndex<NameHashing>;

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_INDEX_H_
