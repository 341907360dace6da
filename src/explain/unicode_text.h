// What tagtree-explain knows of Unicode text beyond its bytes: which characters are white
// space, which are format characters, which are marks drawn on the one before, and which
// NFC normalisation would change.
// Alike names are found, and names are shown, by the same answers.
#ifndef TAGTREE_EXPLAIN_UNICODE_TEXT_H_
#define TAGTREE_EXPLAIN_UNICODE_TEXT_H_

#include <cstddef>
#include <string_view>
#include <vector>

namespace tagtree::explain {

// The bytes of a text from `from` up to, not including, `to`.
struct ByteRange {
  std::size_t from = 0;
  std::size_t to = 0;
};

// What decodeAt returns where no well-formed character starts.
inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// Returns the code point of the well-formed UTF-8 character at the start of `bytes`, which
// must not be empty, and sets `length` to its length; or kNotUtf8, with `length` 1.
char32_t decodeAt(std::string_view bytes, std::size_t& length);

// Returns whether `code` has Unicode's White_Space property: U+0009 to U+000D, U+0020,
// U+0085, U+00A0, U+1680, U+2000 to U+200A, U+2028, U+2029, U+202F, U+205F and U+3000.
bool isWhiteSpace(char32_t code);

// Returns whether `code` is a format character (general category Cf), which is not seen
// but may change how text is drawn: a soft hyphen, a zero-width space, a bidirectional
// mark or isolate, a byte-order mark.
bool isFormat(char32_t code);

// Returns whether a terminal shows the character `code` (kNotUtf8 for a byte that is no
// character) as it is: not a control character (C0 or C1), not a format character (such
// as a bidirectional override, which would turn the text after it around), not white
// space other than U+0020.
bool isShownAsItIs(char32_t code);

// Returns whether `code` is a combining mark (general category Mn, Mc or Me), which is
// drawn on the character before it.
bool isCombiningMark(char32_t code);

// Returns, in order and apart, the byte ranges of the characters that show where `text`
// differs from its NFC normalisation; none where it is normalised. A run of a character
// and the combining marks after it (joined with the runs after it that compose with it)
// that normalisation changes is shown by all its characters but a first that it leaves
// as it is: the marks that would compose or move, a singleton such as U+212A KELVIN SIGN.
// Bytes not UTF-8 are never part of a range, and end runs. Takes time linear in the size
// of `text` (n log n in the longest run of marks).
std::vector<ByteRange> unnormalizedRanges(std::string_view text);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_UNICODE_TEXT_H_
