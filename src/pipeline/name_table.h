// The distinct names of an input, each kept once: their bytes, copied out of the input
// buffer as the walk first meets them (or, for a long name, kept in the buffer it was read
// into), and the index that finds a word's name. A name's
// slot, the order in which it was first met, is its identity everywhere after: in
// tagtree's grouping, inference and listing, and in tagtree-explain's survey alike.
#ifndef TAGTREE_PIPELINE_NAME_TABLE_H_
#define TAGTREE_PIPELINE_NAME_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "pipeline/name_index.h"
#include "pipeline/name_store.h"

namespace tagtree {

class NameTable {
 public:
  static constexpr std::uint32_t kNotFound = NameIndex::kNotFound;

  // Makes an empty table. Throws std::bad_alloc.
  NameTable() = default;
  // A copy would find its names in the other's store, so there is none. A moved table
  // takes the names, whose bytes stay in place; the table moved from is left empty.
  NameTable(const NameTable&) = delete;
  NameTable& operator=(const NameTable&) = delete;
  NameTable(NameTable&&) = default;
  NameTable& operator=(NameTable&&) = default;

  // Returns the slot of the name `word`, or kNotFound. Bytes up to `readable` (at or
  // after the end of `word`) may be read.
  std::uint32_t find(std::string_view word, const char* readable) const {
    return index_.find(word, readable);
  }
  std::uint32_t find(std::string_view word) const { return index_.find(word); }

  // Returns the hash of `word`, for `see`, and starts to load what finding it reads
  // first; `done` holds blocks of it already hashed (see NameIndex::prefetch).
  std::uint64_t prefetch(std::string_view word, const char* readable,
                         const BlockHash* done = nullptr) const {
    return index_.prefetch(word, readable, done);
  }
  // Finds the name `word`, whose hash `prefetch` returned, as find does, and where it is
  // in, counts one occurrence of it on `line`, no earlier than that of any counted
  // before: returns its slot, or kNotFound, and whether an occurrence on `line` was
  // counted before (see NameIndex::see).
  NameIndex::Seen see(std::string_view word, const char* readable, std::uint64_t line,
                      std::uint64_t hash) {
    return index_.see(word, readable, line, hash);
  }

  // Copies `word`, which must not be in the table yet, and returns its slot: size()
  // before the call. Throws std::bad_alloc.
  std::uint32_t add(std::string_view word);
  // The same for the word in the first `size` bytes of `bytes`, which the table takes
  // rather than copies. Throws std::bad_alloc.
  std::uint32_t add(MallocBytes bytes, std::size_t size) {
    return index_.insert(store_.adopt(std::move(bytes), size));
  }
  // The same two for a word whose hash, as prefetch returned it, is `hash`: a long word
  // is not hashed again.
  std::uint32_t add(std::string_view word, std::uint64_t hash);
  std::uint32_t add(MallocBytes bytes, std::size_t size, std::uint64_t hash) {
    return index_.insert(store_.adopt(std::move(bytes), size), hash);
  }

  // Returns the name in `slot` (< size()). Its bytes stay in place as long as the table,
  // or the table it is moved to.
  std::string_view name(std::uint32_t slot) const { return index_.name(slot); }

  // Returns the number of names.
  std::uint32_t size() const { return index_.size(); }
  // Returns the seed of the hash that finds them (see name_hash.h).
  std::uint64_t seed() const { return index_.seed(); }

  // Returns the occurrences `see` counted of each name, by slot.
  std::vector<std::uint64_t> counts() const { return index_.counts(); }

 private:
  // Moved together, the index first: its move may throw, and leaves both as they were if
  // it does; the store's, whose blocks the index's views point into, cannot.
  NameIndex index_;  // of the copies in store_
  NameStore store_;
};

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_TABLE_H_
