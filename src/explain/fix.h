// What --fix does to a file's bytes, in memory: it applies, round after round, every fix
// the report offers, each a change that loses no tag, until the report offers none. So a
// second run finds nothing to change. Alike tags are never merged nor tags dropped: those
// are a person's call, and the report keeps offering them as advice.
#ifndef TAGTREE_EXPLAIN_FIX_H_
#define TAGTREE_EXPLAIN_FIX_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "explain/findings.h"

namespace tagtree::explain {

// Returns `bytes` with `fix` applied: the byte-order marks that start them removed, UTF-16
// of the byte order `fix` names (or its mark says) or Latin-1 converted to UTF-8, each CR
// that no LF follows made an LF, or the lines without tags deleted, line ends and all.
// Bytes that do not decode as the UTF-16 the fix names are left as they are. Throws
// std::bad_alloc.
std::string applyFix(Fix fix, std::string_view bytes);

// Applies to `bytes` every fix the report of them offers, in the report's order, then
// does so again with the report of the result, until it offers none. Returns the fixes
// applied, in order. Throws std::bad_alloc.
std::vector<Applied> fixAll(std::string& bytes);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_FIX_H_
