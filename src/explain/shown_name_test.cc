#include "explain/shown_name.h"

#include <gtest/gtest.h>

#include <string>

namespace tagtree::explain {
namespace {

using namespace std::string_literals;

TEST(ShownName, ShowsEveryByteThatMatters) {
  struct Case {
    std::string name;
    std::string shown;
  };
  const Case cases[] = {
      {"news", "news"},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"},  // good UTF-8 as it is
      {" news", "\" news\""},
      {"news ", "\"news \""},
      {"a b", "a b"},
      {"caf\xE9", "caf\\xE9"},                          // Latin-1
      {"\xEF\xBB\xBFtravel", "\\xEF\\xBB\\xBFtravel"},  // a byte-order mark
      {"a\0b"s, "a\\x00b"},
      {"tab\there\x7F", "tab\\x09here\\x7F"},
      {"\xC2\x85next", "\\xC2\\x85next"},  // a C1 control
      {"no\xC2\xA0"
       "break",
       "no\\xC2\\xA0break"},                                  // U+00A0, alike to a space
      {"\xC2\xA9x", "\xC2\xA9x"},                             // U+00A9, seen as it is
      {"zero\xE2\x80\x8Bwidth", "zero\\xE2\\x80\\x8Bwidth"},  // U+200B
      {"\xE2\x82", "\\xE2\\x82"},                             // cut short
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},                    // a surrogate
      {"back\\slash", "back\\slash"},
      // Cut in the middle, at a character's start, with its size; not at 80 bytes.
      {std::string(80, 'n'), std::string(80, 'n')},
      {std::string(39, 'a') + "\xC3\xA9" + std::string(60, 'b') + "z",
       std::string(39, 'a') + "..." + std::string(19, 'b') + "z (102 bytes)"},
      {std::string(40, 'a') + "\xC3\xA9" + std::string(60, 'b'),
       std::string(40, 'a') + "..." + std::string(20, 'b') + " (102 bytes)"},
      {std::string(70, 'a') + "\xC3\xA9" + std::string(19, 'b'),
       std::string(40, 'a') + "...\xC3\xA9" + std::string(19, 'b') + " (91 bytes)"},
      {" " + std::string(100, 'n'),
       "\" " + std::string(39, 'n') + "..." + std::string(20, 'n') + "\" (101 bytes)"},
  };
  for (const Case& c : cases) EXPECT_EQ(shownName(c.name), c.shown) << c.shown;
}

TEST(ShownName, PathsQuoteWholeWhereANameHasAnEndSpace) {
  EXPECT_EQ(shownPath("news"), "/news");
  EXPECT_EQ(shownPath("news", "local"), "/news/local");
  EXPECT_EQ(shownPath("news", "local "), "\"/news/local \"");
  EXPECT_EQ(shownPath(" news"), "\"/ news\"");
  EXPECT_EQ(shownPath("caf\xE9", "x"), "/caf\\xE9/x");
}

TEST(ShownName, GroupsDigitsInThrees) {
  EXPECT_EQ(grouped(0), "0");
  EXPECT_EQ(grouped(999), "999");
  EXPECT_EQ(grouped(1000), "1,000");
  EXPECT_EQ(grouped(1234567), "1,234,567");
  EXPECT_EQ(grouped(18446744073709551615ULL), "18,446,744,073,709,551,615");
}

}  // namespace
}  // namespace tagtree::explain
