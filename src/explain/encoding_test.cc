// What a file's bytes are, fed whole, a byte at a time and in pieces of every size, so
// that a sequence cut by a piece's end and the eight-byte step meet every offset.
#include "explain/encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "explain/shown_name.h"
#include "messy_file.h"

namespace tagtree::explain {
namespace {

using namespace std::string_literals;
using messy::utf16;

TEST(EncodingReading, DecidesFromAllTheBytes) {
  constexpr auto kUtf8 = TextEncoding::kUtf8;
  constexpr auto kLe = TextEncoding::kUtf16Le;
  constexpr auto kBe = TextEncoding::kUtf16Be;
  constexpr auto kCodePage = TextEncoding::kCodePage;
  struct Case {
    const char* what;
    std::string bytes;
    TextEncoding encoding;
    Utf16Flaw notUtf16 = Utf16Flaw::kNone;
    std::uint64_t marks = 0;
    std::uint64_t firstNotUtf8 = UINT64_MAX;  // the size where there is none
    std::uint64_t firstBeyondAscii = UINT64_MAX;
  };
  const Case cases[] = {
      {"nothing", "", kUtf8},
      {"ASCII", "news; sport\nnews\n", kUtf8},
      {"UTF-8 beyond ASCII, past eight bytes", "twelve bytes caf\xC3\xA9\n", kUtf8,
       Utf16Flaw::kNone, 0, UINT64_MAX, 16},
      {"two marks, then UTF-8",
       "\xEF\xBB\xBF\xEF\xBB\xBF"
       "caf\xC3\xA9",
       kUtf8, Utf16Flaw::kNone, 2, UINT64_MAX, 9},
      {"a mark after text is text", "a\xEF\xBB\xBF", kUtf8, Utf16Flaw::kNone, 0, UINT64_MAX, 1},
      // A UTF-16 mark settles the order; what follows need hold no ASCII, nor end in a
      // line end: "旅行；海滩".
      {"UTF-16LE with a mark and no ASCII", "\xFF\xFE\xC5\x65\x4C\x88\x1B\xFF\x77\x6D\xE9\x6E"s,
       kLe, Utf16Flaw::kNone, 0, 0},
      {"UTF-16BE with a mark and no ASCII", "\xFE\xFF\x65\xC5\x88\x4C\xFF\x1B\x6D\x77\x6E\xE9"s,
       kBe, Utf16Flaw::kNone, 0, 0, 3},  // C5 88 reads as UTF-8 ň
      // č is 0D 01 in UTF-16LE: a CR byte, and all bytes below 0x80, so the file reads as
      // UTF-8 too; its NUL bytes say UTF-16. ญ is 0D 0E; 上 is 0A 4E.
      {"UTF-16LE of ASCII and č", utf16("a; č\nx\n", false, false), kLe},
      {"UTF-16BE of ญ and 上", utf16("ญ; 上\nx\n", true, false), kBe},
      {"UTF-16LE of Latin-1 letters: not UTF-8",
       utf16("café; crème\n", false, false),
       kLe,
       {},
       0,
       6},
      // UTF-8 with a stray NUL: it reads as UTF-8, and few of its bytes are NUL.
      {"UTF-8 with a stray NUL", "news; spo\0rts; x\n; y"s, kUtf8, Utf16Flaw::kUtf8Text},
      {"UTF-8 with a stray NUL, odd", "news!\0\n"s, kUtf8, Utf16Flaw::kOddLength},
      {"NUL characters", "\0\0\0\0"s, kUtf8, Utf16Flaw::kNoOrder},
      // Not UTF-8 and a NUL, too few for UTF-16.
      {"Latin-1 with a stray NUL", "caf\xE9; cr\xE8me; na\xEFve; \0ok; more; text; heres"s,
       TextEncoding::kUnknown, Utf16Flaw::kTooFewNuls, 0, 3},
      {"UTF-16 with a lone surrogate", "a\0b\0\x00\xD8"s, TextEncoding::kUnknown,
       Utf16Flaw::kLoneSurrogate, 0, 5},
      {"a mark of UTF-16, then an odd length",
       "\xFF\xFE"
       "abc",
       kCodePage, Utf16Flaw::kOddLength, 0, 0},
      {"Latin-1", "caf\xE9\n\x93pie\x94\n", kCodePage, Utf16Flaw::kNone, 0, 3},
      {"a UTF-8 mark, then Latin-1",
       "\xEF\xBB\xBF"
       "caf\xE9",
       kCodePage, Utf16Flaw::kNone, 1, 6},
      {"Latin-1 and UTF-8", "M\xC3\xBCnchen; caf\xE9", TextEncoding::kMixed, Utf16Flaw::kNone, 0,
       13, 1},
      // Ill-formed sequences: an overlong form, a surrogate, one cut short by the end.
      {"an overlong form", "ab\xC0\xAF", kCodePage, Utf16Flaw::kNone, 0, 2},
      {"a surrogate", "\xED\xA0\x80z", kCodePage, Utf16Flaw::kNone, 0, 0},
      {"a sequence cut short at the end", "twelve bytes\xE2\x82", kCodePage, Utf16Flaw::kNone, 0,
       12},
      {"a lead byte, then ASCII",
       "\xE2"
       "abc\xC3\xA9",
       TextEncoding::kMixed,
       {},
       0,
       0,
       4},
  };
  for (const Case& c : cases) {
    for (std::size_t piece = 1; piece <= c.bytes.size() + 1; ++piece) {
      SCOPED_TRACE(std::string(c.what) + ": " + shownName(c.bytes) + " in pieces of " +
                   std::to_string(piece));
      EncodingReading reading;
      for (std::size_t at = 0; at < c.bytes.size(); at += piece)
        reading.feed(std::string_view(c.bytes).substr(at, piece));
      const EncodingDecision decision = reading.decide();
      EXPECT_EQ(decision.encoding, c.encoding);
      EXPECT_EQ(decision.notUtf16, c.notUtf16);
      EXPECT_EQ(decision.utf8Marks, c.marks);
      EXPECT_EQ(decision.firstNotUtf8, std::min<std::uint64_t>(c.firstNotUtf8, c.bytes.size()));
      EXPECT_EQ(decision.firstBeyondAscii,
                std::min<std::uint64_t>(c.firstBeyondAscii, c.bytes.size()));
      if (piece > 64) break;  // the pieces past the eight-byte step add nothing
    }
  }
}

}  // namespace
}  // namespace tagtree::explain
