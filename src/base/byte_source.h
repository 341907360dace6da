// Where the input bytes come from. The frame reads them from files.in; tests and the
// fuzz target serve them from memory, in pieces as small as they like.
#ifndef TAGTREE_BASE_BYTE_SOURCE_H_
#define TAGTREE_BASE_BYTE_SOURCE_H_

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace tagtree {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads at most `capacity` (>= 1) bytes into `into` and returns how many: 0 only when
  // the input has ended. Throws the read failure when the input cannot be read.
  virtual std::size_t read(char* into, std::size_t capacity) = 0;
};

// Serves the bytes of a text, at most `maxRead` of them per read.
class TextSource : public ByteSource {
 public:
  explicit TextSource(std::string_view text, std::size_t maxRead = SIZE_MAX)
      : rest_(text), maxRead_(maxRead) {}

  std::size_t read(char* into, std::size_t capacity) override {
    const std::size_t size = std::min({capacity, maxRead_, rest_.size()});
    std::memcpy(into, rest_.data(), size);
    rest_.remove_prefix(size);
    return size;
  }

 private:
  std::string_view rest_;
  std::size_t maxRead_;
};

}  // namespace tagtree

#endif  // TAGTREE_BASE_BYTE_SOURCE_H_
