// Finds the slot of a name without comparing it against every name: an open-addressing
// hash table, grown as names come, each match confirmed by the name's bytes. A name of
// up to 8 bytes is kept in its entry itself, so that finding one touches nothing else:
// a survey of a large file looks up millions of words among tens of thousands of names,
// where every other memory read is a cache miss. A longer name is found by its key
// (nameKey) and compared with the bytes it points to; long names that share a key, alike
// at both ends, are told apart by their full hashes first.
//
// The hashes are fixed, so names can be made to share them, but the work a word costs is
// bounded whatever the names: a name is looked for in at most kWindow entries from where
// its search starts, and a name that finds all of them taken is kept in an ordered
// overflow instead, found there by at most about log2(names) comparisons: of integers,
// or of bytes between names that share a full hash. Entries are never removed, so a
// window with a free entry stays so until the table grows: a name whose window has a
// free entry is not in the overflow.
#ifndef TAGTREE_PIPELINE_NAME_INDEX_H_
#define TAGTREE_PIPELINE_NAME_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <new>
#include <string_view>
#include <tuple>
#include <vector>

#include "pipeline/byte_load.h"
#include "pipeline/name_hash.h"

namespace tagtree {

// `Hashing` gives the hashes, as NameHashing does: shortHash(word, size), key(name,
// readable) and fullHash(name).
template <typename Hashing>
class BasicNameIndex {
 public:
  static constexpr std::uint32_t kNotFound = UINT32_MAX;

  // Makes an empty index. Throws std::bad_alloc.
  BasicNameIndex();

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
  static constexpr std::size_t kShortName = 8;  // names of up to this many bytes are short
  // Entry::shape of a long name, and of one whose key another long name shares.
  static constexpr std::uint32_t kLong = kShortName + 1;
  static constexpr std::uint32_t kLongShared = kShortName + 2;
  // The entries a name is looked for in, from where its search starts: at a table at most
  // half full, a run of this many taken entries is rare unless names were made to crowd.
  static constexpr std::size_t kWindow = 16;

  struct Entry {
    std::uint64_t word = 0;  // a short name's bytes, the rest zero; a long name's key
    std::uint32_t slot = kNotFound;
    std::uint32_t shape = 0;  // a short name's size, kLong or kLongShared
  };
  struct Name {
    std::string_view bytes;
    std::uint64_t hash;  // a long name's full hash; a short name's bytes, as in its entry
  };
  // A name in the overflow: a short one by its bytes as in its entry (word) and size, a
  // long one by its full hash, size and bytes, so that telling apart two long names
  // compares bytes only where they share their full hash.
  struct OverflowKey {
    std::uint64_t word;
    std::size_t size;
    std::string_view bytes;  // empty for a short name
    bool operator<(const OverflowKey& other) const {
      return std::tie(word, size, bytes) < std::tie(other.word, other.size, other.bytes);
    }
  };

  // Returns the bytes of a short name, the rest zero. Bytes up to `readable` may be read.
  static std::uint64_t shortWord(std::string_view name, const char* readable) {
    return name.size() == kShortName ? load8(name.data())
                                     : loadPartial(name.data(), name.size(), readable);
  }
  std::uint32_t findLong(std::string_view name, const char* readable) const;
  // find for a long name whose key the entry at `i`, in the window that ends before
  // `end`, shares with other names.
  std::uint32_t findAmongShared(std::string_view name, std::uint64_t key, std::size_t i,
                                std::size_t end) const;
  // Returns the slot of the name `key` orders, or kNotFound.
  std::uint32_t findInOverflow(const OverflowKey& key) const;
  // Returns where the search for the name of `entry` starts.
  static std::size_t searchStart(const Entry& entry) {
    return entry.shape < kLong ? Hashing::shortHash(entry.word, entry.shape) : entry.word;
  }
  // Puts `entry` in the first free entry of `table` in the window from `first`; returns
  // false, changing nothing, when there is none.
  static bool place(std::vector<Entry>& table, const Entry& entry, std::size_t first);
  // Puts the name of `slot` in the first free entry of its window, marking the long names
  // that share its key; returns false when there is none.
  bool placeInWindow(std::uint32_t slot);
  // Returns the name of `slot` as the overflow orders it.
  OverflowKey overflowKey(std::uint32_t slot) const;
  // Doubles the table and places every name anew.
  void grow();

  std::vector<Entry> entries_;                     // a power of two of them, at most half in use
  std::vector<Name> names_;                        // by slot
  std::map<OverflowKey, std::uint32_t> overflow_;  // names whose windows are full, to slots
};

// The index of tagtree and tagtree-explain.
using NameIndex = BasicNameIndex<NameHashing>;

template <typename Hashing>
inline std::uint32_t BasicNameIndex<Hashing>::find(std::string_view name,
                                                   const char* readable) const {
  if (name.size() > kShortName) return findLong(name, readable);
  const std::uint64_t word = shortWord(name, readable);
  const std::size_t mask = entries_.size() - 1;
  const std::size_t first = Hashing::shortHash(word, name.size());
  for (std::size_t i = first; i != first + kWindow; ++i) {
    const Entry& entry = entries_[i & mask];
    if (entry.word == word && entry.shape == name.size()) return entry.slot;
    if (entry.slot == kNotFound) return kNotFound;
  }
  return findInOverflow({word, name.size(), {}});
}

namespace name_index_detail {
// Entries at the start: room for 128 names, so that a run of tagtree, which knows at most
// 100, never grows the table.
inline constexpr std::size_t kInitialEntries = 256;
}  // namespace name_index_detail

template <typename Hashing>
BasicNameIndex<Hashing>::BasicNameIndex() : entries_(name_index_detail::kInitialEntries) {}

template <typename Hashing>
std::uint32_t BasicNameIndex<Hashing>::findLong(std::string_view name, const char* readable) const {
  const std::uint64_t key = Hashing::key(name, readable);
  const std::size_t mask = entries_.size() - 1;
  const std::size_t first = key;
  const std::size_t end = first + kWindow;  // wraps as the index does
  for (std::size_t i = first; i != end; ++i) {
    const Entry& entry = entries_[i & mask];
    if (entry.slot == kNotFound) return kNotFound;
    if (entry.word != key || entry.shape < kLong) continue;
    if (entry.shape == kLongShared) return findAmongShared(name, key, i, end);
    // No other name has this key, here or in the overflow: it is this one, or none.
    return names_[entry.slot].bytes == name ? entry.slot : kNotFound;
  }
  return findInOverflow({Hashing::fullHash(name), name.size(), name});
}

template <typename Hashing>
std::uint32_t BasicNameIndex<Hashing>::findAmongShared(std::string_view name, std::uint64_t key,
                                                       std::size_t i, std::size_t end) const {
  const std::uint64_t hash = Hashing::fullHash(name);
  const std::size_t mask = entries_.size() - 1;
  for (; i != end; ++i) {
    const Entry& entry = entries_[i & mask];
    if (entry.slot == kNotFound) return kNotFound;
    if (entry.word != key || entry.shape < kLong) continue;
    const Name& known = names_[entry.slot];
    if (known.hash == hash && known.bytes == name) return entry.slot;
  }
  return findInOverflow({hash, name.size(), name});
}

template <typename Hashing>
std::uint32_t BasicNameIndex<Hashing>::findInOverflow(const OverflowKey& key) const {
  const auto found = overflow_.find(key);
  return found == overflow_.end() ? kNotFound : found->second;
}

template <typename Hashing>
std::uint32_t BasicNameIndex<Hashing>::insert(std::string_view name) {
  if (names_.size() == kNotFound) throw std::bad_alloc();  // no slot number is left
  if (2 * (names_.size() + 1) > entries_.size()) grow();
  const auto slot = static_cast<std::uint32_t>(names_.size());
  if (name.size() <= kShortName) {
    const Entry entry{shortWord(name, name.data() + name.size()), slot,
                      static_cast<std::uint32_t>(name.size())};
    names_.push_back({name, entry.word});
    if (place(entries_, entry, searchStart(entry))) return slot;
  } else {
    names_.push_back({name, Hashing::fullHash(name)});
    if (placeInWindow(slot)) return slot;
  }
  try {
    overflow_.emplace(overflowKey(slot), slot);
  } catch (...) {  // the index stays as it was, but for marks of shared keys, which hold
    names_.pop_back();
    throw;
  }
  return slot;
}

template <typename Hashing>
bool BasicNameIndex<Hashing>::place(std::vector<Entry>& table, const Entry& entry,
                                    std::size_t first) {
  const std::size_t mask = table.size() - 1;
  for (std::size_t i = first; i != first + kWindow; ++i) {
    if (table[i & mask].slot != kNotFound) continue;
    table[i & mask] = entry;
    return true;
  }
  return false;
}

template <typename Hashing>
bool BasicNameIndex<Hashing>::placeInWindow(std::uint32_t slot) {
  const Name& name = names_[slot];
  const std::size_t size = name.bytes.size();
  if (size <= kShortName) {
    const Entry entry{name.hash, slot, static_cast<std::uint32_t>(size)};
    return place(entries_, entry, searchStart(entry));
  }
  // Every other long name with this key is in this window before its first free entry,
  // or in the overflow, where it went when this window was full, as it still is: marking
  // those in the window marks all of them, where the window has room.
  const std::uint64_t key = Hashing::key(name.bytes, name.bytes.data() + size);
  const std::size_t mask = entries_.size() - 1;
  const std::size_t first = key;
  std::uint32_t shape = kLong;
  for (std::size_t i = first; i != first + kWindow; ++i) {
    Entry& entry = entries_[i & mask];
    if (entry.slot == kNotFound) {
      entry = {key, slot, shape};
      return true;
    }
    if (entry.word == key && entry.shape >= kLong) entry.shape = shape = kLongShared;
  }
  return false;
}

template <typename Hashing>
typename BasicNameIndex<Hashing>::OverflowKey BasicNameIndex<Hashing>::overflowKey(
    std::uint32_t slot) const {
  const Name& name = names_[slot];
  const std::size_t size = name.bytes.size();
  return {name.hash, size, size <= kShortName ? std::string_view() : name.bytes};
}

template <typename Hashing>
void BasicNameIndex<Hashing>::grow() {
  // The names of the table keep their entries, marks included: whether another name
  // shares a key does not depend on where either is. Those whose windows are full in the
  // new table join the overflow, and those of the overflow leave it where theirs are not.
  std::vector<Entry> table(2 * entries_.size());
  std::map<OverflowKey, std::uint32_t> crowded;
  for (const Entry& entry : entries_) {
    if (entry.slot != kNotFound && !place(table, entry, searchStart(entry))) {
      crowded.emplace(overflowKey(entry.slot), entry.slot);  // throws before any change
    }
  }
  entries_.swap(table);
  for (auto it = overflow_.begin(); it != overflow_.end();) {
    it = placeInWindow(it->second) ? overflow_.erase(it) : std::next(it);
  }
  overflow_.merge(crowded);
}

extern template class BasicNameIndex<NameHashing>;

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_INDEX_H_
