// Last stage: writes the hierarchy as paths, "/parent" for each top-level tag followed
// by "/parent/child" for each of its children that has no other parent.
#ifndef TAGTREE_PIPELINE_LISTING_H_
#define TAGTREE_PIPELINE_LISTING_H_

#include "base/output_sink.h"
#include "pipeline/grouping.h"

namespace tagtree {

// Calls `visit(parent, child)` for each line of the listing, in order: `child` is null on
// a top-level tag's own line. A tag is top-level when it has no parent, and its children
// that have no other parent follow it. Top-level tags come in allTags slot order (first
// occurrence in the input), children in their child group's order.
template <typename Visit>
void forEachPath(const Grouping& grouping, Visit&& visit) {
  for (int slot = 0; slot < grouping.allTagCount; ++slot) {
    const Tag* parent = grouping.allTags[slot];
    const TagGroup& children = grouping.tagGroups.of(parent);
    if (children.parentCount() != 0) continue;
    visit(parent, static_cast<const Tag*>(nullptr));
    for (const Tag* child : children.getTags()) {
      if (child == nullptr) break;
      if (grouping.tagGroups.of(child).parentCount() == 1) visit(parent, child);
    }
  }
}

// Writes the listing to `out`: the lines of forEachPath. Top-level tags come in allTags slot order
// (first occurrence in the input), children in their child group's order. Throws the text failure
// at the first ill-formed UTF-8 sequence of a written name, after writing everything before it, the
// current line up to its last good character included.
void listHierarchy(const Grouping& grouping, OutputSink& out);

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_LISTING_H_
