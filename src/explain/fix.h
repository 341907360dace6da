// What --fix does to a file's bytes, in memory: the one implementation of every fix the
// report offers. It converts the file from the code page the person names, if any, then
// applies, round after round, every certain fix the report of the bytes offers, in a
// fixed order, until it offers none: so one run reaches the end, and a second changes
// nothing. Alike tags are never merged nor tags dropped: those are a person's call, and
// the report keeps offering them as advice.
#ifndef TAGTREE_EXPLAIN_FIX_H_
#define TAGTREE_EXPLAIN_FIX_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "explain/code_page.h"
#include "explain/findings.h"

namespace tagtree::explain {

// Why --fix --from=ENCODING leaves the file as it is.
struct FixRefusal {
  enum class Why : std::uint8_t {
    kUnknownEncoding,  // iconv knows no such encoding
    kUndecodable,      // a byte, or a sequence of them, does not decode
    kHoldsUtf8,        // the file holds valid UTF-8 beyond ASCII too, and the encoding
                       // named is no Unicode form
    kC1Control,        // a character would be a C1 control, which no tag name means
    kNulCharacter,     // a character would be NUL
    kAlreadyUtf8,      // the file is valid UTF-8 without NUL bytes, which the
                       // conversion would change
    kUtf16Mark,        // the file starts with a UTF-16 byte-order mark, and the encoding
                       // named is not UTF-16 of that byte order
    kNoNul,            // UTF-16 is named, and the file holds no NUL byte and no mark
  } why;
  std::string encoding;      // as named
  std::uint64_t offset = 0;  // of the byte that shows it, in the file
  std::uint64_t line = 0;    // the line that byte is on, as tagtree counts lines
  unsigned char byte = 0;    // that byte
  char32_t character = 0;    // kC1Control: the character it would be
};

// Returns why `refusal` leaves the file as it is, after "cannot convert FILE from X: ":
// "byte 0x81 on line 2 (offset 23) does not decode".
std::string refusalText(const FixRefusal& refusal);

// Returns `bytes` with the certain fix `fix` applied: the UTF-8 byte-order marks that
// start them removed, UTF-16 of the byte order `order` (and its mark) converted to UTF-8
// with iconv, each CR that no LF follows made an LF, or the lines without tags deleted,
// line ends and all. `bytes` as they are where the fix does not take them: UTF-16 that
// does not decode. Throws std::bad_alloc.
std::string applyFix(Fix fix, std::string_view bytes, TextEncoding order = TextEncoding::kUtf16Le);

// What fixAll did: the fixes it applied, in order, or why it left the bytes as they were.
struct FixOutcome {
  std::vector<Applied> applied;
  std::optional<FixRefusal> refused;
};

// Converts `bytes` from `request.from`, where named, then applies to them every certain
// fix `request` allows that the report of them offers, in the order of kFixOrder, one a
// round, surveying them again after each, until it offers none. Returns what it did; where
// the conversion is refused, `bytes` are as they were. Throws std::bad_alloc.
FixOutcome fixAll(std::string& bytes, const FixRequest& request = {});

// Returns what --fix would do to `bytes`, whose report is `report`: every certain fix,
// and, for a file in an 8-bit code page, the conversion from the likeliest that reads it,
// with tagtree's verdict on the result; none where it would change nothing. Throws
// std::bad_alloc.
std::optional<Plan> planFixes(std::string_view bytes, const Report& report);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_FIX_H_
