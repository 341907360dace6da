// Names a person would take for one: alike but for letter case, the compatibility form of
// a character (a full-width letter, a ligature) or white space at their ends.
#ifndef TAGTREE_EXPLAIN_ALIKE_NAMES_H_
#define TAGTREE_EXPLAIN_ALIKE_NAMES_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "pipeline/name_table.h"

namespace tagtree::explain {

// Returns the groups of the names of `names` that are alike: the same once Unicode white space at
// their ends is dropped and the rest is case-folded in compatibility form (NFKC case folding,
// default-ignorable characters such as a byte-order mark kept). Names that are not valid UTF-8 are
// alike but for ASCII spaces at their ends and ASCII letter case; a name of white space only is
// alike to none. Each group holds two or more slots in increasing order; groups come in the order
// of their first slots. Takes time linear in the names' bytes, and memory of a few bytes a name
// beside the keys that are no name of the table themselves. Throws std::bad_alloc.
std::vector<std::vector<std::uint32_t>> findAlikeNames(const NameTable& names);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_ALIKE_NAMES_H_
