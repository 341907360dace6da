// NameTable: the store keeps the bytes, the index finds them, the slot ties them.
#include "pipeline/name_table.h"

namespace tagtree {

std::uint32_t NameTable::add(std::string_view word) {
  const std::string_view name = store_.keep(word);
  names_.push_back(name);
  try {
    return index_.insert(name);
  } catch (...) {
    names_.pop_back();  // a name is in both or in neither
    throw;
  }
}

}  // namespace tagtree
