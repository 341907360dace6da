// The frame of tagtree-explain: its arguments, its input, its report and its exit status.
#ifndef TAGTREE_EXPLAIN_EXPLAIN_H_
#define TAGTREE_EXPLAIN_EXPLAIN_H_

namespace tagtree::explain {

// Exit statuses: tagtree succeeds on the file, fails on it, or tagtree-explain itself
// cannot do its job (wrong arguments, a file it cannot read, a file --fix leaves as it
// was); or --fix fixed the file but could not write the report.
inline constexpr int kExitTagtreeSucceeds = 0;
inline constexpr int kExitTagtreeFails = 1;
inline constexpr int kExitTrouble = 2;
inline constexpr int kExitFixedUnreported = 3;

// Runs tagtree-explain with the command line `argv` (`argc` words): writes the report,
// the help or the version to standard output, and trouble as one line on standard error.
// Returns the exit status.
int runExplain(int argc, const char* const* argv);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_EXPLAIN_H_
