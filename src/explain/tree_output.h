// tagtree-explain --tree: the tree tagtree would print without its capacities, found by
// the walk alone, written as tagtree writes its listing, or drawn as a Graphviz graph.
#ifndef TAGTREE_EXPLAIN_TREE_OUTPUT_H_
#define TAGTREE_EXPLAIN_TREE_OUTPUT_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "base/byte_source.h"
#include "base/output_sink.h"
#include "explain/tree.h"
#include "pipeline/input_window.h"
#include "pipeline/name_table.h"

namespace tagtree::explain {

// How the tree is written.
enum class TreeForm {
  kPaths,    // as tagtree writes its listing
  kDot,      // as a Graphviz graph
  kNothing,  // not at all: the exit status alone tells
};

// Writes the paths of `tree`, whose names are in `names`, to `out` as tagtree writes its
// listing: "/parent" for each top-level tag, then "/parent/child" for each of its
// children. Throws the text failure at the first name that is not UTF-8, after writing
// everything before it, the current line up to its last good character included.
void writeTreePaths(const UnboundedTree& tree, const NameTable& names, OutputSink& out);

// Writes `tree` to `out` as a Graphviz digraph, laid out from left to right: a box for
// each tag it prints, top-level tags from top to bottom in the order of the paths, and an
// edge from each to each of its children, in the same order.
void writeTreeDot(const UnboundedTree& tree, const NameTable& names, OutputSink& out);

// Returns `name` as a double-quoted DOT string that Graphviz shows as the name: as it is
// where it is UTF-8 without control characters and at most kLongestShownName bytes, else
// as shownName shows it, cut to a bounded length; with each double quote and backslash
// escaped, and each '&' written as the entity "&amp;".
std::string dotLabel(std::string_view name);

// Walks the bytes of `source`, read `readSize` bytes at a time, and writes the tree
// without the capacities to `out` in `form`. Returns the exit status tagtree would give
// without its capacities: 1 when a path holds a name that is not UTF-8, after the error
// line "Error: 4invalid UTF-8 sequence" in kPaths, where it ends the paths as tagtree
// ends its listing; else 0. Throws what the source throws (the read failure),
// std::bad_alloc, and what `out` throws.
int runTree(ByteSource& source, TreeForm form, OutputSink& out,
            std::size_t readSize = InputWindow::kDefaultReadSize);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_TREE_OUTPUT_H_
