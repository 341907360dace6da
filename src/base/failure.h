// Failures that end a run. Deep code throws a Failure; each command's frame catches it
// once: tagtree prints "Error: " and its message on standard output and exits with
// status 1, tagtree-explain records it as tagtree's verdict.
#ifndef TAGTREE_BASE_FAILURE_H_
#define TAGTREE_BASE_FAILURE_H_

#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tagtree {

// Position numbers of the capacity checks, as they appear in bounds failures.
enum BoundsPosition : unsigned {
  kTooManyTags = 41,    // a 101st distinct tag
  kTooManyLines = 56,   // a 51st line
  kTagGroupFull = 180,  // a 51st tag in one line group or child group
};

// What a failure is, so that code which must tell failures apart need not read their
// messages.
enum class FailureKind {
  kBounds,  // a capacity check failed; position() says which
  kRead,    // files.in could not be read
  kText,    // a printed name is not well-formed UTF-8
};

// A failure of the run, carrying the exact message the user sees after "Error: ".
class Failure : public std::runtime_error {
 public:
  Failure(FailureKind kind, const std::string& message, unsigned position = 0)
      : std::runtime_error(message), kind_(kind), position_(position) {}
  FailureKind kind() const { return kind_; }
  // The position number of a bounds failure; 0 for the other kinds.
  unsigned position() const { return position_; }

 private:
  FailureKind kind_;
  unsigned position_;
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

// Runs `job`. Returns true when it completes. When it raises a failure (a Failure, or
// memory running out), calls `onFailure` with the failure's message and, for a Failure,
// the failure itself (null for memory), and returns false. Whatever else it throws gets
// out.
template <typename Job, typename OnFailure>
bool runGuarded(Job&& job, OnFailure&& onFailure) {
  try {
    job();
    return true;
  } catch (const Failure& failure) {
    onFailure(std::string_view(failure.what()), &failure);
  } catch (const std::bad_alloc&) {
    onFailure(std::string_view(kOutOfMemoryMessage), static_cast<const Failure*>(nullptr));
  }
  return false;
}

}  // namespace tagtree

#endif  // TAGTREE_BASE_FAILURE_H_
