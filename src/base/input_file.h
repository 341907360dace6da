// files.in as a stream of bytes: read in pieces as the pipeline asks for them, never
// loaded whole and never mapped, so memory does not grow with the file and a file that
// changes while it is read cannot bring the process down.
#ifndef TAGTREE_BASE_INPUT_FILE_H_
#define TAGTREE_BASE_INPUT_FILE_H_

#include <cstddef>

#include "base/byte_source.h"

namespace tagtree {

class InputFile : public ByteSource {
 public:
  // Opens the file at `path` for reading, whatever it is: a regular file, a pipe, a FIFO
  // or a device. Throws the read failure with the failing call's errno, EISDIR for a
  // directory.
  explicit InputFile(const char* path);
  // Reads the descriptor `fd`, open for reading (standard input, say), and closes it at
  // the end like a file it opened.
  explicit InputFile(int fd) : fd_(fd) {}
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  // Closes the file if it is still open.
  ~InputFile() override;

  // Reads up to `capacity` bytes, retrying when a signal interrupts the call. At the end
  // of the file closes it and returns 0, as every later call does. Throws the read
  // failure when reading or closing fails.
  std::size_t read(char* into, std::size_t capacity) override;

 private:
  int fd_;
};

}  // namespace tagtree

#endif  // TAGTREE_BASE_INPUT_FILE_H_
