// Loading files.in: open, fstat, then map or read, close.
//
// A regular file of nonzero size is mapped read-only: its bytes are used where they lie
// in the page cache, with no fresh buffer to fault in and no copy, which for a large
// file costs several times more than the scan itself. (MAP_POPULATE measured slower:
// the kernel already maps a run of cached pages around each fault.)
//
// Everything else is read. The size fstat reports is only the first guess at the
// buffer size: pipes and devices report 0, /proc files are regular but report 0 too,
// and a file may grow while it is read. The read loop retries on EINTR and goes on
// after short reads, so nothing is taken as empty or cut short.
//
// A mapping reflects the file as it is while it is used. If another process truncates
// files.in during the run, touching a page past the new end raises SIGBUS and the
// process dies of it; only regular files are mapped, so this needs that rare race on
// the one input file. Reading gives no consistent snapshot under such a race either.
#include "frame/input_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

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
    InputText text(data_, size_, InputText::Storage::kMalloc);
    data_ = nullptr;
    size_ = capacity_ = 0;
    return text;
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// Maps `size` (> 0) bytes of the regular file `fd`. Returns an empty text, not mapped,
// when the file system cannot map it. Throws std::bad_alloc when the address space is
// exhausted.
InputText mapWhole(int fd, std::size_t size) {
  void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (data == MAP_FAILED) {
    if (errno == ENOMEM) throw std::bad_alloc();
    return InputText();
  }
  return InputText(data, size, InputText::Storage::kMapping);
}

// Reads `fd` to its end; `sizeHint` is the size fstat reported, 0 if none.
InputText readToEnd(int fd, std::size_t sizeHint) {
  ByteBuffer buffer;
  // One byte more than the reported size, so that the read reaching end of file needs
  // no second buffer.
  buffer.reserveMore(sizeHint > 0 && sizeHint < SIZE_MAX - 1 ? sizeHint + 1 : kFirstGuess);
  for (;;) {
    if (buffer.spare() == 0) buffer.reserveMore(kFirstGuess);
    const ssize_t got = ::read(fd, buffer.end(), buffer.spare());
    if (got < 0) {
      if (errno == EINTR) continue;
      throw readFailure(errno);
    }
    if (got == 0) break;
    buffer.grow(static_cast<std::size_t>(got));
  }
  return buffer.release();
}

}  // namespace

InputText::InputText(InputText&& other) noexcept
    : data_(other.data_), size_(other.size_), storage_(other.storage_) {
  other.data_ = nullptr;
  other.size_ = 0;
  other.storage_ = Storage::kMalloc;
}

InputText& InputText::operator=(InputText&& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  std::swap(storage_, other.storage_);
  return *this;
}

InputText::~InputText() {
  if (storage_ == Storage::kMapping) {
    ::munmap(data_, size_);
  } else {
    std::free(data_);
  }
}

InputText loadInputFile(const char* path, LoadMethod method) {
  FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw readFailure(errno);
  struct stat status;
  if (::fstat(file.get(), &status) != 0) throw readFailure(errno);
  if (S_ISDIR(status.st_mode)) throw readFailure(EISDIR);

  const std::size_t sizeHint =
      status.st_size > 0 && static_cast<std::uintmax_t>(status.st_size) <= SIZE_MAX
          ? static_cast<std::size_t>(status.st_size)
          : 0;
  InputText text;
  if (method == LoadMethod::kMapOrRead && S_ISREG(status.st_mode) && sizeHint > 0) {
    text = mapWhole(file.get(), sizeHint);
  }
  if (!text.mapped()) text = readToEnd(file.get(), sizeHint);
  file.close();
  return text;
}

}  // namespace tagtree
