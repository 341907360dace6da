// Output to a file descriptor: writing all of a run of bytes, and a buffer that does so in
// large writes.
#ifndef TAGTREE_BASE_FD_SINK_H_
#define TAGTREE_BASE_FD_SINK_H_

#include <unistd.h>

#include <cstddef>
#include <string_view>

#include "base/output_sink.h"

namespace tagtree {

// The write(2) call writeFully makes; tests give it another.
using WriteCall = ssize_t (*)(int fd, const void* data, std::size_t size);

// Writes all `size` bytes at `data` to `fd` with `write`, going on after a signal and,
// where `fd` is non-blocking and full, waiting until it takes more. Returns 0 once all
// are written, or the errno of the write or wait that failed: ENOSPC for a write that
// takes nothing of a non-zero count and reports no error, which would otherwise be
// retried for ever.
int writeFully(int fd, const char* data, std::size_t size, WriteCall write = ::write);

class FdSink : public OutputSink {
 public:
  explicit FdSink(int fd) : fd_(fd) {}
  FdSink(const FdSink&) = delete;
  FdSink& operator=(const FdSink&) = delete;

  // Buffers `bytes`, writing the buffer out when it fills (see writeFully). Throws
  // OutputFailure when a write fails.
  void write(std::string_view bytes) override;
  // Writes out what is buffered. Throws OutputFailure when a write fails.
  void flush();

 private:
  static constexpr std::size_t kBufferSize = 64 * 1024;
  void writeAll(const char* data, std::size_t size);

  int fd_;
  std::size_t used_ = 0;
  char buffer_[kBufferSize];
};

}  // namespace tagtree

#endif  // TAGTREE_BASE_FD_SINK_H_
