// Names as tagtree-explain shows them to people, who must see every byte that matters.
#ifndef TAGTREE_EXPLAIN_SHOWN_NAME_H_
#define TAGTREE_EXPLAIN_SHOWN_NAME_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tagtree::explain {

// Names of more than this many bytes are shown cut in the middle.
inline constexpr std::size_t kLongestShownName = 80;

// Returns `name` as a person can read it: bytes that are not valid UTF-8, control
// characters and invisible ones (such as a byte-order mark or a no-break space) as \xHH,
// one per byte; in
// double quotes when it starts or ends with a space; and, when longer than
// kLongestShownName bytes, as its first 40 and last 20 or so bytes around "...", with its
// size: "nnnn...0001 (32,768 bytes)".
std::string shownName(std::string_view name);

// Returns the path "/parent" or "/parent/child" as a person can read it: each name as
// shownName shows it, but the whole path in quotes where a name starts or ends with a
// space.
std::string shownPath(std::string_view parent, std::string_view child = {});

// Returns `n` in decimal with its digits in groups of three: "32,768".
std::string grouped(std::uint64_t n);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_SHOWN_NAME_H_
