#include "pipeline/utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace tagtree {
namespace {

TEST(Utf8, ValidPrefixStopsAtTheFirstIllFormedSequence) {
  struct Case {
    std::string bytes;
    std::size_t validPrefix;
  };
  const Case cases[] = {
      {"", 0},
      {"plain ascii text, longer than eight bytes", 41},
      {std::string("nul\0inside", 10), 10},
      {"\xC2\x80", 2},          // U+0080
      {"\xDF\xBF", 2},          // U+07FF
      {"\xE0\xA0\x80", 3},      // U+0800
      {"\xED\x9F\xBF", 3},      // U+D7FF
      {"\xEE\x80\x80", 3},      // U+E000
      {"\xEF\xBF\xBF", 3},      // U+FFFF
      {"\xF0\x90\x80\x80", 4},  // U+10000
      {"\xF4\x8F\xBF\xBF", 4},  // U+10FFFF
      {"cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
       "e",
       15},
      {"ab\xFF"
       "c",
       2},           // never-used byte
      {"a\x80", 1},  // stray continuation
      {"a\xBF"
       "b",
       1},
      {"a\xC0\x80", 1},          // overlong NUL
      {"a\xC1\xBF", 1},          // overlong 2-byte
      {"a\xE0\x9F\xBF", 1},      // overlong 3-byte
      {"a\xF0\x8F\xBF\xBF", 1},  // overlong 4-byte
      {"a\xED\xA0\x80", 1},      // U+D800, a surrogate
      {"a\xED\xBF\xBF", 1},      // U+DFFF
      {"a\xF4\x90\x80\x80", 1},  // U+110000
      {"a\xF5\x80\x80\x80", 1},
      {"a\xC3", 1},  // cut short by the end
      {"a\xE2\x82", 1},
      {"a\xF0\x9F\x98", 1},
      {"a\xE2\x82z", 1},  // cut short by an ASCII byte
      {"a\xC3\xC3\xA9", 1},
      {"12345678\xC3\xA9\xFF", 10},  // after a fast ASCII chunk
      {"1234567\xC3\xA9"
       "12345678\x80",
       17},
  };
  for (const Case& c : cases) {
    // Each name is checked in a heap block of exactly its size, so that a read past its
    // end, by the eight-byte step or a sequence cut short, fails the sanitizer build (a
    // std::string's spare capacity would hide it). Every prefix is checked too: each
    // ends at a different place relative to the eight-byte steps.
    for (std::size_t size = 0; size <= c.bytes.size(); ++size) {
      const auto exact = std::make_unique<char[]>(size);
      std::copy_n(c.bytes.data(), size, exact.get());
      const std::size_t valid = validUtf8Prefix(std::string_view(exact.get(), size));
      if (size == c.bytes.size()) {
        EXPECT_EQ(valid, c.validPrefix) << "bytes: " << c.bytes;
      }
      EXPECT_LE(valid, size);
    }
  }
}

}  // namespace
}  // namespace tagtree
