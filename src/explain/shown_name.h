// Names as tagtree-explain shows them to people, who must see every byte that matters.
#ifndef TAGTREE_EXPLAIN_SHOWN_NAME_H_
#define TAGTREE_EXPLAIN_SHOWN_NAME_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "explain/unicode_text.h"

namespace tagtree::explain {

// Names of more than this many bytes are shown cut in the middle.
inline constexpr std::size_t kLongestShownName = 80;

// Where a shown name is put in double quotes.
enum class Quotes {
  kWhereNeeded,  // where it starts or ends with a space (U+0020) or a double quote
  kAlways,       // always, as in lists and prose, where it may hold ", " or " and "
};

// Returns `name` as a person can read it, read back, and tell from any other: as \xHH, one
// per byte, bytes that are not valid UTF-8, control characters, invisible ones (such as a
// byte-order mark or a zero-width space), white space other than U+0020 (a no-break or
// hair space, wherever it is: so only U+0020 at an end needs quotes), the characters that
// show where the name differs from its NFC normalisation (see unnormalizedRanges: the
// combining mark of an "e" and an acute accent, a Kelvin sign) and a combining mark right
// after such an escape, which would be drawn on it; a backslash as \\; in double quotes
// when it starts or ends with a space or a double quote, with each double quote in it as
// \"; and, when longer than kLongestShownName bytes, as its first 40 and last 20 or so
// bytes around "...", with its size: "nnnn...0001 (32,768 bytes)". Two names cut may be
// shown alike: shownNamesApart shows a few apart.
std::string shownName(std::string_view name);

// Returns `name` as shownName shows it, but always in double quotes.
std::string quotedName(std::string_view name);

// Returns `name` as shownName shows it, quoted as `quotes` says, with the bytes in
// `visible` and a few on either side of them shown too where the name is cut: between
// "..." where they fall in the part cut out.
std::string shownName(std::string_view name, ByteRange visible,
                      Quotes quotes = Quotes::kWhereNeeded);

// Returns each of `names`, the few a report lists at once, as shownName shows it, quoted
// as `quotes` says, each long name cut so that the bytes where it first differs from each
// other name stay visible: no two different names are shown the same.
std::vector<std::string> shownNamesApart(std::span<const std::string_view> names,
                                         Quotes quotes = Quotes::kWhereNeeded);

// Returns the path "/parent" or "/parent/child" as a person can read it: each name as
// shownName shows it, but the whole path in quotes where a name starts or ends with a
// space.
std::string shownPath(std::string_view parent, std::string_view child = {});

// Returns `n` in decimal with its digits in groups of three: "32,768".
std::string grouped(std::uint64_t n);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_SHOWN_NAME_H_
