// Wording of every failure message.
//
// These texts are frozen output that callers and scripts match byte for byte. The
// "corvane(N)" of a bounds failure and the leading "4" of "4invalid UTF-8 sequence" are
// part of them, not typos: do not correct them.
#include "base/failure.h"

#include <cstring>

namespace tagtree {

Failure boundsFailure(unsigned position) {
  return Failure(FailureKind::kBounds, "ArrayBoundsError corvane(" + std::to_string(position) + ")",
                 position);
}

ReadFailure::ReadFailure(int errnum)
    : Failure(FailureKind::kRead, std::string("files.in: ") + std::strerror(errnum)),
      errnum_(errnum) {}

ReadFailure readFailure(int errnum) { return ReadFailure(errnum); }

Failure textFailure() { return Failure(FailureKind::kText, "4invalid UTF-8 sequence"); }

}  // namespace tagtree
