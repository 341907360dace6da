#include "explain/shown_name.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
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
      {"trav\xC2\xAD"
       "el\xE2\x81\xA6",
       "trav\\xC2\\xADel\\xE2\\x81\\xA6"},  // a soft hyphen, U+2066
      {"\xE2\x82", "\\xE2\\x82"},           // cut short
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},  // a surrogate
      {"back\\slash", "back\\\\slash"},     // not the escape \\s
      {"caf\\xE9", "caf\\\\xE9"},
      {"a \"b\" c", "a \"b\" c"},
      {"\"hi\"", "\"\\\"hi\\\"\""},  // read as hi where shown bare
      {" \\\"", "\" \\\\\\\"\""},
      // White space other than U+0020, wherever it is: so only U+0020 at an end is quoted.
      {"travel\xE2\x80\x8A", "travel\\xE2\\x80\\x8A"},                     // U+200A
      {"a\xE3\x80\x80z\xE1\x9A\x80", "a\\xE3\\x80\\x80z\\xE1\\x9A\\x80"},  // U+3000, U+1680
      {"\xE2\x80\xAFn\xE2\x81\x9F", "\\xE2\\x80\\xAFn\\xE2\\x81\\x9F"},    // U+202F, U+205F
      // Where NFC would change a name, what it would change.
      {"cafe\xCC\x81", "cafe\\xCC\\x81"},                           // the acute of an e
      {"q\xCC\x81", "q\xCC\x81"},                                   // no q with an acute: as it is
      {"\xE2\x84\xAA", "\\xE2\\x84\\xAA"},                          // U+212A KELVIN SIGN, K
      {"a\xCD\xBE", "a\\xCD\\xBE"},                                 // U+037E, a semicolon
      {"\xC3\xA9\xCC\x81", "\xC3\xA9\xCC\x81"},                     // é and an acute, which stays
      {"e\xCC\x81\xCC\x81", "e\\xCC\\x81\\xCC\\x81"},               // the same, decomposed
      {"x\xCC\x96\xCC\x81", "x\xCC\x96\xCC\x81"},                   // marks in order
      {"x\xCC\x81\xCC\xB4", "x\\xCC\\x81\\xCC\\xB4"},               // and not (U+0334, class 1)
      {"\xEA\xB0\x80\xE1\x86\xA8", "\xEA\xB0\x80\\xE1\\x86\\xA8"},  // 가 and a final jamo
      {"\xE1\x84\x80\xE1\x85\xA1-", "\xE1\x84\x80\\xE1\\x85\\xA1-"},  // two jamo, 가
      {"\xE1\x84\x80-\xE1\x85\xA1", "\xE1\x84\x80-\xE1\x85\xA1"},
      {"\xE2\x80\x80", "\\xE2\\x80\\x80"},  // U+2000, space and singleton
      // A mark after an escape is escaped too, or at the start, or where a cut name goes
      // on: it would be drawn on what is not its own.
      {"\xCC\x81q\xCC\x88", "\\xCC\\x81q\xCC\x88"},  // a q with a diaeresis: as it is
      {"\xC2\xA0\xCC\x80", "\\xC2\\xA0\\xCC\\x80"},  // U+0300, the first mark
      {"\xFF\xCC\x88\xCC\x88q\xCC\x88", "\\xFF\\xCC\\x88\\xCC\\x88q\xCC\x88"},
      {"e\xFF\xCC\x81", "e\\xFF\\xCC\\x81"},
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
      {std::string(70, 'n') + "\xCC\x88" + std::string(18, 'n'),
       std::string(40, 'n') + "...\\xCC\\x88" + std::string(18, 'n') + " (90 bytes)"},
      {"e\xCC\x81" + std::string(100, 'n') + "e\xCC\x81", "e\\xCC\\x81" + std::string(37, 'n') +
                                                              "..." + std::string(17, 'n') +
                                                              "e\\xCC\\x81 (106 bytes)"},
  };
  for (const Case& c : cases) EXPECT_EQ(shownName(c.name), c.shown) << c.shown;
}

// Returns the bytes that `text`, a name as shown, without its quotes or size, stands for.
std::string readBack(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
    } else if (text[++i] == 'x') {
      bytes += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

// Names made of pieces that NFC changes, white space, marks and escapes: each shown text
// reads back as its name, holds no character a person cannot see, and is in NFC, so that
// no two texts are canonically equivalent, which is what looks the same means.
TEST(ShownName, ReadsBackAndLooksLikeNoOtherName) {
  // Letters, a Kelvin sign, marks, é, white space, a zero-width space, a tab, a byte not
  // UTF-8, Hangul jamo and a syllable, and Oriya vowel signs e, aa and o.
  const std::string_view list =
      "e|q|A|K|\xE2\x84\xAA|\xCC\x81|\xCC\x96|\xCC\x88|\xC3\xA9| |\xC2\xA0|\xE2\x80\x8A|"
      "\xE3\x80\x80|\xE2\x80\x8B|\t|\xFF|\\|\"|.|\xE1\x84\x80|\xE1\x85\xA1|\xE1\x86\xA8|"
      "\xEA\xB0\x80|\xE0\xAD\x87|\xE0\xAC\xBE|\xE0\xAD\x8B";
  std::vector<std::string> pieces;
  for (std::size_t from = 0, to; from <= list.size(); from = to + 1) {
    to = std::min(list.find('|', from), list.size());
    pieces.emplace_back(list.substr(from, to - from));
  }
  std::mt19937 rng(28);
  for (int n = 0; n < 20'000; ++n) {
    std::string name;
    for (auto k = rng() % 8; k-- > 0;) name += pieces[rng() % pieces.size()];
    const std::string shown = quotedName(name);
    SCOPED_TRACE(shown);
    ASSERT_EQ(readBack(shown.substr(1, shown.size() - 2)), name);
    const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> nfc(
        utf8proc_NFC(reinterpret_cast<const utf8proc_uint8_t*>(shown.c_str())), &std::free);
    ASSERT_NE(nfc, nullptr);
    EXPECT_EQ(reinterpret_cast<const char*>(nfc.get()), shown);
    for (std::size_t at = 0, length = 0; at < shown.size(); at += length) {
      const char32_t code = decodeAt(std::string_view(shown).substr(at), length);
      const auto category = utf8proc_category(static_cast<utf8proc_int32_t>(code));
      EXPECT_TRUE(code == ' ' ||
                  (category != UTF8PROC_CATEGORY_CC && category != UTF8PROC_CATEGORY_CF &&
                   category != UTF8PROC_CATEGORY_ZS));
    }
  }
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

// A table's names and how they are shown.
struct Table {
  explicit Table(const std::vector<std::string>& list) {
    for (const std::string& name : list) names.add(name);
    shown.emplace(names);
  }
  NameTable names;
  std::optional<ShownNames> shown;
};

const std::string a40(40, 'a'), a20(20, 'a');

TEST(ShownNames, CutAroundTheBytesThatMustShow) {
  const std::string a40 = std::string(40, 'a'),
                    tail = "..." + std::string(20, 'b') + " (113 bytes)";
  const std::string plain = shownName(longName());
  // The bytes asked for, of a name alone in its table.
  const auto shownWith = [](const std::string& name, ByteRange visible, Quotes quotes) {
    const Table table({name});
    return table.shown->name(0, quotes, {&visible, 1});
  };
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
      {"\x80" + longName().substr(1), {2, 3}, "\\x80" + std::string(39, 'a') + tail},  // at 0
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
  for (const Case& c : cases) {
    EXPECT_EQ(shownWith(c.name, c.visible, Quotes::kWhereNeeded), c.shown) << c.shown;
  }
  EXPECT_EQ(shownWith(longName(), {60, 61}, Quotes::kAlways),
            "\"" + a40 + "..." + std::string(8, 'a') + "X" + std::string(8, 'b') + "..." +
                std::string(20, 'b') + "\" (113 bytes)");
}

TEST(ShownNames, ShowNoTwoNamesOfATableAlike) {
  const std::string b20(20, 'b'), x = std::string(100, 'a') + "X" + std::string(100, 'b');
  const std::string y = std::string(100, 'a') + "Y" + std::string(100, 'b');
  const std::string near = a40 + "..." + std::string(8, 'a');
  using Names = std::vector<std::string>;
  struct Case {
    Names names;
    Names shown;
  };
  const Case cases[] = {
      // Where they differ, which each shows alone on both.
      {{x, y, "news"},
       {near + "X" + std::string(8, 'b') + "..." + b20 + " (201 bytes)",
        near + "Y" + std::string(8, 'b') + "..." + b20 + " (201 bytes)", "news"}},
      // Alike anywhere they are cut: whole.
      {{std::string(100, 'a'), std::string(101, 'a')},
       {std::string(100, 'a') + " (100 bytes)", std::string(101, 'a') + " (101 bytes)"}},
      // Shown as a short name is shown, with its size or in a path: whole.
      {{"\\" + std::string(89, 'a'), "\\" + a40.substr(1) + "..." + a20 + " (90 bytes)"},
       {"\\\\" + std::string(89, 'a') + " (90 bytes)",
        "\\\\" + a40.substr(1) + "..." + a20 + " (90 bytes)"}},
      {{std::string(95, 'a'), a40 + "..." + a20},
       {std::string(95, 'a') + " (95 bytes)", a40 + "..." + a20}},
      // In quotes, unlike the short name.
      {{std::string(89, 'a') + " ", a40 + "..." + std::string(19, 'a') + "  (90 bytes)"},
       {"\"" + a40 + "..." + std::string(19, 'a') + " \" (90 bytes)",
        a40 + "..." + std::string(19, 'a') + "  (90 bytes)"}},
  };
  for (const Case& c : cases) {
    const Table table(c.names);
    for (std::uint32_t slot = 0; slot < c.names.size(); ++slot) {
      EXPECT_EQ(table.shown->name(slot), c.shown[slot]);
    }
  }
  const Table table({x, y, " a", "b"});
  const std::string cutX = near + "X" + std::string(8, 'b') + "..." + b20;
  EXPECT_EQ(table.shown->quoted(0), "\"" + cutX + "\" (201 bytes)");
  EXPECT_EQ(table.shown->path(3, 0), "/b/" + cutX);
  EXPECT_EQ(table.shown->path(0), "/" + cutX);
  EXPECT_EQ(table.shown->path(3, 2), "\"/b/ a\"");
  EXPECT_EQ(table.shown->path(2, 3), "\"/ a/b\"");
}

// Bytes shown where alike names differ, unless that shows a name as another is shown.
TEST(ShownNames, ShowMoreWhereNoOtherNameIsShownSo) {
  const std::string a8(8, 'a'), a10(10, 'a');
  const Table table({std::string(60, 'a') + "X" + std::string(52, 'a'),
                     std::string(61, 'a') + "X" + std::string(51, 'a'), std::string(100, 'a')});
  const ShownNames& shown = *table.shown;
  const ByteRange at58[] = {{58, 59}}, at59[] = {{59, 62}}, at45[] = {{45, 46}},
                  at50[] = {{50, 51}};
  const std::string extended = a40 + "..." + a10 + "X" + a8 + "..." + a20 + " (113 bytes)";
  EXPECT_EQ(shown.name(0), a40 + "..." + a8 + "X" + a8 + "..." + a20 + " (113 bytes)");
  const ByteRange next[] = {{59, 60}};
  EXPECT_EQ(shown.name(0, Quotes::kWhereNeeded, next), shown.name(0));  // shown as 1 is
  EXPECT_EQ(shown.name(0, Quotes::kWhereNeeded, at58), extended);
  EXPECT_EQ(shown.name(1, Quotes::kWhereNeeded, at59), shown.name(1));  // shown as 0 was
  EXPECT_EQ(shown.name(1), a40 + "..." + std::string(9, 'a') + "X" + a8 + "..." + a20 +
                               " (113 bytes)");  // where it differs from 0 and from 2
  const Table mimic({std::string(100, 'a'), a40 + std::string(14, 'a') + "..." + a20});
  EXPECT_EQ(mimic.shown->name(0, Quotes::kWhereNeeded, at45), mimic.shown->name(0));
  EXPECT_EQ(mimic.shown->name(0, Quotes::kWhereNeeded, at50),
            std::string(59, 'a') + "..." + a20 + " (100 bytes)");
  EXPECT_EQ(mimic.shown->name(1, Quotes::kWhereNeeded, at50),
            a40 + std::string(14, 'a') + "..." + a20);
  // A list shows where its members differ.
  const std::string b = std::string(60, 'a') + "b" + std::string(59, 'a');
  const Table list({b, std::string(60, 'a') + "B" + std::string(59, 'a'), std::string(120, 'a')});
  const std::uint32_t slots[] = {0, 1};
  EXPECT_EQ(list.shown->apart(slots, Quotes::kAlways),
            (std::vector<std::string>{
                "\"" + a40 + "..." + a8 + "b" + a8 + "..." + a20 + "\" (120 bytes)",
                "\"" + a40 + "..." + a8 + "B" + a8 + "..." + a20 + "\" (120 bytes)"}));
}

// Long names alike at both ends, some only in their middles, some with "..." in them; and
// short names that read as some of them cut: no two are shown alike in any form, alone or
// in lists that show more of them.
TEST(ShownNames, NeverShowTwoNamesAlike) {
  const std::string pieces[] = {"a", "a", "a", ".", "b", "\xC3\xA9", "e\xCC\x81"};
  std::mt19937 rng(28);
  std::set<std::string> longNames;
  while (longNames.size() < 400) {
    std::string name(30 + rng() % 30, 'a');
    for (auto k = rng() % 40; k-- > 0;) name += pieces[rng() % std::size(pieces)];
    longNames.insert(name + std::string(15 + rng() % 10, rng() % 2 == 0 ? 'b' : '.'));
  }
  std::vector<std::string> names(longNames.begin(), longNames.end());
  const Table first(names);
  for (std::uint32_t slot = 0; slot < first.names.size(); slot += 2) {
    const std::string shown = first.shown->name(slot), path = first.shown->path(slot);
    for (const std::string& text : {shown, path.substr(1)}) {
      if (text.starts_with('"') || longNames.contains(readBack(text))) continue;
      if (readBack(text).size() <= kLongestShownName) names.push_back(readBack(text));
      longNames.insert(readBack(text));
    }
  }
  const Table table(names);
  const ShownNames& shown = *table.shown;
  std::map<std::string, std::uint32_t> plain, quoted, paths;  // each text shown, by its slot
  const auto once = [](std::map<std::string, std::uint32_t>& texts, const std::string& text,
                       std::uint32_t slot) {
    EXPECT_EQ(texts.emplace(text, slot).first->second, slot) << text;
  };
  std::size_t whole = 0;
  for (std::uint32_t slot = 0; slot < names.size(); ++slot) {
    once(plain, shown.name(slot), slot);
    once(quoted, shown.quoted(slot), slot);
    once(paths, shown.path(slot), slot);
    whole += names[slot].size() > kLongestShownName &&
             readBack(shown.path(slot).substr(1)) == names[slot];
  }
  EXPECT_GT(whole, 0u);
  for (int list = 0; list < 2'000; ++list) {
    std::vector<std::uint32_t> slots;
    const auto from = rng() % (names.size() - 10);  // near in byte order, much alike
    for (auto k = 2 + rng() % 4; k-- > 0;) slots.push_back(from + rng() % 10);
    const std::vector<std::string> texts = shown.apart(slots, Quotes::kAlways);
    for (std::size_t i = 0; i < slots.size(); ++i) once(quoted, texts[i], slots[i]);
  }
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
