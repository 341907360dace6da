// Finds the slot of a name without comparing it against every name: an open-addressing
// hash table, grown as names come, each match confirmed by the name's bytes. A name of
// up to 8 bytes is kept in its entry itself, so that finding one touches nothing else:
// a survey of a large file looks up millions of words among tens of thousands of names,
// where every other memory read is a cache miss. A longer name is found by its key
// (nameKey) and compared with the bytes it points to; long names that share a key, alike
// at both ends, are told apart by their full hashes first, so a lookup reads a word a
// bounded number of times, however many names are alike.
#ifndef TAGTREE_PIPELINE_NAME_INDEX_H_
#define TAGTREE_PIPELINE_NAME_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "pipeline/byte_load.h"
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
  static constexpr std::size_t kShortName = 8;  // names of up to this many bytes are short
  // Entry::shape of a long name, and of one whose key another long name shares.
  static constexpr std::uint32_t kLong = kShortName + 1;
  static constexpr std::uint32_t kLongShared = kShortName + 2;

  struct Entry {
    std::uint64_t word = 0;  // a short name's bytes, the rest zero; a long name's key
    std::uint32_t slot = kNotFound;
    std::uint32_t shape = 0;  // a short name's size, kLong or kLongShared
  };
  struct LongName {
    std::string_view bytes;  // empty for a short name, which its entry holds
    std::uint64_t hash;      // nameHash(bytes), read only where another name shares the key
  };

  // Returns the table position where the search for a short name's `word` starts.
  // Returns the bytes of a short name, the rest zero. Bytes up to `readable` may be read.
  static std::uint64_t shortWord(std::string_view name, const char* readable) {
    return name.size() == kShortName ? load8(name.data())
                                     : loadPartial(name.data(), name.size(), readable);
  }
  static std::uint64_t shortHash(std::uint64_t word, std::size_t size) {
    // Each step is a bijection, and each shift brings high bits down, so that every byte
    // reaches the low bits that pick the position: names alike but for their last byte,
    // as "tag12340" to "tag12349", must not crowd one place.
    std::uint64_t x = word ^ (size * 0x9E3779B97F4A7C15ULL);
    x = (x ^ (x >> 33)) * 0xFF51AFD7ED558CCDULL;
    x = (x ^ (x >> 33)) * 0xC4CEB9FE1A85EC53ULL;
    return x ^ (x >> 33);
  }
  std::uint32_t findLong(std::string_view name, const char* readable) const;
  // find for a name whose key the entry at `i` shares with other names.
  std::uint32_t findAmongShared(std::string_view name, std::uint64_t key, std::size_t i) const;
  // Puts `entry` in the first free place from `position` on.
  void place(const Entry& entry, std::uint64_t position);
  // Doubles the table.
  void grow();

  std::vector<Entry> entries_;   // a power of two of them, at most half in use
  std::vector<LongName> names_;  // by slot
};

inline std::uint32_t NameIndex::find(std::string_view name, const char* readable) const {
  if (name.size() > kShortName) return findLong(name, readable);
  const std::uint64_t word = shortWord(name, readable);
  const std::size_t mask = entries_.size() - 1;
  for (std::size_t i = shortHash(word, name.size()) & mask;; i = (i + 1) & mask) {
    const Entry& entry = entries_[i];
    if (entry.word == word && entry.shape == name.size()) return entry.slot;
    if (entry.slot == kNotFound) return kNotFound;
  }
}

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_INDEX_H_
