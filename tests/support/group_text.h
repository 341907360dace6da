// Groups a text held in memory, for tests of the stages after grouping.
#ifndef TAGTREE_TESTS_SUPPORT_GROUP_TEXT_H_
#define TAGTREE_TESTS_SUPPORT_GROUP_TEXT_H_

#include <string_view>

#include "base/byte_source.h"
#include "pipeline/grouping.h"

namespace tagtree {

// Fills the empty `grouping` from `text`, adding its names to `names`, as
// groupLines does from a file.
inline void groupText(std::string_view text, NameTable& names, Grouping& grouping) {
  TextSource source(text);
  groupLines(source, names, grouping);
}

}  // namespace tagtree

#endif  // TAGTREE_TESTS_SUPPORT_GROUP_TEXT_H_
