// Whether an input, read byte by byte as it streams past, decodes as UTF-16 of either byte
// order. A file full of NUL bytes is most often UTF-16, but a UTF-8 file with a stray NUL
// is not, and converting it from UTF-16 would garble every tag: so converting is offered
// only where the file's own bytes bear it out.
#ifndef TAGTREE_EXPLAIN_UTF16_READING_H_
#define TAGTREE_EXPLAIN_UTF16_READING_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tagtree::explain {

// What keeps bytes from being UTF-16 of one byte order.
enum class Utf16Flaw {
  kNone,           // they decode whole
  kOddLength,      // an odd number of bytes
  kStrayNul,       // two NUL bytes that make one code unit: a NUL character, which text
                   // has none of
  kLoneSurrogate,  // half of a surrogate pair without its other half
  kLastLineEnd,    // the input ends in a CR or LF byte that is no line end in UTF-16
  kNoNulAtStart,   // no NUL byte and no UTF-16 byte-order mark in its first kLookAhead
                   // bytes, where UTF-16 text has them: in every ASCII character
  kNoOrder,        // as many NUL bytes at even offsets as at odd ones: no byte order
                   // stands out
  kUtf8Text,       // the bytes are valid UTF-8, and too few of them are NUL for UTF-16
                   // text, whose ASCII characters each hold one: UTF-8 with stray NULs
  kTooFewNuls,     // fewer than two code units, or than one in 16, hold a NUL byte, as
                   // ASCII characters, line ends and separators do in UTF-16 text
};

enum class Utf16Mark { kNone, kLittleEndian, kBigEndian };

class Utf16Reading {
 public:
  // The bytes that must show a NUL or a byte-order mark: past them, a reading that has met
  // neither stops, and costs nothing more.
  static constexpr std::uint64_t kLookAhead = 4096;

  // Takes the next bytes of the input.
  void feed(std::string_view bytes);

  // Returns what keeps the bytes fed so far, all of the input, from decoding as UTF-16
  // little-endian or big-endian: kNone where they decode whole to text, with no NUL
  // character, every surrogate paired, and a CR or LF byte at the end part of a line end.
  Utf16Flaw littleEndian() const { return flawOf(little_); }
  Utf16Flaw bigEndian() const { return flawOf(big_); }

  // Returns the byte order of the UTF-16 byte-order mark the input starts with, if any.
  Utf16Mark mark() const { return mark_; }

  // Returns the byte order whose high bytes hold more of the input's NUL bytes: UTF-16
  // text of ASCII or Latin-1 characters has a NUL in the high byte of each. kNone where
  // both hold as many, none above all.
  // Returns how many code units of the byte order `order` (not kNone) have a NUL high
  // byte, as those of ASCII and Latin-1 characters do; and how many code units there are.
  std::uint64_t nulHighBytes(Utf16Mark order) const {
    return order == Utf16Mark::kLittleEndian ? nulsAtOdd_ : nulsAtEven_;
  }
  std::uint64_t units() const { return size_ / 2; }
  // Returns how many code units of the byte order `order` (not kNone) are a CR or an LF.
  std::uint64_t lineEndUnits(Utf16Mark order) const {
    return order == Utf16Mark::kLittleEndian ? lineEndsLittle_ : lineEndsBig_;
  }

  Utf16Mark likelyOrder() const {
    return nulsAtOdd_ > nulsAtEven_   ? Utf16Mark::kLittleEndian
           : nulsAtEven_ > nulsAtOdd_ ? Utf16Mark::kBigEndian
                                      : Utf16Mark::kNone;
  }

 private:
  struct Order {
    Utf16Flaw flaw = Utf16Flaw::kNone;
    bool afterLead = false;  // the last code unit was a lead surrogate
  };
  Utf16Flaw flawOf(const Order& order) const;
  // Takes the code unit of the high byte `high` and low byte `low` in `order`.
  static void take(Order& order, unsigned char high, unsigned char low);
  // Looks at each of the next bytes of the input.
  void scan(std::string_view bytes);
  // Takes the code unit made of the bytes `first` and `second`, in that order.
  void unit(unsigned char first, unsigned char second);

  Order little_, big_;
  std::uint64_t size_ = 0;
  unsigned char pending_ = 0;   // the first byte of a code unit, where size_ is odd
  unsigned char last_[2] = {};  // the last two bytes
  std::uint64_t nulsAtEven_ = 0, nulsAtOdd_ = 0;        // NUL bytes at even and odd offsets
  std::uint64_t lineEndsLittle_ = 0, lineEndsBig_ = 0;  // code units that are a CR or an LF
  Utf16Mark mark_ = Utf16Mark::kNone;
  bool stopped_ = false;  // kLookAhead bytes showed neither a NUL nor a mark
};

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_UTF16_READING_H_
