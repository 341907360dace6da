// Replacing a file's bytes so that no one ever sees it half written: the new bytes go
// into a file of their own beside it, which then takes its place in one rename.
#ifndef TAGTREE_EXPLAIN_REPLACE_FILE_H_
#define TAGTREE_EXPLAIN_REPLACE_FILE_H_

#include <string_view>

namespace tagtree::explain {

// Replaces the bytes of the regular file at `path` with `bytes`: writes them to a new file
// in the same directory as the file (that of the file a symbolic link at `path` leads
// to), with the file's mode (and its owner, where the process may set it), flushes it to
// disk and renames it over the file. Returns 0, or the errno of the step that failed, in
// which case the file is as it was and the new one is gone.
int replaceFile(const char* path, std::string_view bytes);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_REPLACE_FILE_H_
