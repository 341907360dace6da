// Wording of every failure message.
#include "frame/failure.h"

#include <cstring>

namespace tagtree {

BoundsFailure boundsFailure(unsigned position) {
  return BoundsFailure("ArrayBoundsError corvane(" + std::to_string(position) + ")");
}

Failure readFailure(int errnum) {
  return Failure(std::string("files.in: ") + std::strerror(errnum));
}

Failure textFailure() { return Failure("4invalid UTF-8 sequence"); }

}  // namespace tagtree
