// Loads files.in whole into memory: a regular file is mapped, anything else is read.
#ifndef TAGTREE_FRAME_INPUT_FILE_H_
#define TAGTREE_FRAME_INPUT_FILE_H_

#include <cstddef>
#include <string_view>

namespace tagtree {

// The bytes of a loaded file, owned until destruction: either a malloc'd buffer or a
// read-only mapping of the file.
class InputText {
 public:
  enum class Storage { kMalloc, kMapping };

  InputText() = default;
  // Takes ownership of `data`, freed with free() or munmap() as `storage` says.
  InputText(void* data, std::size_t size, Storage storage) noexcept
      : data_(data), size_(size), storage_(storage) {}
  InputText(InputText&& other) noexcept;
  // Swaps contents with `other`, which frees what this held.
  InputText& operator=(InputText&& other) noexcept;
  ~InputText();

  // Returns the loaded bytes; they stay valid as long as this object.
  std::string_view bytes() const { return {static_cast<const char*>(data_), size_}; }
  // Returns whether the bytes are a mapping of the file rather than a copy.
  bool mapped() const { return storage_ == Storage::kMapping; }

 private:
  void* data_ = nullptr;
  std::size_t size_ = 0;
  Storage storage_ = Storage::kMalloc;
};

// How loadInputFile gets the bytes of a regular file that reports a nonzero size.
enum class LoadMethod {
  kMapOrRead,  // map it; read it only if the file system cannot map it
  kRead,       // always read it, as every other kind of file is read
};

// Loads the file at `path` whole, whatever it is: a regular file, a pipe, a FIFO or a
// device; anything but a regular file of nonzero size is read to its end. Throws the
// read failure with the failing call's errno (EISDIR for a directory), or
// std::bad_alloc when the bytes do not fit in memory or address space.
InputText loadInputFile(const char* path, LoadMethod method = LoadMethod::kMapOrRead);

}  // namespace tagtree

#endif  // TAGTREE_FRAME_INPUT_FILE_H_
