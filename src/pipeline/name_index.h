// Finds the slot of a name without comparing it against every name: an open-addressing
// hash table, grown as names come, each match confirmed by the name's bytes. A name of
// up to 8 bytes is kept in its entry itself, so that finding one touches nothing else:
// a survey of a large file looks up millions of words among tens of thousands of names,
// where every other memory read is a cache miss. A longer name is found by its key
// (nameKey), which reads at most its two ends, and compared with the bytes it points to.
// Where long names share a key, as names alike at both ends do, the first keeps the
// key's place and is marked shared, and the others are placed by their full hashes.
//
// The hashes are fixed, so names can be made to share them, but the work a word costs is
// bounded whatever the names: a name is looked for in at most kWindow entries from where
// its search starts, and in as many from its full hash where those are all taken or its
// key is shared; a name that finds all of them taken is kept in an ordered overflow
// instead, found there by about log2(names) comparisons: of integers, or of bytes
// between names that share their full hash. Entries are never removed, so a window with
// a free entry stays so until the table grows: a name whose window has a free entry is
// not in the overflow.
#ifndef TAGTREE_PIPELINE_NAME_INDEX_H_
#define TAGTREE_PIPELINE_NAME_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <new>
#include <string_view>
#include <tuple>
#include <vector>

#include "pipeline/byte_load.h"
#include "pipeline/name_hash.h"

namespace tagtree {

// `Hashing` gives the hashes, as NameHashing does: shortHash(word, size), key(name,
// readable), fullHash(name) and hashedStart(name, hash).
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

  // Returns the name recorded in `slot` (< size()): the bytes insert was given.
  std::string_view name(std::uint32_t slot) const { return names_[slot].bytes; }

 private:
  static constexpr std::size_t kShortName = 8;  // names of up to this many bytes are short
  // Entry::shape of a long name placed by its key, which no other long name has; of one
  // placed by its key, which others have; and of one of those others, placed by its full
  // hash.
  static constexpr std::uint32_t kLong = kShortName + 1;
  static constexpr std::uint32_t kLongShared = kShortName + 2;
  static constexpr std::uint32_t kLongHashed = kShortName + 3;
  // The entries a name is looked for in, from where its search starts: at a table at most
  // half full, a run of this many taken entries is rare unless names were made to crowd.
  static constexpr std::size_t kWindow = 16;

  struct Entry {
    std::uint64_t word = 0;  // a short name's bytes, the rest zero; a long name's key or hash
    std::uint32_t slot = kNotFound;
    std::uint32_t shape = 0;  // a short name's size, or kLong, kLongShared, kLongHashed
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
  struct Table {
    std::vector<Entry> entries;                     // a power of two of them, at most half in use
    std::map<OverflowKey, std::uint32_t> overflow;  // names whose windows are full, to slots
  };

  // Returns the bytes of a short name, the rest zero. Bytes up to `readable` may be read.
  static std::uint64_t shortWord(std::string_view name, const char* readable) {
    return name.size() == kShortName ? load8(name.data())
                                     : loadPartial(name.data(), name.size(), readable);
  }
  std::uint32_t findLong(std::string_view name, const char* readable) const;
  // find for a long name whose key `shared`, the entry placed by it, shares with others.
  std::uint32_t findAmongShared(std::string_view name, const Entry& shared) const;
  // Returns the slot of the name `key` orders, or kNotFound.
  std::uint32_t findInOverflow(const OverflowKey& key) const;
  // Puts `entry` in the first free entry of `entries` in the window from `first`;
  // returns false, changing nothing, when there is none.
  static bool place(std::vector<Entry>& entries, const Entry& entry, std::size_t first);
  // Returns where the second window of a short name starts: its full hash, from its bytes
  // in `word`.
  static std::size_t asideStart(std::uint64_t word, std::size_t size) {
    char bytes[kShortName];
    std::memcpy(bytes, &word, sizeof bytes);
    return Hashing::fullHash(std::string_view(bytes, size));
  }
  // find for a short name whose window is full: it is in its second window or in the
  // overflow.
  std::uint32_t findShortAside(std::uint64_t word, std::size_t size) const;
  // Puts the short name of `entry` in the first free entry of its window in `table`, or
  // of its second window, or in the overflow. Throws std::bad_alloc.
  static void placeShort(Table& table, const Entry& entry) {
    if (!place(table.entries, entry, Hashing::shortHash(entry.word, entry.shape))) {
      placeShortAside(table, entry);
    }
  }
  static void placeShortAside(Table& table, const Entry& entry);
  // Puts the name `key` orders, of `slot`, in the overflow of `table`. Throws
  // std::bad_alloc.
  static void addToOverflow(Table& table, const OverflowKey& key, std::uint32_t slot);
  // Puts the long name of `slot` in `table`: by its key, or, where another name has the
  // key, by its full hash, marking that name shared; or in the overflow. Throws
  // std::bad_alloc.
  void placeLong(Table& table, std::uint32_t slot) const;
  // Doubles the table and places every name anew.
  void grow();

  Table table_;
  std::vector<Name> names_;  // by slot
};

// The index of tagtree and tagtree-explain.
using NameIndex = BasicNameIndex<NameHashing>;

template <typename Hashing>
inline std::uint32_t BasicNameIndex<Hashing>::find(std::string_view name,
                                                   const char* readable) const {
  if (name.size() > kShortName) return findLong(name, readable);
  const std::uint64_t word = shortWord(name, readable);
  const std::size_t mask = table_.entries.size() - 1;
  const std::size_t first = Hashing::shortHash(word, name.size());
  for (std::size_t i = first; i != first + kWindow; ++i) {
    const Entry& entry = table_.entries[i & mask];
    if (entry.word == word && entry.shape == name.size()) return entry.slot;
    if (entry.slot == kNotFound) return kNotFound;
  }
  return findShortAside(word, name.size());
}

namespace name_index_detail {
// Entries at the start: room for 128 names, so that a run of tagtree, which knows at most
// 100, never grows the table.
inline constexpr std::size_t kInitialEntries = 256;
}  // namespace name_index_detail

template <typename Hashing>
BasicNameIndex<Hashing>::BasicNameIndex() {
  table_.entries.resize(name_index_detail::kInitialEntries);
}

template <typename Hashing>
std::uint32_t BasicNameIndex<Hashing>::findLong(std::string_view name, const char* readable) const {
  const std::uint64_t key = Hashing::key(name, readable);
  const std::size_t mask = table_.entries.size() - 1;
  const std::size_t first = key;
  for (std::size_t i = first; i != first + kWindow; ++i) {
    const Entry& entry = table_.entries[i & mask];
    if (entry.slot == kNotFound) return kNotFound;
    if (entry.word != key || (entry.shape != kLong && entry.shape != kLongShared)) continue;
    if (entry.shape == kLongShared) return findAmongShared(name, entry);
    // No other name has this key: it is this one, or none.
    return names_[entry.slot].bytes == name ? entry.slot : kNotFound;
  }
  // The window is full, and no name took this key's place: all names with it are in the
  // overflow.
  return findInOverflow({Hashing::fullHash(name), name.size(), name});
}

template <typename Hashing>
std::uint32_t BasicNameIndex<Hashing>::findAmongShared(std::string_view name,
                                                       const Entry& shared) const {
  const std::uint64_t hash = Hashing::fullHash(name);
  const Name& keyed = names_[shared.slot];
  if (keyed.hash == hash && keyed.bytes == name) return shared.slot;
  const std::size_t mask = table_.entries.size() - 1;
  const std::size_t first = Hashing::hashedStart(name, hash);
  for (std::size_t i = first; i != first + kWindow; ++i) {
    const Entry& entry = table_.entries[i & mask];
    if (entry.slot == kNotFound) return kNotFound;
    if (entry.word == hash && entry.shape == kLongHashed && names_[entry.slot].bytes == name) {
      return entry.slot;
    }
  }
  return findInOverflow({hash, name.size(), name});
}

template <typename Hashing>
std::uint32_t BasicNameIndex<Hashing>::findShortAside(std::uint64_t word, std::size_t size) const {
  const std::size_t mask = table_.entries.size() - 1;
  const std::size_t first = asideStart(word, size);
  for (std::size_t i = first; i != first + kWindow; ++i) {
    const Entry& entry = table_.entries[i & mask];
    if (entry.word == word && entry.shape == size) return entry.slot;
    if (entry.slot == kNotFound) return kNotFound;
  }
  return findInOverflow({word, size, {}});
}

template <typename Hashing>
std::uint32_t BasicNameIndex<Hashing>::findInOverflow(const OverflowKey& key) const {
  const auto found = table_.overflow.find(key);
  return found == table_.overflow.end() ? kNotFound : found->second;
}

template <typename Hashing>
std::uint32_t BasicNameIndex<Hashing>::insert(std::string_view name) {
  if (names_.size() == kNotFound) throw std::bad_alloc();  // no slot number is left
  if (2 * (names_.size() + 1) > table_.entries.size()) grow();
  const auto slot = static_cast<std::uint32_t>(names_.size());
  try {
    if (name.size() <= kShortName) {
      const Entry entry{shortWord(name, name.data() + name.size()), slot,
                        static_cast<std::uint32_t>(name.size())};
      names_.push_back({name, entry.word});
      placeShort(table_, entry);
    } else {
      names_.push_back({name, Hashing::fullHash(name)});
      placeLong(table_, slot);
    }
  } catch (...) {  // the index stays as it was, but for a name marked shared, which holds
    names_.resize(slot);
    throw;
  }
  return slot;
}

template <typename Hashing>
inline bool BasicNameIndex<Hashing>::place(std::vector<Entry>& entries, const Entry& entry,
                                           std::size_t first) {
  const std::size_t mask = entries.size() - 1;
  for (std::size_t i = first; i != first + kWindow; ++i) {
    if (entries[i & mask].slot != kNotFound) continue;
    entries[i & mask] = entry;
    return true;
  }
  return false;
}

template <typename Hashing>
void BasicNameIndex<Hashing>::placeShortAside(Table& table, const Entry& entry) {
  // Names made to share their short hash rarely share their full hash too, and the few
  // that do still find their place in the overflow.
  if (place(table.entries, entry, asideStart(entry.word, entry.shape))) return;
  addToOverflow(table, {entry.word, entry.shape, {}}, entry.slot);
}

template <typename Hashing>
void BasicNameIndex<Hashing>::addToOverflow(Table& table, const OverflowKey& key,
                                            std::uint32_t slot) {
  table.overflow.emplace(key, slot);
}

template <typename Hashing>
void BasicNameIndex<Hashing>::placeLong(Table& table, std::uint32_t slot) const {
  const Name& name = names_[slot];
  const std::uint64_t key = Hashing::key(name.bytes, name.bytes.data() + name.bytes.size());
  // The name that took the key's place, if any, is in its window before the first free
  // entry; if the window is full without it, every name with the key is in the overflow.
  const std::size_t mask = table.entries.size() - 1;
  const std::size_t first = key;
  for (std::size_t i = first; i != first + kWindow; ++i) {
    Entry& entry = table.entries[i & mask];
    if (entry.slot == kNotFound) {
      entry = {key, slot, kLong};
      return;
    }
    if (entry.word == key && (entry.shape == kLong || entry.shape == kLongShared)) {
      entry.shape = kLongShared;
      if (place(table.entries, {name.hash, slot, kLongHashed},
                Hashing::hashedStart(name.bytes, name.hash))) {
        return;
      }
      break;
    }
  }
  addToOverflow(table, {name.hash, name.bytes.size(), name.bytes}, slot);
}

template <typename Hashing>
void BasicNameIndex<Hashing>::grow() {
  // Built aside, so that the index stays as it was if memory runs out. Short names keep
  // their entries; long names are placed again in the order they came, so that the first
  // with a key takes its place again.
  Table table{std::vector<Entry>(2 * table_.entries.size()), {}};
  for (const Entry& entry : table_.entries) {
    if (entry.slot != kNotFound && entry.shape <= kShortName) placeShort(table, entry);
  }
  for (const auto& [key, slot] : table_.overflow) {
    if (key.size <= kShortName) {
      placeShort(table, {key.word, slot, static_cast<std::uint32_t>(key.size)});
    }
  }
  for (std::uint32_t slot = 0; slot < names_.size(); ++slot) {
    if (names_[slot].bytes.size() > kShortName) placeLong(table, slot);
  }
  std::swap(table_, table);
}

extern template class BasicNameIndex<NameHashing>;

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_INDEX_H_
