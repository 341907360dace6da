// Checks that names are well-formed UTF-8 before they are written.
#ifndef TAGTREE_PIPELINE_UTF8_H_
#define TAGTREE_PIPELINE_UTF8_H_

#include <cstddef>
#include <string_view>

namespace tagtree {

// Returns the length of the longest prefix of `bytes` made of whole, well-formed UTF-8
// characters: the offset of the first ill-formed sequence, or bytes.size() if there is
// none. Ill-formed: a stray continuation byte, a byte 0xC0, 0xC1 or 0xF5 to 0xFF, an
// overlong form, a surrogate (U+D800 to U+DFFF), a code point above U+10FFFF, or a
// sequence cut short by the end of `bytes`.
std::size_t validUtf8Prefix(std::string_view bytes);

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_UTF8_H_
