// Reading files.in: open, fstat, read until end of file, close.
//
// The size fstat reports is only the first guess at the buffer size: pipes and devices
// report 0, and a file may grow while it is read. The read loop retries on EINTR and
// goes on after short reads, so nothing is taken as empty or cut short.
#include "frame/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "frame/failure.h"

namespace tagtree {
namespace {

constexpr std::size_t kFirstGuess = 64 * 1024;

// Closes the descriptor on every way out; a failed close is reported by the caller.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now. Throws the read failure if close fails.
  void close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw readFailure(errno);
  }

 private:
  int fd_;
};

// A growable byte buffer on malloc/realloc: a large realloc can move pages instead of
// copying them, so growing does not double the memory in use.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ~ByteBuffer() { std::free(data_); }

  char* data() { return data_; }
  std::size_t size() const { return size_; }
  std::size_t spare() const { return capacity_ - size_; }
  char* end() { return data_ + size_; }
  void grow(std::size_t bytes) { size_ += bytes; }

  // Makes room for at least `bytes` more. Throws std::bad_alloc.
  void reserveMore(std::size_t bytes) {
    if (bytes <= spare()) return;
    if (bytes > SIZE_MAX - size_) throw std::bad_alloc();
    std::size_t capacity = capacity_ > SIZE_MAX / 2 ? SIZE_MAX : capacity_ * 2;
    if (capacity < size_ + bytes) capacity = size_ + bytes;
    void* grown = std::realloc(data_, capacity);
    if (grown == nullptr) throw std::bad_alloc();
    data_ = static_cast<char*>(grown);
    capacity_ = capacity;
  }

  // Hands the bytes over to the caller.
  InputText release() {
    InputText text(data_, size_);
    data_ = nullptr;
    size_ = capacity_ = 0;
    return text;
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace

InputText::InputText(InputText&& other) noexcept : data_(other.data_), size_(other.size_) {
  other.data_ = nullptr;
  other.size_ = 0;
}

InputText::~InputText() { std::free(data_); }

InputText loadInputFile(const char* path) {
  FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw readFailure(errno);
  struct stat status;
  if (::fstat(file.get(), &status) != 0) throw readFailure(errno);
  if (S_ISDIR(status.st_mode)) throw readFailure(EISDIR);

  ByteBuffer buffer;
  // One byte more than the reported size, so that the read reaching end of file needs
  // no second buffer.
  const std::size_t guess =
      status.st_size > 0 && static_cast<std::uintmax_t>(status.st_size) < SIZE_MAX - 1
          ? static_cast<std::size_t>(status.st_size) + 1
          : kFirstGuess;
  buffer.reserveMore(guess);
  for (;;) {
    if (buffer.spare() == 0) buffer.reserveMore(kFirstGuess);
    const ssize_t got = ::read(file.get(), buffer.end(), buffer.spare());
    if (got < 0) {
      if (errno == EINTR) continue;
      throw readFailure(errno);
    }
    if (got == 0) break;
    buffer.grow(static_cast<std::size_t>(got));
  }
  file.close();
  return buffer.release();
}

}  // namespace tagtree
