// The survey's facts: sizes, the places where limits break, tagtree's verdict, the tags'
// places and the warnings, each with its line numbers, on every line end and read size.
#include "explain/survey.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tag_text.h"

namespace tagtree::explain {
namespace {

using namespace std::string_literals;
using tag_text::numberedTags;
using tag_text::repeatedLines;

// Returns `text`, written with LF line ends, with each LF replaced by `lineEnd`.
std::string withLineEnds(const std::string& text, const std::string& lineEnd) {
  std::string result;
  for (const char c : text) result += c == '\n' ? lineEnd : std::string(1, c);
  return result;
}

// Calls `check` with the survey of `text` with each line end, read whole and in small
// pieces.
template <typename Check>
void forEachWay(const std::string& text, Check check) {
  for (const char* lineEnd : {"\n", "\r", "\r\n"}) {
    for (const std::size_t readSize : {std::size_t{3}, InputWindow::kDefaultReadSize}) {
      SCOPED_TRACE(std::string("line end ") +
                   (lineEnd[0] == '\n' ? "LF"
                    : lineEnd[1]       ? "CR LF"
                                       : "CR") +
                   ", read size " + std::to_string(readSize));
      const std::string input = withLineEnds(text, lineEnd);
      TextSource source(input);
      check(survey(source, readSize));
    }
  }
}

std::vector<std::uint64_t> linesOf(const std::vector<OverfullLine>& overfull) {
  std::vector<std::uint64_t> lines;
  for (const OverfullLine& line : overfull) lines.push_back(line.line);
  return lines;
}

TEST(Survey, CountsAsTagtreeCounts) {
  struct Case {
    std::string text;
    std::uint64_t lines, names, mostTags, mostTagsLine;
    std::vector<std::uint64_t> blank;  // lines without tags
  };
  const Case cases[] = {
      {"", 0, 0, 0, 0, {}},
      {"\n", 1, 0, 0, 0, {1}},
      {"a\n\n", 2, 1, 1, 1, {2}},  // an empty line counts; a final line end does not
      {"a; b\n\nc; ; d;  ; e; c", 3, 5, 4, 3, {2}},  // skipped words are no tags; repeats count
      {" \n; \n ;  ; \n;\n\t\na\n\n", 7, 3, 1, 4, {1, 2, 3, 7}},  // ";" and a tab are tags
  };
  for (const Case& c : cases) {
    forEachWay(c.text, [&](const Survey& s) {
      EXPECT_EQ(s.lines, c.lines);
      EXPECT_EQ(s.names.size(), c.names);
      EXPECT_EQ(s.mostTags, c.mostTags);
      EXPECT_EQ(s.mostTagsLine, c.mostTagsLine);
      EXPECT_EQ(s.blankLines.first(100), c.blank);
      EXPECT_EQ(s.blankLines.total(), c.blank.size());
      EXPECT_EQ(s.fixes.linesWithoutBlank, c.lines - c.blank.size());
    });
  }
}

TEST(Survey, FindsWhatOneChangeWouldLeave) {
  const std::string hundred = numberedTags(0, 50) + "\n" + numberedTags(50, 50) + "\n";
  struct Case {
    const char* what;
    std::string text;
    std::optional<std::uint64_t> withoutMark;
    std::uint64_t mergingAlike, once;
  };
  const Case cases[] = {
      {"no mark", "a; a\nA; b", std::nullopt, 2, 2},
      {"a mark that makes a 101st tag", "\xEF\xBB\xBFt0\n" + hundred, 100, 101, 101},
      {"a marked tag seen again", "\xEF\xBB\xBFt\n\xEF\xBB\xBFt; t", 2, 2, 1},
      {"a mark before a new name", "\xEF\xBB\xBFnew; x", 2, 2, 2},
      {"a mark alone", "\xEF\xBB\xBF; x\nx", 1, 2, 1},
      {"alike groups", " a; A; a\nb ; B", std::nullopt, 2, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    forEachWay(c.text, [&](const Survey& s) {
      EXPECT_EQ(s.fixes.tagsWithoutByteOrderMark, c.withoutMark);
      EXPECT_EQ(s.fixes.tagsMergingAlike, c.mergingAlike);
      EXPECT_EQ(s.fixes.tagsOnce, c.once);
    });
  }
}

TEST(Survey, FindsEveryLimitAndTagtreesVerdict) {
  const std::string fiftyNames = numberedTags(0, 50) + "\n" + numberedTags(50, 50) + "\n";
  struct Case {
    const char* what;
    std::string text;
    Outcome outcome;
    std::uint64_t verdictLine;  // 0 where the verdict has no line
    std::uint64_t lines;
    std::vector<std::uint64_t> overfull;  // every line of more than 50 tags
    std::uint64_t hundredAndFirstLine;    // 0 where there is none
  };
  const Case cases[] = {
      {"within every limit", repeatedLines("a; b", 50), Outcome::kSucceeds, 0, 50, {}, 0},
      {"60 lines", repeatedLines("a", 60), Outcome::kTooManyLines, 51, 60, {}, 0},
      {"lines of 53 and 60 tags, then 60 lines",
       "x\ny\nz\n" + numberedTags(0, 53) + "\n" + repeatedLines("x", 4) + numberedTags(0, 60) +
           "\n" + repeatedLines("x", 51),
       Outcome::kOverfullLine,
       4,
       60,
       {4, 9},
       0},
      {"a line of 52 tags, 3 of them repeats",
       "a; b; a; " + numberedTags(0, 48) + "; b; t0\n",
       Outcome::kOverfullLine,
       1,
       1,
       {1},
       0},
      {"twelve lines of 51 tags",
       repeatedLines(numberedTags(0, 51), 12),
       Outcome::kOverfullLine,
       1,
       12,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
       0},
      {"a 101st tag, then more",
       fiftyNames + "x; t100; t101\n" + repeatedLines("t102", 60),
       Outcome::kTooManyTags,
       3,
       63,
       {},
       3},
      {"a 101st tag in an overfull 51st line: 41 first",
       repeatedLines("t0", 50) + numberedTags(0, 101) + "\n",
       Outcome::kTooManyTags,
       51,
       51,
       {51},
       51},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    forEachWay(c.text, [&](const Survey& s) {
      EXPECT_EQ(s.verdict.outcome, c.outcome);
      EXPECT_EQ(s.verdict.status, c.outcome == Outcome::kSucceeds ? 0 : 1);
      EXPECT_EQ(s.verdict.line, c.verdictLine);
      EXPECT_EQ(s.lines, c.lines);
      EXPECT_EQ(linesOf(s.overfullLines), c.overfull);
      for (const OverfullLine& overfull : s.overfullLines) {
        EXPECT_EQ(overfull.repeats, overfull.line == 1 && c.text.starts_with("a; b; a") ? 3u : 0u);
      }
      if (c.hundredAndFirstLine == 0) {
        EXPECT_LE(s.names.size(), 100u);
      } else {
        ASSERT_GT(s.names.size(), 100u);
        EXPECT_EQ(s.facts[100].firstLine, c.hundredAndFirstLine);
      }
      EXPECT_EQ(s.hierarchyKnown, c.lines <= 50 && c.overfull.empty() && s.names.size() <= 100);
    });
  }
}

TEST(Survey, ExplainsTheHierarchyWithinTheLimits) {
  // Where tagtree succeeds, every tag's place is checked against its listing elsewhere
  // (literal_model_test.cc, and the examples). Here: a tag of 51 children, and a
  // printed name that is not UTF-8.
  std::string crowded;
  for (int line = 0; line < 3; ++line)
    crowded += "p; p; p; p; " + numberedTags(17 * line, 17) + "\n";
  forEachWay(crowded, [&](const Survey& s) {
    EXPECT_EQ(s.verdict.outcome, Outcome::kTooManyChildren);
    ASSERT_EQ(s.crowdedParents.size(), 1u);
    EXPECT_EQ(s.crowdedParents[0].slot, 0u);
    EXPECT_EQ(s.crowdedParents[0].children, 51u);
    EXPECT_TRUE(s.places.empty());
  });
  // Each parent with the first line it shares with its child.
  forEachWay("x\nn; p\nn\nn; w; l\nn; p\n", [&](const Survey& s) {
    ASSERT_EQ(s.places.size(), 5u);
    const auto links = [&](std::uint32_t slot) {
      std::vector<std::pair<std::uint32_t, std::uint64_t>> found;
      for (const ParentLink& link : s.places[slot].parents)
        found.emplace_back(link.slot, link.sharedLine);
      return found;
    };
    EXPECT_EQ(links(2), (std::vector<std::pair<std::uint32_t, std::uint64_t>>{{1, 2}}));
    EXPECT_EQ(links(3), (std::vector<std::pair<std::uint32_t, std::uint64_t>>{{1, 4}, {4, 4}}));
    EXPECT_TRUE(links(1).empty());
  });
  forEachWay("ok\nbad; caf\xE9\nbad\n", [&](const Survey& s) {
    EXPECT_EQ(s.verdict.outcome, Outcome::kBadName);
    EXPECT_EQ(s.verdict.message, "4invalid UTF-8 sequence");
    EXPECT_EQ(s.badName, 2u);
    EXPECT_EQ(s.verdict.paths, 2u);  // /ok and /bad, then /bad/caf cut short
  });
}

TEST(Survey, WarnsWithLineNumbers) {
  const std::string text =
      "\xEF\xBB\xBFtravel; x\n"  // 1
      "Travel; a, b\n"           // 2: ", " in a line with a separator is fine
      "a, b\n"                   // 3
      "a;b\n"                    // 4
      " travel \n"               // 5
      "f\tg\n"                   // 6
      "n\0u\0l\0\n"s             // 7
      "x\n"                      // 8
      "n\0u\0l\0; n\0u\0l\0\n"s  // 9: one line, once
      "TRAVEL; n\0u\0l\0\n"s;    // 10
  forEachWay(text, [&](const Survey& s) {
    EXPECT_EQ(s.encoding.utf8Marks, 1u);
    EXPECT_EQ(s.slashNames, std::vector<std::uint32_t>{});
    EXPECT_EQ(s.commaLines.first(10), std::vector<std::uint64_t>{3});
    EXPECT_EQ(s.semicolonLines.first(10), std::vector<std::uint64_t>{4});
    EXPECT_EQ(s.tabLines.first(10), std::vector<std::uint64_t>{6});
    EXPECT_EQ(s.nulLines.first(10), (std::vector<std::uint64_t>{7, 9, 10}));
    EXPECT_EQ(s.nulLines.total(), 3u);
    // travel with the byte-order mark is not alike: that is its own warning.
    ASSERT_EQ(s.alikeNames.size(), 1u);
    std::vector<std::uint64_t> lines;
    for (const std::uint32_t slot : s.alikeNames[0]) lines.push_back(s.facts[slot].firstLine);
    EXPECT_EQ(lines, (std::vector<std::uint64_t>{2, 5, 10}));
  });
  // Only at the very start of the input is a byte-order mark one.
  forEachWay("; \xEF\xBB\xBFx\n", [](const Survey& s) { EXPECT_EQ(s.encoding.utf8Marks, 0u); });
  // Names that hold '/', whose paths read as deeper ones.
  forEachWay("AC/DC; rock\nrock/pop\n", [](const Survey& s) {
    EXPECT_EQ(s.slashNames, (std::vector<std::uint32_t>{0, 2}));
  });
  // Many lines: the first ten are named, all are counted.
  forEachWay(repeatedLines("a, b", 12), [](const Survey& s) {
    EXPECT_EQ(s.commaLines.first(10), (std::vector<std::uint64_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(s.commaLines.total(), 12u);
  });
}

}  // namespace
}  // namespace tagtree::explain
