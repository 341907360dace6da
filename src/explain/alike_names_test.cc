// Which names are alike, and how they are grouped: pairs alike or not in every way a name
// can differ, and groups in slot order among many names.
#include "explain/alike_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tagtree::explain {
namespace {

using Groups = std::vector<std::vector<std::uint32_t>>;

Groups alike(const std::vector<std::string>& names) {
  NameTable table;
  for (const std::string& name : names) table.add(name);
  return findAlikeNames(table);
}

// Returns `marks` repeated `times` times.
std::string repeated(const std::string& marks, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += marks;
  return text;
}

TEST(AlikeNames, PairsAlikeButForCaseCompatibilityFormOrEndSpace) {
  const std::string acute = "\xCC\x81";  // U+0301, combining class 230
  const std::string grave = "\xCC\x96";  // U+0316, combining class 220
  struct Case {
    std::string a;
    std::string b;
    bool alike;
  };
  const Case cases[] = {
      {"news", "NEWS", true},
      {"Zebra\xFF", "zebra\xFF", true},  // not UTF-8: ASCII case alone
      {"news", "\tNews \r", true},
      {"news", "n ews", false},
      {"\xC3\x89t\xC3\xA9", "\xC3\xA9t\xC3\xA9", true},  // Été, été
      {"\xC3\x96l", "\xC3\xB6l", true},                  // Öl, öl
      {"r\xC3\xA9sum\xC3\xA9", "resume", false},
      {"travel", "travel\xC2\xA0", true},                  // a no-break space at the end
      {"travel", "\xE3\x80\x80Travel\xE2\x80\x80", true},  // U+3000 and U+2000
      {"travel", "travel\xE2\x80\x8A", true},              // U+200A, the last of a range
      {"travel", "\xEF\xBB\xBFtravel", false},             // a byte-order mark is no space
      {"travel", "travel\xE2\x80\x8B", false},             // nor a zero-width space
      {"stra\xC3\x9F"
       "e",
       "STRASSE", true},                 // full case folding: ß is ss
      {"\xEF\xAC\x81sh", "FISH", true},  // the ligature ﬁ
      {"\xEF\xBC\xB4"
       "ag",
       "tag", true},                                     // a full-width T
      {"e" + acute + "t", "\xC3\x89T", true},            // composed
      {"a" + grave + acute, "A" + acute + grave, true},  // marks in canonical order
      {"i", "\xC4\xB1", false},                          // dotless i
      {"caf\xC3\xA9", "caf\xE9", false},
      // Not UTF-8: ASCII spaces at the ends and ASCII case alone.
      {"Caf\xE9", " caf\xE9  ", true},
      {"x\xFF", "x\xFF\t", false},
      {"x\xFF", "x\xFF\xC2\xA0", false},
      {"\xC3\x89\xFF", "\xC3\xA9\xFF", false},
      // White space alone, or nothing, is alike to nothing.
      {" ", "  ", false},
      {" ", "\xC2\xA0", false},
      {"", " ", false},
      {"\t", "\xE3\x80\x80", false},
      // Marks beyond 30 in a row are put in order 30 at a time, so that ordering them
      // takes linear time.
      {"a" + repeated(acute + grave, 15), "A" + repeated(grave + acute, 15), true},
      {"a" + repeated(acute, 30) + grave, "A" + grave + repeated(acute, 30), false},
      {"a" + repeated(acute + grave, 1000), "A" + repeated(acute + grave, 1000), true},
      // A character's own marks count: é is e and an acute accent.
      {"\xC3\xA9" + repeated(acute, 29) + grave, "E" + repeated(acute, 30) + grave, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.a + " | " + c.b);
    EXPECT_EQ(alike({c.a, c.b}), (c.alike ? Groups{{0, 1}} : Groups{}));
    EXPECT_EQ(alike({c.b, c.a}), (c.alike ? Groups{{0, 1}} : Groups{}));
  }
}

TEST(AlikeNames, GroupsInSlotOrderOfTwoOrMore) {
  EXPECT_EQ(alike({}), Groups{});
  EXPECT_EQ(alike({"b", "\xC3\x89t\xC3\xA9", "x", "B ", "a", " ", "\xC3\xA9T\xC3\xA9", "b\xC2\xA0",
                   "\xC2\xA0", "A"}),
            (Groups{{0, 3, 7}, {1, 6}, {4, 9}}));
  // Keys that are names of the table, one of them not its own key: folding "\xC2\xA8a" (a
  // diaeresis, then a) gives " \xCC\x88a", a space and a combining mark, which is a tag
  // here whose own key drops the space, and is "\xCC\x88a".
  EXPECT_EQ(alike({" \xCC\x88"
                   "a",
                   "\xC2\xA8"
                   "a",
                   "\xC2\xA8"
                   "A",
                   "Tag", "tag", "TAG",
                   "\xCC\x88"
                   "a"}),
            (Groups{{0, 6}, {1, 2}, {3, 4, 5}}));
}

TEST(AlikeNames, GroupsAmongManyNames) {
  // Pairs of each kind, ASCII, other UTF-8 and not UTF-8, among names alike to none.
  constexpr int kPairs = 3000;
  const std::string pairs[][2] = {
      {"Tag", "tag "}, {"\xC3\x89t\xC3\xA9", "\xC3\xA9t\xC3\xA9"}, {"X\xFF", "x\xFF"}};
  std::vector<std::string> names;
  Groups expected;
  for (int i = 0; i < kPairs; ++i) {
    const auto& pair = pairs[i % 3];
    const std::string number = std::to_string(i);
    names.push_back("lone" + number);
    names.push_back(number + pair[0]);
    expected.push_back({static_cast<std::uint32_t>(names.size() - 1)});
  }
  for (int i = 0; i < kPairs; ++i) {
    expected[static_cast<std::size_t>(i)].push_back(static_cast<std::uint32_t>(names.size()));
    names.push_back(std::to_string(i) + pairs[i % 3][1]);
  }
  EXPECT_EQ(alike(names), expected);
}

}  // namespace
}  // namespace tagtree::explain
