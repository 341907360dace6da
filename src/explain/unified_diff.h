// The change between two versions of a file as a unified diff, which shows what --fix would
// change without changing it, and which patch applies to the first version to give the
// second, byte for byte.
#ifndef TAGTREE_EXPLAIN_UNIFIED_DIFF_H_
#define TAGTREE_EXPLAIN_UNIFIED_DIFF_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "base/output_sink.h"

namespace tagtree::explain {

// Up to this many edits between the lines the two versions share, the diff is a shortest.
inline constexpr int kExactDiffCost = 128;

// Writes to `out` the change from `before` to `after` as a unified diff of their lines, cut
// at LF alone (a CR or a NUL is a byte of a line like any other): "--- LABEL" and
// "+++ LABEL", then hunks with 3 lines of context, headed "@@ -a,b +c,d @@" as GNU diff -u
// heads them, and "\ No newline at end of file" after a last line without LF; nothing when
// they are the same. The edit is a shortest one where it takes at most kExactDiffCost lines
// removed and added, not counting lines that occur in one version only; else it may be longer.
// Returns whether they differ. Throws what `out` throws, and std::bad_alloc.
bool writeUnifiedDiff(std::string_view before, std::string_view after, std::string_view label,
                      OutputSink& out);

// As above, and adds to `steps` the steps of work it took (comparisons of lines, and edits
// explored): at most a fixed multiple of the lines of both, whatever they hold: the hash
// of their lines is seeded anew each run, so none can be made beforehand to share it.
bool writeUnifiedDiff(std::string_view before, std::string_view after, std::string_view label,
                      OutputSink& out, std::uint64_t& steps);

// Returns `label` as the header shows it: as it is, unless it holds a space (where patch
// ends a name), a control character or a byte that is not UTF-8, or starts with a double
// quote; then as a C string in double
// quotes, with \n, \t, \" and \\ and the like, and \ooo for other bytes outside ASCII's
// printable ones, which is how GNU patch reads it.
std::string diffLabel(std::string_view label);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_UNIFIED_DIFF_H_
