// What tagtree-explain knows of Unicode text beyond its bytes: which characters are white
// space. Alike names are found, and names are shown, by the same answers.
#ifndef TAGTREE_EXPLAIN_UNICODE_TEXT_H_
#define TAGTREE_EXPLAIN_UNICODE_TEXT_H_

#include <cstddef>
#include <string_view>

namespace tagtree::explain {

// What decodeAt returns where no well-formed character starts.
inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// Returns the code point of the well-formed UTF-8 character at the start of `bytes`, which
// must not be empty, and sets `length` to its length; or kNotUtf8, with `length` 1.
char32_t decodeAt(std::string_view bytes, std::size_t& length);

// Returns whether `code` has Unicode's White_Space property: U+0009 to U+000D, U+0020,
// U+0085, U+00A0, U+1680, U+2000 to U+200A, U+2028, U+2029, U+202F, U+205F and U+3000.
bool isWhiteSpace(char32_t code);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_UNICODE_TEXT_H_
