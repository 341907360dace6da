// Finds the slot of a name without comparing it against every name: an open-addressing
// hash table of the names' hashes, grown as names come, each match confirmed by the name's
// bytes. Beside the slot, a name's entry keeps its first 16 bytes, which tell a name of up
// to 16 bytes alone, and what the walk counts for each word (its occurrences, the last
// line of one): a word touches one cache line, however many names.
// The work a word costs is bounded whatever the names, even made to share the whole
// (seeded) hash: a name is looked for in at most kWindow entries from where its hash
// places it, and one that finds all of them taken is kept in an ordered overflow, found
// there by about log2(names) comparisons: of hashes, and of bytes only between names that
// share their hash. Entries are never removed, so a name whose window has a free entry is
// not in the overflow. No result depends on the hash values, only the time a lookup takes.
#ifndef TAGTREE_PIPELINE_NAME_INDEX_H_
#define TAGTREE_PIPELINE_NAME_INDEX_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "pipeline/large_pages.h"
#include "pipeline/name_hash.h"

namespace tagtree {

// `Hashing` gives the hash, as NameHashing does: hash(name, readable, seed). `Tally` is
// the unsigned type an entry counts in: tests narrow it to reach its wraps.
template <typename Hashing, typename Tally = std::uint32_t>
class BasicNameIndex {
 public:
  static constexpr std::uint32_t kNotFound = UINT32_MAX;

  // A name as `see` finds it: its slot, or kNotFound, and whether it was seen on the line.
  struct Seen {
    std::uint32_t slot;
    bool again;
  };

  // Makes an empty index whose hash starts from `seed`. Throws std::bad_alloc.
  explicit BasicNameIndex(std::uint64_t seed = runSeed()) : entries_(256), seed_(seed) {}
  // A moved index takes the names; the index moved from is left empty, with a table of
  // its own. Throws std::bad_alloc, leaving both as they were.
  BasicNameIndex(BasicNameIndex&& other) : BasicNameIndex(other.seed_) { swap(other); }
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
    const Entry* entry = lookup(name, readable, Hashing::hash(name, readable, seed_));
    return entry == nullptr ? kNotFound : entry->slot;
  }
  std::uint32_t find(std::string_view name) const { return find(name, name.data() + name.size()); }

  // Returns the hash of `name`, for `see`, and starts to load the entry where its search
  // begins, so that the loads of several names overlap. `readable` and `done` are as for
  // nameHash, `done` mixed from seed().
  std::uint64_t prefetch(std::string_view name, const char* readable,
                         const BlockHash* done = nullptr) const {
    const std::uint64_t hash = Hashing::hash(name, readable, seed_, done);
    __builtin_prefetch(&entries_[static_cast<std::size_t>(hash & mask_)]);
    return hash;
  }

  // Finds `name`, whose hash `prefetch` returned, as find does, and where it is in, counts
  // one occurrence of it on `line` (>= 1), no earlier than that of any counted before;
  // returns its slot and whether an occurrence on `line` was counted before. Counts
  // nothing for a name that is not in, and returns {kNotFound, false}. Throws
  // std::bad_alloc, counting nothing, where a count passes what an entry holds.
  Seen see(std::string_view name, const char* readable, std::uint64_t line, std::uint64_t hash) {
    Entry* const entry = const_cast<Entry*>(lookup(name, readable, hash));
    if (entry == nullptr) return {kNotFound, false};
    std::uint64_t sinceEpoch = line - epochStart_;
    if (sinceEpoch > kMostTally) [[unlikely]] {
      startEpoch(line);
      sinceEpoch = 1;
    }
    if (entry->count == kMostTally) [[unlikely]]
      ++carries_[entry->slot];
    ++entry->count;
    const auto stamp = static_cast<Tally>(sinceEpoch);
    return {entry->slot, std::exchange(entry->stamp, stamp) == stamp};
  }

  // Records `name`, which must not be present yet, in the next slot and returns it: 0
  // for the first name, 1 for the second, and so on, with no occurrence counted. The
  // bytes of `name` must stay in place as long as the index. Throws std::bad_alloc, also
  // when kNotFound names are in, leaving the index as it was.
  std::uint32_t insert(std::string_view name) { return insert(name, hashOf(name)); }
  // The same for `name` whose hash, as prefetch returns it, is `hash`: a long name is not
  // hashed again.
  std::uint32_t insert(std::string_view name, std::uint64_t hash);

  // Returns the number of names recorded, and the seed the hash starts from.
  std::uint32_t size() const { return static_cast<std::uint32_t>(names_.size()); }
  std::uint64_t seed() const { return seed_; }
  // Returns the name recorded in `slot` (< size()): the bytes insert was given.
  std::string_view name(std::uint32_t slot) const { return names_[slot]; }

  // Returns the occurrences `see` counted of each name, by slot.
  std::vector<std::uint64_t> counts() const {
    std::vector<std::uint64_t> counts(names_.size());
    for (const Entry& entry : entries_) {
      if (entry.slot != kNotFound) counts[entry.slot] = entry.count;
    }
    for (const auto& [key, entry] : overflow_) counts[entry.slot] = entry.count;
    for (const auto& [slot, carried] : carries_) counts[slot] += carried * (kMostTally + 1ull);
    return counts;
  }
  // Returns the number of names kept in the overflow, whose windows were full.
  std::size_t overflowSize() const { return overflow_.size(); }

 private:
  // The entries a name is looked for in, from where its hash places it: rarely all taken
  // in a table at most half full, unless names were made to crowd.
  static constexpr std::uint64_t kWindow = 16;

  // The most an entry's count and stamp hold.
  static constexpr Tally kMostTally = static_cast<Tally>(~Tally{0});

  // The table starts with 256 entries, room for 128 names: tagtree's never grows. A name's
  // first 16 bytes, or all of a shorter one, the rest zero, are in its entry, and its size
  // up to 17 in its tag: a name of up to 16 bytes is told by its entry alone. Two entries
  // fill a cache line, each within one.
  struct alignas(32) Entry {
    std::uint64_t head = 0;  // the name's bytes 0 to 7
    std::uint64_t next = 0;  // and 8 to 15
    std::uint32_t tag = 0;   // the hash's top 27 bits, then the name's size, up to 17
    std::uint32_t slot = kNotFound;
    Tally count = 0;  // occurrences counted by see, less what carries_ holds for the slot
    Tally stamp = 0;  // the line of the last of them less epochStart_, or 0 for none since
  };
  // In large pages where the table is large: a lookup misses the cache, not page tables.
  using Entries = std::vector<Entry, LargePageAllocator<Entry>>;
  // Names whose windows were full, by hash and then bytes, to their entries.
  using Overflow = std::map<std::pair<std::uint64_t, std::string_view>, Entry>;

  std::uint64_t hashOf(std::string_view name) const {
    return Hashing::hash(name, name.data() + name.size(), seed_);
  }
  std::uint64_t hashOf(std::uint32_t slot) const { return hashOf(names_[slot]); }
  // Returns the hash of the name of `entry`: from the entry's own bytes where they hold
  // all of it, so that a growing table reads no name elsewhere, which would miss the cache.
  std::uint64_t hashOf(const Entry& entry) const {
    const std::size_t size = entry.tag & 0x1Fu;
    if (size > 16) return hashOf(entry.slot);
    char bytes[16];
    std::memcpy(bytes, &entry.head, 8);
    std::memcpy(bytes + 8, &entry.next, 8);
    return Hashing::hash(std::string_view(bytes, size), bytes + sizeof bytes, seed_);
  }
  static std::uint32_t tagOf(std::uint64_t hash, std::size_t size) {
    return (static_cast<std::uint32_t>(hash >> 32) & ~0x1Fu) |
           static_cast<std::uint32_t>(std::min<std::size_t>(size, 17));
  }
  // Returns bytes 8 to 15 of `name`, as nameHead does its first 8, or 0 for a name of up
  // to 8 bytes.
  static std::uint64_t nextOf(std::string_view name, const char* readable) {
    return name.size() > 8 ? nameHead(name.substr(8), readable) : 0;
  }
  // Starts the stamps afresh from `line`, whose stamp is then 1: every entry's is 0, none.
  // Lines between stamps of one epoch differ by less than kMostTally.
  void startEpoch(std::uint64_t line) {
    epochStart_ = line - 1;
    for (Entry& entry : entries_) entry.stamp = 0;
    for (auto& [key, entry] : overflow_) entry.stamp = 0;
  }
  // Returns the entry of `name`, whose hash is `hash`, in the table or the overflow, or null.
  const Entry* lookup(std::string_view name, const char* readable, std::uint64_t hash) const;
  // Puts `entry`, whose name has the hash `hash`, in the first free entry of its window
  // in `entries`, or else in `overflow`, trying its end first: a growing table moves
  // names there in order. Throws std::bad_alloc.
  void place(Entries& entries, Overflow& overflow, std::uint64_t hash, const Entry& entry) const;
  void swap(BasicNameIndex& other) noexcept {
    entries_.swap(other.entries_);
    std::swap(mask_, other.mask_);
    overflow_.swap(other.overflow_);
    names_.swap(other.names_);
    carries_.swap(other.carries_);
    std::swap(seed_, other.seed_);
    std::swap(epochStart_, other.epochStart_);
  }

  Entries entries_;         // a power of two of them, at most half in use
  std::size_t mask_ = 255;  // their number less 1, which picks a hash's place
  Overflow overflow_;
  std::vector<std::string_view> names_;  // by slot
  // By slot, the times a count passed kMostTally and went back to 0: rare, so kept aside.
  std::map<std::uint32_t, std::uint64_t> carries_;
  std::uint64_t seed_;
  std::uint64_t epochStart_ = 0;  // the line before the first stamped 1
};

// The index of tagtree and tagtree-explain.
using NameIndex = BasicNameIndex<NameHashing>;

template <typename Hashing, typename Tally>
inline auto BasicNameIndex<Hashing, Tally>::lookup(std::string_view name, const char* readable,
                                                   std::uint64_t hash) const -> const Entry* {
  const std::uint64_t head = nameHead(name, readable);
  const std::uint64_t next = nextOf(name, readable);
  const std::uint32_t tag = tagOf(hash, name.size());
  const std::uint64_t mask = mask_;
  // Probes are counted, not compared with hash + kWindow: a size_t narrower than the
  // hash would never reach that end.
  for (std::uint64_t probe = 0; probe < kWindow; ++probe) {
    const Entry& entry = entries_[static_cast<std::size_t>((hash + probe) & mask)];
    if (entry.slot == kNotFound) return nullptr;
    if (entry.tag == tag && entry.head == head && entry.next == next &&
        (name.size() <= 16 || names_[entry.slot] == name))
      return &entry;
  }
  const auto found = overflow_.find({hash, name});
  return found == overflow_.end() ? nullptr : &found->second;
}

template <typename Hashing, typename Tally>
void BasicNameIndex<Hashing, Tally>::place(Entries& entries, Overflow& overflow, std::uint64_t hash,
                                           const Entry& entry) const {
  const std::uint64_t mask = entries.size() - 1;
  for (std::uint64_t probe = 0; probe < kWindow; ++probe) {
    Entry& free = entries[static_cast<std::size_t>((hash + probe) & mask)];
    if (free.slot == kNotFound) return void(free = entry);
  }
  overflow.emplace_hint(overflow.end(), std::pair{hash, names_[entry.slot]}, entry);
}

template <typename Hashing, typename Tally>
std::uint32_t BasicNameIndex<Hashing, Tally>::insert(std::string_view name, std::uint64_t hash) {
  if (names_.size() == kNotFound) throw std::bad_alloc();  // no slot number is left
  const auto slot = static_cast<std::uint32_t>(names_.size());
  names_.push_back(name);
  try {
    if (2 * names_.size() > entries_.size()) {
      // Built aside, so that the index stays as it was if memory runs out. An entry keeps
      // no whole hash, so each name is hashed again, from its entry where it can be. The overflow
      // is taken in order, so that names that stay in it each go to its end.
      Entries entries(2 * entries_.size());
      Overflow overflow;
      for (const Entry& entry : entries_) {
        if (entry.slot != kNotFound) place(entries, overflow, hashOf(entry), entry);
      }
      for (const auto& [key, entry] : overflow_) place(entries, overflow, key.first, entry);
      entries_.swap(entries);
      mask_ = entries_.size() - 1;
      overflow_.swap(overflow);
    }
    place(entries_, overflow_, hash,
          {nameHead(name, name.data() + name.size()), nextOf(name, name.data() + name.size()),
           tagOf(hash, name.size()), slot});
  } catch (...) {
    names_.pop_back();
    throw;
  }
  return slot;
}

extern template class BasicNameIndex<NameHashing>;

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_INDEX_H_
