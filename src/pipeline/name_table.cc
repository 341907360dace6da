// NameTable: the store keeps the bytes, the index finds them, the slot ties them.
#include "pipeline/name_table.h"

namespace tagtree {

std::uint32_t NameTable::add(std::string_view word) { return index_.insert(store_.keep(word)); }

std::uint32_t NameTable::add(std::string_view word, std::uint64_t hash) {
  return index_.insert(store_.keep(word), hash);
}

}  // namespace tagtree
