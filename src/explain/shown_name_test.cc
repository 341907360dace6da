#include "explain/shown_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
      {"back\\slash", "back\\\\slash"},                       // not the escape \\s
      {"caf\\xE9", "caf\\\\xE9"},
      {"a \"b\" c", "a \"b\" c"},
      {"\"hi\"", "\"\\\"hi\\\"\""},  // read as hi where shown bare
      {" \\\"", "\" \\\\\\\"\""},
      // White space other than U+0020, wherever it is: so only U+0020 at an end is quoted.
      {"travel\xE2\x80\x8A", "travel\\xE2\\x80\\x8A"},                     // U+200A
      {"a\xE3\x80\x80z\xE1\x9A\x80", "a\\xE3\\x80\\x80z\\xE1\\x9A\\x80"},  // U+3000, U+1680
      {"\xE2\x80\xAFn\xE2\x81\x9F", "\\xE2\\x80\\xAFn\\xE2\\x81\\x9F"},    // U+202F, U+205F
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

TEST(ShownName, QuotedAlwaysForListsAndProse) {
  EXPECT_EQ(quotedName("news"), "\"news\"");
  EXPECT_EQ(quotedName("b, c"), "\"b, c\"");
  EXPECT_EQ(quotedName(""), "\"\"");
  EXPECT_EQ(quotedName("say \"hi\\\""), "\"say \\\"hi\\\\\\\"\"");
  EXPECT_EQ(quotedName(std::string(100, 'n')),
            "\"" + std::string(40, 'n') + "..." + std::string(20, 'n') + "\" (100 bytes)");
}

// A name of a's, `middle` at byte `at`, then 112 - `at` b's: 113 bytes with "X".
std::string longName(std::size_t at = 60, const char* middle = "X") {
  return std::string(at, 'a') + middle + std::string(112 - at, 'b');
}

TEST(ShownName, CutAroundTheBytesThatMustShow) {
  const std::string a40 = std::string(40, 'a'),
                    tail = "..." + std::string(20, 'b') + " (113 bytes)";
  const std::string plain = shownName(longName());
  struct Case {
    std::string name;
    ByteRange visible;
    std::string shown;
  };
  const Case cases[] = {
      {longName(), {60, 61}, a40 + "..." + std::string(8, 'a') + "X" + std::string(8, 'b') + tail},
      {longName(), {10, 20}, plain},    // in the part shown anyway
      {longName(), {200, 300}, plain},  // past the end
      {longName(52),
       {52, 53},
       a40 + "..." + std::string(8, 'a') + "X" + std::string(8, 'b') + tail},
      {longName(51), {51, 52}, a40 + std::string(11, 'a') + "X" + std::string(8, 'b') + tail},
      {longName(85),
       {85, 86},
       a40 + "..." + std::string(8, 'a') + "X" + std::string(27, 'b') + " (113 bytes)"},
      // Whole characters: the 2-byte é at 48 and at 65 is cut neither at its start nor end.
      {longName(48,
                "\xC3\xA9"
                "0123456789abcde\xC3\xA9"),
       {57, 58},
       a40 +
           "...\xC3\xA9"
           "0123456789abcde\xC3\xA9..." +
           std::string(20, 'b') + " (131 bytes)"},
  };
  for (const Case& c : cases) EXPECT_EQ(shownName(c.name, c.visible), c.shown) << c.shown;
  EXPECT_EQ(shownName(longName(), {60, 61}, Quotes::kAlways),
            "\"" + a40 + "..." + std::string(8, 'a') + "X" + std::string(8, 'b') + "..." +
                std::string(20, 'b') + "\" (113 bytes)");
}

TEST(ShownName, NamesApartShowWhereTheyDiffer) {
  const std::string tail = "..." + std::string(20, 'b') + " (113 bytes)";
  const auto apart = [](const std::vector<std::string>& names, Quotes quotes) {
    const std::vector<std::string_view> views(names.begin(), names.end());
    return shownNamesApart(views, quotes);
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(apart({"Travel", "travel ", "Travel"}, Quotes::kWhereNeeded),
            (Names{"Travel", "\"travel \"", "Travel"}));
  EXPECT_EQ(apart({"a, b", "c"}, Quotes::kAlways), (Names{"\"a, b\"", "\"c\""}));
  const std::string a48 = std::string(40, 'a') + "..." + std::string(8, 'a');
  EXPECT_EQ(
      apart({longName(60, "X"), longName(60, "x")}, Quotes::kWhereNeeded),
      (Names{a48 + "X" + std::string(8, 'b') + tail, a48 + "x" + std::string(8, 'b') + tail}));
  // The first and second differ at byte 60, the third from both at byte 50.
  const std::string q = std::string(50, 'a') + "Q" + std::string(9, 'a');
  const std::string b52(52, 'b');
  const Names three =
      apart({q + "X" + b52, q + "Y" + b52, std::string(50, 'a') + "q" + b52}, Quotes::kWhereNeeded);
  EXPECT_EQ(three[1], q + "Y" + std::string(8, 'b') + tail);
  // A short name that reads as a long one cut: both are shown whole.
  const std::string p = "0123456789ABCD", cut = p + p.substr(0, 8) + "ZW";
  const std::string longOne = std::string(40, 'a') + "..." + p + cut;  // 81 bytes
  const std::string shortOne = std::string(40, 'a') + "..." + cut + " (81 bytes)";
  ASSERT_EQ(shownName(longOne, {65, 66}), shortOne);
  EXPECT_EQ(apart({shortOne, longOne}, Quotes::kWhereNeeded),
            (Names{shortOne, longOne + " (81 bytes)"}));
}

TEST(ShownName, PathsQuoteWholeWhereANameHasAnEndSpace) {
  EXPECT_EQ(shownPath("news"), "/news");
  EXPECT_EQ(shownPath("news", "local"), "/news/local");
  EXPECT_EQ(shownPath("news", "local "), "\"/news/local \"");
  EXPECT_EQ(shownPath(" news"), "\"/ news\"");
  EXPECT_EQ(shownPath("caf\xE9", "x"), "/caf\\xE9/x");
  EXPECT_EQ(shownPath("a\"", "\\"), "/a\"/\\\\");
  EXPECT_EQ(shownPath("a\"", "\\ "), "\"/a\\\"/\\\\ \"");
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
