// What a file's bytes are, decided once from all of them before anything reads them as
// lines: UTF-8, UTF-16 of one byte order, an 8-bit code page (which one is a guess), or
// a mix no single conversion mends. Every finding and every fix of tagtree-explain reads
// this one decision, so that no fix is made on bytes read in the wrong encoding: a CR
// byte of UTF-16 text is half a character, not a line end.
#ifndef TAGTREE_EXPLAIN_ENCODING_H_
#define TAGTREE_EXPLAIN_ENCODING_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/byte_source.h"
#include "explain/code_page.h"
#include "explain/utf16_reading.h"

namespace tagtree::explain {

enum class TextEncoding : std::uint8_t {
  kUtf8,      // valid UTF-8 throughout, after any byte-order marks: NUL bytes included,
              // which are a flaw of their own
  kUtf16Le,   // UTF-16 little-endian, with or without its byte-order mark
  kUtf16Be,   // UTF-16 big-endian, with or without its byte-order mark
  kCodePage,  // not UTF-8, with no NUL byte and no UTF-8 beyond ASCII: an 8-bit code page
  kMixed,     // valid UTF-8 beyond ASCII, and bytes that are not UTF-8
  kUnknown,   // NUL bytes, bytes that are not UTF-8, and no UTF-16 reading
};

// Returns whether `encoding` is UTF-16 of either byte order.
inline bool isUtf16(TextEncoding encoding) {
  return encoding == TextEncoding::kUtf16Le || encoding == TextEncoding::kUtf16Be;
}

// The decision, with its evidence.
struct EncodingDecision {
  TextEncoding encoding = TextEncoding::kUtf8;
  std::uint64_t utf8Marks = 0;              // the UTF-8 byte-order marks the file starts with
  Utf16Mark utf16Mark = Utf16Mark::kNone;   // the UTF-16 byte-order mark it starts with
  Utf16Mark utf16Order = Utf16Mark::kNone;  // the byte order its mark or NUL bytes suggest
  // Where the file decodes whole as UTF-16 of that order but shows too few NUL bytes to
  // be sure (kTooFewNuls), whether some of them are in line ends of it: then it may be
  // UTF-16 all the same, of characters beyond Latin-1 but for its line ends.
  bool utf16LineEnds = false;
  // What keeps a file with NUL bytes or a UTF-16 mark from being UTF-16 in the byte order
  // the mark or the NUL bytes suggest; kNone for a file that is UTF-16, or shows no sign
  // of it.
  Utf16Flaw notUtf16 = Utf16Flaw::kNone;
  std::uint64_t nulBytes = 0;
  // The offset of the first byte that is no part of a well-formed UTF-8 sequence, and of
  // the first well-formed sequence of two or more bytes, byte-order marks at the start
  // not counted; the size of the file where there is none.
  std::uint64_t firstNotUtf8 = 0;
  std::uint64_t firstBeyondAscii = 0;
  std::uint64_t size = 0;
  CodePageProfile highBytes;  // the bytes 0x80 to 0xFF, for guessing a code page

  bool validUtf8() const { return firstNotUtf8 == size; }
  bool beyondAscii() const { return firstBeyondAscii != size; }
};

// Reads every byte of a file as it streams past, in pieces of any size, and decides at
// the end what they are. ASCII text without NUL bytes costs a step per eight bytes.
class EncodingReading {
 public:
  // Takes the next bytes of the file.
  void feed(std::string_view bytes);

  // Returns the decision on all the bytes fed: UTF-16 where the file decodes whole as
  // UTF-16 of one byte order, with no NUL character and every surrogate paired, and
  // either starts with that order's mark, or holds NUL bytes where that order's ASCII
  // characters have them: in at least half its code units where its bytes read as UTF-8
  // too, else in two or more and one code unit in 16 at least; and its last line end is
  // one in UTF-16.
  // Else UTF-8 where the bytes are valid UTF-8, else what is left.
  EncodingDecision decide() const;

 private:
  // Takes the well-formed or not sequence of `size` bytes at `sequence`, whose first byte
  // is at offset `offset` and at least 0x80.
  void sequence(const unsigned char* sequence, std::size_t size, std::uint64_t offset);

  Utf16Reading utf16_;
  CodePageProfile highBytes_;
  std::uint64_t size_ = 0;
  std::uint64_t nuls_ = 0;
  std::uint64_t marks_ = 0;
  bool marksEnded_ = false;  // a byte other than a byte-order mark came after the marks
  std::uint64_t firstNotUtf8_ = UINT64_MAX;
  std::uint64_t firstBeyondAscii_ = UINT64_MAX;
  // A sequence the last piece cut short: its bytes so far, how many it needs, its offset.
  unsigned char pending_[4] = {};
  std::size_t pendingSize_ = 0, pendingNeeded_ = 0;
  std::uint64_t pendingOffset_ = 0;
};

// A ByteSource that passes on the bytes of another and feeds them to an EncodingReading.
class EncodingReadingSource : public ByteSource {
 public:
  EncodingReadingSource(ByteSource& source, EncodingReading& reading)
      : source_(source), reading_(reading) {}
  std::size_t read(char* into, std::size_t capacity) override {
    const std::size_t size = source_.read(into, capacity);
    reading_.feed({into, size});
    return size;
  }

 private:
  ByteSource& source_;
  EncodingReading& reading_;
};

// Returns the decision on `bytes`.
EncodingDecision decideEncoding(std::string_view bytes);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_ENCODING_H_
