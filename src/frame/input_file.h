// Loads files.in whole into memory.
#ifndef TAGTREE_FRAME_INPUT_FILE_H_
#define TAGTREE_FRAME_INPUT_FILE_H_

#include <cstddef>
#include <string_view>

namespace tagtree {

// The bytes of a loaded file, owned until destruction.
class InputText {
 public:
  InputText() = default;
  InputText(char* data, std::size_t size) : data_(data), size_(size) {}
  InputText(InputText&& other) noexcept;
  InputText& operator=(InputText&&) = delete;
  ~InputText();

  std::string_view bytes() const { return {data_, size_}; }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

// Reads the file at `path` to its end, whatever it is: a regular file, a pipe, a FIFO
// or a device. Throws the read failure with the failing call's errno (EISDIR for a
// directory), or std::bad_alloc when the bytes do not fit in memory.
InputText loadInputFile(const char* path);

}  // namespace tagtree

#endif  // TAGTREE_FRAME_INPUT_FILE_H_
