// Groups a text held in memory, for tests of the stages after grouping.
#ifndef TAGTREE_TESTS_SUPPORT_GROUP_TEXT_H_
#define TAGTREE_TESTS_SUPPORT_GROUP_TEXT_H_

#include <string_view>

#include "base/byte_source.h"
#include "pipeline/grouping.h"

namespace tagtree {

// Fills the empty `grouping` from `text`, as groupLines does from a file.
inline void groupText(std::string_view text, Grouping& grouping) {
  TextSource source(text);
  groupLines(source, grouping);
}

}  // namespace tagtree

#endif  // TAGTREE_TESTS_SUPPORT_GROUP_TEXT_H_
