// FdSink: a fixed buffer, so that writing never allocates (the error line for an
// exhausted memory must still get out).
#include "frame/fd_sink.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "frame/failure.h"

namespace tagtree {

void FdSink::write(std::string_view bytes) {
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
  while (size > 0) {
    const ssize_t written = ::write(fd_, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw OutputFailure(errno);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

}  // namespace tagtree
