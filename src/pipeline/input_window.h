// The bytes of the input at hand: a buffer that a ByteSource fills a fixed amount at a
// time. What the scan has finished with is dropped at each refill; what it still needs,
// the start of a word that runs past the bytes read so far, is kept and moved to the
// front. So memory holds one read's worth of input plus the longest word, however large
// the input is.
#ifndef TAGTREE_PIPELINE_INPUT_WINDOW_H_
#define TAGTREE_PIPELINE_INPUT_WINDOW_H_

#include <cstddef>

#include "base/byte_source.h"
#include "pipeline/malloc_bytes.h"

namespace tagtree {

class InputWindow {
 public:
  // Bytes asked of the source per read when no other size is given, chosen by
  // measurement among 64 KiB to 1 MiB: larger reads suit long names, which the scan
  // takes slowest, smaller ones the runs of skipped words it passes fastest, whose
  // bytes must still be in the cache when it gets to them.
  static constexpr std::size_t kDefaultReadSize = 128 * 1024;

  // Makes an empty window over `source` that reads `readSize` (>= 1) bytes at a time.
  InputWindow(ByteSource& source, std::size_t readSize);
  InputWindow(const InputWindow&) = delete;
  InputWindow& operator=(const InputWindow&) = delete;
  ~InputWindow();

  // The bytes at hand. Valid until the next refill.
  const char* begin() const { return data_; }
  const char* end() const { return data_ + size_; }
  // Returns whether the source has ended: nothing will ever follow end().
  bool atEnd() const { return atEnd_; }

  // Drops the bytes before `keep` (in [begin, end]), moves the rest to the front and
  // reads more after them. Returns false, and atEnd() turns true, when the source has
  // ended. Throws what the source throws, and std::bad_alloc when the kept bytes and a
  // read's worth no longer fit in memory.
  bool refill(const char* keep);

  // Gives up the bytes at hand, whose first `size` the caller keeps, and goes on with the
  // rest in a new buffer; `p` (at or after begin() + size) moves with its byte. Returns
  // the old buffer, holding those `size` bytes at its start: a long word is then kept
  // without a copy. Throws std::bad_alloc, changing nothing.
  MallocBytes takeFront(std::size_t size, const char*& p);

 private:
  ByteSource& source_;
  std::size_t readSize_;
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  bool atEnd_ = false;
};

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_INPUT_WINDOW_H_
