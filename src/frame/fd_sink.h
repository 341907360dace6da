// Buffered output to a file descriptor, in large writes.
#ifndef TAGTREE_FRAME_FD_SINK_H_
#define TAGTREE_FRAME_FD_SINK_H_

#include <cstddef>
#include <string_view>

#include "pipeline/output_sink.h"

namespace tagtree {

class FdSink : public OutputSink {
 public:
  explicit FdSink(int fd) : fd_(fd) {}
  FdSink(const FdSink&) = delete;
  FdSink& operator=(const FdSink&) = delete;

  // Buffers `bytes`, writing the buffer out when it fills. Throws OutputFailure when a
  // write fails.
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
