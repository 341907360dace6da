// FdSink: a fixed buffer, so that writing never allocates (the error line for an
// exhausted memory must still get out).
#include "base/fd_sink.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/failure.h"

namespace tagtree {

int writeFully(int fd, const char* data, std::size_t size, WriteCall write) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written == 0) return ENOSPC;  // as a full device would say; retrying gets nowhere
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return errno;
      // A non-blocking descriptor that is full, such as a pipe read slowly: wait for room.
      // A reader that has gone wakes the wait too, and the next write then fails.
      pollfd ready{fd, POLLOUT, 0};
      while (::poll(&ready, 1, -1) < 0) {
        if (errno != EINTR) return errno;
      }
      continue;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

void FdSink::write(std::string_view bytes) {
  if (bytes.empty()) return;  // its data() may be null, which memcpy must not get
  if (bytes.size() > kBufferSize - used_) {
    flush();
    if (bytes.size() >= kBufferSize) {  // too large to be worth copying
      writeAll(bytes.data(), bytes.size());
      return;
    }
  }
  std::memcpy(buffer_ + used_, bytes.data(), bytes.size());
  used_ += bytes.size();
}

void FdSink::flush() {
  const std::size_t size = used_;
  used_ = 0;
  writeAll(buffer_, size);
}

void FdSink::writeAll(const char* data, std::size_t size) {
  if (const int errnum = writeFully(fd_, data, size); errnum != 0) throw OutputFailure(errnum);
}

}  // namespace tagtree
