// Names as tagtree-explain shows them to people, who must see every byte that matters.
#ifndef TAGTREE_EXPLAIN_SHOWN_NAME_H_
#define TAGTREE_EXPLAIN_SHOWN_NAME_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "explain/unicode_text.h"
#include "pipeline/name_table.h"

namespace tagtree::explain {

// Names of more than this many bytes are shown cut in the middle.
inline constexpr std::size_t kLongestShownName = 80;

// Where a shown name is put in double quotes.
enum class Quotes {
  kWhereNeeded,  // where it starts or ends with a space (U+0020) or a double quote
  kAlways,       // always, as in lists and prose, where it may hold ", " or " and "
};

// Returns `name` as a person can read it, read back, and tell from any other: as \xHH, one
// per byte, bytes that are not valid UTF-8, control characters, format characters (such
// as a soft hyphen, a zero-width space or a byte-order mark), white space other than
// U+0020 (a no-break or hair space, wherever it is: so only U+0020 at an end needs
// quotes), the characters that show where the name differs from its NFC normalisation
// (see unnormalizedRanges: the combining mark of an "e" and an acute accent, a Kelvin
// sign), and a combining mark that would be drawn on what is not its own: after such an
// escape, at the start (an acute accent on a space looks like U+00B4) or after "..."; a
// backslash as \\; in double quotes when it starts or ends with a space or a double
// quote, with each double quote in it as \"; and, when longer than kLongestShownName
// bytes, as its first 40 and last 20 or so bytes around "...", with its size:
// "nnnn...0001 (32,768 bytes)". Two names cut may be shown alike: ShownNames shows the
// names of a table apart.
std::string shownName(std::string_view name);

// Returns `name` as shownName shows it, but always in double quotes.
std::string quotedName(std::string_view name);

// The names of a table as a report shows them, by slot: as shownName shows them, but no
// two different names alike in any form, plain, quoted or in a path. Each name longer than
// kLongestShownName keeps visible, where it is cut, the bytes where it first differs from
// the names next to it in byte order; names still shown alike are shown whole. Building
// takes time linear in the bytes of the long names times the log of their number, and
// memory linear in their number (and in the bytes of those not in NFC); shorter names
// cost nothing. Not for use by two threads at once: showing names with extra bytes
// visible changes what it remembers.
class ShownNames {
 public:
  // Prepares to show the names of `names`, which must outlive it unchanged. Throws
  // std::bad_alloc.
  explicit ShownNames(const NameTable& names);

  // Returns the name in `slot` (< names.size()) quoted as `quotes` says.
  std::string name(std::uint32_t slot, Quotes quotes = Quotes::kWhereNeeded) const;

  // Returns the name in `slot` always in double quotes.
  std::string quoted(std::uint32_t slot) const { return name(slot, Quotes::kAlways); }

  // Returns the name in `slot` as name(slot, quotes) does, but with the bytes in `visible`
  // and a few on either side shown too where it is cut; or as name(slot, quotes) shows it
  // where that would show it as another name is shown without extra bytes, or was shown
  // with them by an earlier call.
  std::string name(std::uint32_t slot, Quotes quotes, std::span<const ByteRange> visible) const;

  // Returns the names in `slots`, the few a report lists at once, each as name() shows it
  // with the bytes where any two of them first differ visible too: no two alike.
  std::vector<std::string> apart(std::span<const std::uint32_t> slots,
                                 Quotes quotes = Quotes::kWhereNeeded) const;

  // Returns the path "/parent" or "/parent/child" as a person can read it: each name as
  // name() shows it, but without its size, and the whole path in quotes where a name
  // starts or ends with a space.
  std::string path(std::uint32_t parent) const;
  std::string path(std::uint32_t parent, std::uint32_t child) const;

 private:
  // A name longer than kLongestShownName, and what it keeps visible where it is cut.
  struct Long {
    std::uint32_t slot = 0;
    bool whole = false;                   // shown whole, since shown cut it was alike to another
    std::uint8_t nearCount = 0;           // how many of `near` there are
    std::array<ByteRange, 2> near;        // where it first differs from the names next to it
    std::vector<ByteRange> unnormalized;  // as unnormalizedRanges finds them
  };

  const Long* longName(std::uint32_t slot) const;
  // Appends the name in `slot` without quotes or size, with `visible` shown too.
  void append(std::string& text, std::uint32_t slot, bool inQuotes,
              std::span<const ByteRange> visible = {}) const;
  // Returns the long name as shown in quotes, without them and without its size.
  std::string inner(const Long& name, std::span<const ByteRange> visible = {}) const;
  // Returns whether a name of at most kLongestShownName bytes is shown as the long name in
  // `slot` is shown with the text `inner` (in quotes, without its size).
  bool shownAsShort(std::uint32_t slot, const std::string& inner) const;

  const NameTable* names_;
  std::vector<Long> long_;  // in slot order
  // The hash of each long name's inner text, with its index in long_.
  std::unordered_multimap<std::size_t, std::uint32_t> byText_;
  // The hash of each text shown with extra bytes visible, with its slot.
  mutable std::unordered_map<std::size_t, std::uint32_t> extended_;
  bool shortNameWithDots_ = false;  // whether a name of at most kLongestShownName holds "..."
};

// Returns `n` in decimal with its digits in groups of three: "32,768".
std::string grouped(std::uint64_t n);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_SHOWN_NAME_H_
