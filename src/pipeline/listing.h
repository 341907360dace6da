// Last stage: writes the hierarchy as paths, "/parent" for each top-level tag followed
// by "/parent/child" for each of its children that has no other parent.
#ifndef TAGTREE_PIPELINE_LISTING_H_
#define TAGTREE_PIPELINE_LISTING_H_

#include "pipeline/grouping.h"
#include "pipeline/output_sink.h"

namespace tagtree {

// Writes the listing to `out`. Top-level tags come in allTags slot order (first
// occurrence in the input), children in their child group's order. Throws the text
// failure at the first ill-formed UTF-8 sequence of a written name, after writing
// everything before it, the current line up to its last good character included.
void listHierarchy(const Grouping& grouping, OutputSink& out);

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_LISTING_H_
