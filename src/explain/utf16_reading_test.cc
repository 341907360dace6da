// Whether bytes decode as UTF-16 of each byte order, fed whole, a byte at a time and in
// pieces of every size, so that the eight-byte step meets every offset and piece end.
#include "explain/utf16_reading.h"

#include <gtest/gtest.h>

#include <string>

#include "explain/shown_name.h"
#include "messy_file.h"

namespace tagtree::explain {
namespace {

using namespace std::string_literals;
using messy::utf16;

TEST(Utf16Reading, TellsEachByteOrderApart) {
  constexpr auto kNone = Utf16Mark::kNone;
  constexpr auto kLittle = Utf16Mark::kLittleEndian;
  constexpr auto kBig = Utf16Mark::kBigEndian;
  struct Case {
    std::string bytes;
    Utf16Flaw little, big;
    Utf16Mark order;  // the one its NUL bytes suggest
    Utf16Mark mark = Utf16Mark::kNone;
  };
  const std::string text = "music; rock\nmusic; jazz and more than eight bytes\n";
  const Case cases[] = {
      {"", Utf16Flaw::kNone, Utf16Flaw::kNone, kNone},
      // Little-endian text read as big-endian decodes too; big-endian text read as
      // little-endian ends in an LF beside a letter, which UTF-16 never ends in.
      {utf16(text, false, false), Utf16Flaw::kNone, Utf16Flaw::kNone, kLittle},
      {utf16(text, true, false), Utf16Flaw::kLastLineEnd, Utf16Flaw::kNone, kBig},
      {utf16(text, false, true), Utf16Flaw::kNone, Utf16Flaw::kNone, kLittle, kLittle},
      {utf16(text, true, true), Utf16Flaw::kLastLineEnd, Utf16Flaw::kNone, kBig, kBig},
      // U+4E00 has a NUL byte too, and U+4E0A an LF byte; U+1F3B5 is a surrogate pair.
      {utf16("上海 一 and 🎵 and more text\n", false, false), Utf16Flaw::kNone, Utf16Flaw::kNone,
       kLittle},
      {utf16("🎵 and more text 上\n", true, false), Utf16Flaw::kLastLineEnd, Utf16Flaw::kNone, kBig},
      // Ending in U+4E0A with no line end, it ends in an LF byte beside a byte of text: it
      // is taken for none, which only keeps a conversion from being offered.
      {utf16("more text 上", true, false), Utf16Flaw::kLastLineEnd, Utf16Flaw::kLastLineEnd, kBig},
      {"\0\0"s, Utf16Flaw::kStrayNul, Utf16Flaw::kStrayNul, kNone},
      // A lead surrogate before eight bytes of text, after them, or at the end; a trail alone.
      {"\x00\xD8"
       "abcdefgh"s,
       Utf16Flaw::kLoneSurrogate, Utf16Flaw::kNone, kBig},
      {"abcdefgh\x00\xD8"s, Utf16Flaw::kLoneSurrogate, Utf16Flaw::kNone, kBig},
      {"ab\x00\xDC"s, Utf16Flaw::kLoneSurrogate, Utf16Flaw::kNone, kBig},
      {"\xD8\x01"
       "abcdefgh"s,
       Utf16Flaw::kNone, Utf16Flaw::kLoneSurrogate, kNone},
      // UTF-8 text with a stray NUL decodes, but for a final LF beside a letter, which
      // UTF-16 never ends in. Right before the final LF, the NUL makes it decode as
      // big-endian: what the file's tags say must settle that.
      {"ab\0cd\n"s, Utf16Flaw::kLastLineEnd, Utf16Flaw::kLastLineEnd, kBig},
      {"news; sports\0\n"s, Utf16Flaw::kLastLineEnd, Utf16Flaw::kNone, kBig},
      {"abc", Utf16Flaw::kOddLength, Utf16Flaw::kOddLength, kNone},
      // UTF-8 text, or any without a NUL or a mark in its first 4,096 bytes, is read no
      // further; a mark or a NUL there keeps the reading going.
      {std::string(4096, 'a') + "b\0"s, Utf16Flaw::kNoNulAtStart, Utf16Flaw::kNoNulAtStart, kNone},
      {std::string(4095, 'a') + "\0"s + std::string(4096, 'a'), Utf16Flaw::kNone, Utf16Flaw::kNone,
       kLittle},
      {"\xFF\xFE"
       "a"s,
       Utf16Flaw::kOddLength, Utf16Flaw::kOddLength, kNone, kLittle},
      // Half a mark of either order is none.
      {"a\xFF"s, Utf16Flaw::kNone, Utf16Flaw::kNone, kNone},
      {"\xFE"
       "a"s,
       Utf16Flaw::kNone, Utf16Flaw::kNone, kNone},
  };
  for (const Case& c : cases) {
    for (std::size_t piece = 1; piece <= c.bytes.size() + 1; ++piece) {
      SCOPED_TRACE(shownName(c.bytes) + " in pieces of " + std::to_string(piece));
      Utf16Reading reading;
      for (std::size_t at = 0; at < c.bytes.size(); at += piece)
        reading.feed(std::string_view(c.bytes).substr(at, piece));
      EXPECT_EQ(reading.littleEndian(), c.little);
      EXPECT_EQ(reading.bigEndian(), c.big);
      EXPECT_EQ(reading.likelyOrder(), c.order);
      EXPECT_EQ(reading.mark(), c.mark);
    }
  }
}

}  // namespace
}  // namespace tagtree::explain
