// Files in another encoding than UTF-8: converting one from an encoding a person names,
// and guessing which 8-bit code page one is in. All reading goes through iconv(3), so an
// encoding reads here as the system's iconv reads it. A conversion is refused wherever its
// result could not be trusted, and a guess names only code pages that read every high
// byte of the file as a character a tag name may hold.
#ifndef TAGTREE_EXPLAIN_CODE_PAGE_H_
#define TAGTREE_EXPLAIN_CODE_PAGE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_source.h"

namespace tagtree::explain {

// Why bytes were not converted.
enum class Refusal {
  kNone,             // they were
  kUnknownEncoding,  // iconv does not know the encoding
  kUndecodable,      // a byte or sequence does not decode in it, or ends cut short
  kHoldsUtf8,        // the encoding is 8-bit, and the bytes hold well-formed UTF-8 beyond
                     // ASCII: UTF-8 at least in part, which converting would garble
  kC1Control,        // the result would hold a C1 control (U+0080 to U+009F)
  kNulCharacter,     // the result would hold a NUL character
};

struct Conversion {
  std::string text;  // the bytes as UTF-8; empty where refused
  Refusal refusal = Refusal::kNone;
  std::uint64_t offset = 0;  // where refused but for kUnknownEncoding: the offset in the
                             // input of the byte or sequence that shows why (in an
                             // encoding with shift sequences, such as ISO-2022-JP, maybe
                             // of the shift before it)
  char32_t character = 0;    // for kC1Control, the control
};

// Returns `bytes` converted from `encoding` (a name iconv_open takes) to UTF-8, or why
// not, with the first offending offset. Refused, in this order of precedence: an encoding
// iconv does not know, or an empty name or one with a '/' (iconv's options, not part of
// a name); well-formed UTF-8 of 2 to 4 bytes anywhere, for an 8-bit encoding only (see
// isSingleByte); a byte or sequence that does not decode, or a sequence cut short by the
// end; a C1 control or NUL character in the result, the earlier of the two. A byte-order
// mark is read as the encoding reads it: "UTF-16" takes a mark and drops it (without one,
// the byte order is the C library's choice: glibc 2.36 on x86-64 takes little-endian), while
// "UTF-16LE" and "UTF-16BE" keep a U+FEFF at the start as a character, for the caller to
// strip. Takes time and memory linear in bytes.size().
Conversion convertToUtf8(std::string_view encoding, std::string_view bytes);

// Returns whether iconv knows `encoding` and reads it one byte a character: each byte
// alone decodes to one or more characters or does not decode at all, none starts a
// longer sequence, and at least one decodes. What iconv says of an encoding is asked once
// a process.
bool isSingleByte(std::string_view encoding);

// Returns `bytes` as `encoding` reads them, as UTF-8; nothing where iconv does not know
// the encoding or a byte or sequence does not decode. Unlike convertToUtf8 it refuses
// nothing else: it shows what a name would become.
std::optional<std::string> readAs(std::string_view encoding, std::string_view bytes);

// How often each byte 0x80 to 0xFF occurs in a file, how often beside an ASCII letter, and
// how often inside a word: between two bytes that are ASCII letters or beyond ASCII.
class CodePageProfile {
 public:
  // Takes the next bytes of the file, which may be split anywhere.
  void feed(std::string_view bytes);
  // The same for bytes that are all ASCII, known to be so: only the first and the last
  // can stand beside a high byte.
  void feedAscii(std::string_view bytes);

  // Returns how often `byte` has occurred; 0 for an ASCII byte.
  std::uint64_t occurrences(unsigned char byte) const {
    return byte >= 0x80 ? occurrences_[byte - 0x80] : 0;
  }
  // Returns how many of those occurrences have an ASCII letter (A-Z, a-z) right before or
  // right after them (the byte after is counted once it is fed).
  std::uint64_t besideLetter(unsigned char byte) const {
    return byte >= 0x80 ? besideLetter_[byte - 0x80] : 0;
  }
  // Returns how many of them stand between two bytes each an ASCII letter or beyond ASCII.
  std::uint64_t inWord(unsigned char byte) const { return byte >= 0x80 ? inWord_[byte - 0x80] : 0; }

  bool operator==(const CodePageProfile&) const = default;

 private:
  enum class Neighbour : std::uint8_t { kOther, kLetter, kHigh };
  static Neighbour neighbourOf(unsigned char byte);
  // Counts the high byte whose next neighbour was not known yet, where there is one, with
  // `next` after it.
  void close(unsigned char next);

  std::array<std::uint64_t, 128> occurrences_{};
  std::array<std::uint64_t, 128> besideLetter_{};
  std::array<std::uint64_t, 128> inWord_{};
  Neighbour last_ = Neighbour::kOther;        // the last byte fed
  unsigned char open_ = 0;                    // the last byte fed, where it is a high byte
  Neighbour openBefore_ = Neighbour::kOther;  // the byte before that one
};

// A ByteSource that passes on the bytes of another and feeds them to a CodePageProfile.
class CodePageProfileSource : public ByteSource {
 public:
  CodePageProfileSource(ByteSource& source, CodePageProfile& profile)
      : source_(source), profile_(profile) {}
  std::size_t read(char* into, std::size_t capacity) override {
    const std::size_t size = source_.read(into, capacity);
    profile_.feed({into, size});
    return size;
  }

 private:
  ByteSource& source_;
  CodePageProfile& profile_;
};

// An 8-bit code page: its name for iconv, and its name as a person writes it.
struct CodePage {
  std::string_view encoding;
  std::string_view label;
};

// The code pages a guess picks from, in the order that breaks ties. Latin-1 is not among
// them: where it reads a file cleanly, Windows-1252 reads it the same.
inline constexpr std::array<CodePage, 12> kCodePages = {{
    {"windows-1252", "Windows-1252"},
    {"iso-8859-15", "ISO-8859-15"},
    {"windows-1250", "Windows-1250"},
    {"iso-8859-2", "ISO-8859-2"},
    {"windows-1251", "Windows-1251"},
    {"koi8-r", "KOI8-R"},
    {"windows-1253", "Windows-1253"},
    {"windows-1254", "Windows-1254"},
    {"windows-1257", "Windows-1257"},
    {"cp437", "CP437"},
    {"cp850", "CP850"},
    {"macintosh", "Mac OS Roman"},
}};

struct CodePageGuess {
  CodePage codePage;
  std::uint64_t halfPoints = 0;  // its score, counted in halves
};

// Returns the `candidates` that read the profiled file cleanly, likeliest first (ties in
// the order of `candidates`). A code page reads it cleanly where each high byte the file
// holds decodes, alone, to graphic characters only: letters, marks, numbers, punctuation,
// symbols and space separators. Its score adds, for each high byte held n times, a of
// them beside an ASCII letter and w inside a word, by the first character it reads as,
// in points:
//   (n + a + w) / 2 for a Latin letter (U+00C0 to U+024F, U+1E00 to U+1EFF), which mostly
//     sits in words of ASCII letters, but may stand alone ("à");
//   n - a + w / 2 for another letter, whose words are all beyond ASCII, and half of n - a
//     for a capital, which text holds fewer of (Russian in KOI8-R, read as Windows-1251,
//     is mostly capitals);
//   (n + a) / 2 - w for punctuation or a symbol, such as curly quotes, dashes and the
//     euro sign, which stand beside a word as letters do, but not inside one;
//   nothing for arrows, mathematical operators, box-drawing lines, blocks and shapes
//     (U+2190 to U+23FF, U+2500 to U+25FF), which no name holds, nor for the rest.
// So the Latin reading of a word all beyond ASCII, as Cyrillic in Windows-1251 is, loses;
// curly quotes beside letters tie with letters, and the order of the candidates puts
// Windows-1252 first. A candidate iconv does not know is left out. Where the file holds no
// high byte, every other reads it cleanly, with a score of 0.
std::vector<CodePageGuess> guessCodePages(const CodePageProfile& profile,
                                          std::span<const CodePage> candidates = kCodePages);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_CODE_PAGE_H_
