// Failures that end a run. Deep code throws a Failure; the frame catches it once,
// prints "Error: " and its message on standard output, and exits with status 1.
#ifndef TAGTREE_FRAME_FAILURE_H_
#define TAGTREE_FRAME_FAILURE_H_

#include <stdexcept>
#include <string>

namespace tagtree {

// A failure of the run, carrying the exact message the user sees after "Error: ".
class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& message) : std::runtime_error(message) {}
};

// Position numbers of the capacity checks, as they appear in bounds failures.
enum BoundsPosition : unsigned {
  kTooManyTags = 41,    // a 101st distinct tag
  kTooManyLines = 56,   // a 51st line
  kTagGroupFull = 180,  // a 51st tag in one line group or child group
};

// Returns the capacity failure "ArrayBoundsError corvane(<position>)".
Failure boundsFailure(unsigned position);

// The failure to read files.in: "files.in: " and strerror(errnum). It keeps the errno
// for a caller that names the file otherwise.
class ReadFailure : public Failure {
 public:
  explicit ReadFailure(int errnum);
  int errnum() const { return errnum_; }

 private:
  int errnum_;
};

// Returns the read failure for files.in with the failing call's errno.
ReadFailure readFailure(int errnum);

// Returns the failure for a printed name that is not well-formed UTF-8.
Failure textFailure();

// The message of the memory failure; std::bad_alloc anywhere is reported with it.
inline constexpr const char* kOutOfMemoryMessage = "Out of memory";

// What a failure's line starts with, before its message.
inline constexpr const char* kErrorLinePrefix = "Error: ";

// Writing standard output failed. It is reported on standard error, since standard
// output is what failed; `errnum` is the failing call's errno.
class OutputFailure : public std::exception {
 public:
  explicit OutputFailure(int errnum) : errnum_(errnum) {}
  int errnum() const { return errnum_; }
  const char* what() const noexcept override { return "standard output"; }

 private:
  int errnum_;
};

}  // namespace tagtree

#endif  // TAGTREE_FRAME_FAILURE_H_
