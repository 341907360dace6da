// Output to a file descriptor: writing all of a run of bytes, and a buffer that does so in
// large writes.
#ifndef TAGTREE_FRAME_FD_SINK_H_
#define TAGTREE_FRAME_FD_SINK_H_

#include <cstddef>
#include <string_view>

#include "pipeline/output_sink.h"

namespace tagtree {

// Writes all `size` bytes at `data` to `fd`, going on after a signal and, where `fd` is
// non-blocking and full, waiting until it takes more. Returns 0 once all are written, or
// the errno of the write or wait that failed.
int writeFully(int fd, const char* data, std::size_t size);

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

#endif  // TAGTREE_FRAME_FD_SINK_H_
