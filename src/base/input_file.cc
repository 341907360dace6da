// InputFile: open, fstat, read until read returns 0, close.
//
// Whatever the file is, it is read the same way, with read(2) into the pipeline's
// buffer. A read may return fewer bytes than asked (pipes, FIFOs, terminals, a file
// being written), so only a return of 0 ends the input. A file cut short while it is read
// simply ends sooner, and one that grows is read on; either way the listing is of the
// bytes that were read.
#include "base/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "base/failure.h"

namespace tagtree {

InputFile::InputFile(const char* path) : fd_(::open(path, O_RDONLY | O_CLOEXEC)) {
  if (fd_ < 0) throw readFailure(errno);
  struct stat status;
  int failure = 0;
  if (::fstat(fd_, &status) != 0) {
    failure = errno;
  } else if (S_ISDIR(status.st_mode)) {
    // Reading a directory fails with EISDIR on most file systems; this makes it all.
    failure = EISDIR;
  }
  if (failure != 0) {
    ::close(fd_);
    throw readFailure(failure);
  }
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t InputFile::read(char* into, std::size_t capacity) {
  if (fd_ < 0) return 0;
  if (capacity > SSIZE_MAX) capacity = SSIZE_MAX;
  for (;;) {
    const ssize_t got = ::read(fd_, into, capacity);
    if (got > 0) return static_cast<std::size_t>(got);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw readFailure(errno);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw readFailure(errno);
    return 0;
  }
}

}  // namespace tagtree
