// Grouping: counts, line groups, line sets, capacities and the order of their failures.
#include "pipeline/grouping.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/failure.h"
#include "group_text.h"
#include "tag_text.h"

namespace tagtree {
namespace {

using tag_text::numberedTags;
using tag_text::repeatedLines;
using tag_text::repeatedTag;

struct TagCount {
  std::string name;
  std::uint64_t count;
  bool operator==(const TagCount&) const = default;
};

std::vector<TagCount> allTagsOf(const Grouping& grouping) {
  std::vector<TagCount> tags;
  for (int i = 0; i < grouping.allTagCount; ++i) {
    tags.push_back({std::string(grouping.allTags[i]->name()), grouping.allTags[i]->count()});
  }
  return tags;
}

std::vector<std::vector<std::string>> lineGroupsOf(const Grouping& grouping) {
  std::vector<std::vector<std::string>> lines;
  for (int i = 0; i < grouping.lineGroupCount; ++i) {
    std::vector<std::string>& names = lines.emplace_back();
    const TagGroup& group = *grouping.lineGroups[i];
    for (int k = 0; k < group.tagCount(); ++k) names.emplace_back(group.getTags()[k]->name());
  }
  return lines;
}

// Returns the failure message of grouping `text`, or "" when it succeeds.
std::string groupingFailure(const std::string& text) {
  NameTable groupingNames;
  Grouping grouping;
  try {
    groupText(text, groupingNames, grouping);
  } catch (const Failure& failure) {
    return failure.what();
  }
  return "";
}

std::string joinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

TEST(Grouping, CountsTagsAndGroupsLines) {
  struct Case {
    std::string text;
    std::vector<TagCount> tags;
    std::vector<std::vector<std::string>> lines;
  };
  const Case cases[] = {
      {"", {}, {}},
      {"\n", {}, {{}}},
      {"x; y\ny\nz; y\n", {{"x", 1}, {"y", 3}, {"z", 1}}, {{"x", "y"}, {"y"}, {"z", "y"}}},
      {"a; a", {{"a", 2}}, {{"a", "a"}}},
      {"a; ; b\r\n;  ; \rb", {{"a", 1}, {"b", 2}}, {{"a", "b"}, {}, {"b"}}},
      {"a;b\n a\na ", {{"a;b", 1}, {" a", 1}, {"a ", 1}}, {{"a;b"}, {" a"}, {"a "}}},
      {"  ; A; a", {{"  ", 1}, {"A", 1}, {"a", 1}}, {{"  ", "A", "a"}}},
      {"\xEF\xBB\xBFx; x", {{"\xEF\xBB\xBFx", 1}, {"x", 1}}, {{"\xEF\xBB\xBFx", "x"}}},
  };
  for (const Case& c : cases) {
    NameTable groupingNames;
    Grouping grouping;
    groupText(c.text, groupingNames, grouping);
    EXPECT_EQ(allTagsOf(grouping), c.tags) << "text: " << c.text;
    EXPECT_EQ(lineGroupsOf(grouping), c.lines) << "text: " << c.text;
    for (int i = 0; i < grouping.allTagCount; ++i) {
      EXPECT_EQ(grouping.tagGroups.of(grouping.allTags[i]).parentCount(), 0);
      EXPECT_EQ(grouping.tagGroups.of(grouping.allTags[i]).tagCount(), 0);
    }
  }
}

TEST(Grouping, RecordsTheLinesOfEachTag) {
  NameTable groupingNames;
  Grouping grouping;
  groupText("a; b\n\nb\na; a\n", groupingNames, grouping);
  ASSERT_EQ(grouping.allTagCount, 2);
  EXPECT_EQ(grouping.lineSets[0], 0b1001u);
  EXPECT_EQ(grouping.lineSets[1], 0b0101u);
}

TEST(Grouping, CapacitiesAndTheirOrder) {
  const std::string fiftyLines = repeatedLines("a", 50);
  struct Case {
    const char* what;
    std::string text;
    std::string failure;
  };
  const Case cases[] = {
      {"100 distinct tags", joinLines({numberedTags(0, 50), numberedTags(50, 50)}), ""},
      {"101 distinct tags", joinLines({numberedTags(0, 50), numberedTags(50, 50), "t100"}),
       "ArrayBoundsError corvane(41)"},
      {"50 lines", fiftyLines, ""},
      {"50 lines, no final LF", fiftyLines.substr(0, fiftyLines.size() - 1), ""},
      {"50 lines ending CR LF", repeatedLines("a\r", 50), ""},
      {"51st line, empty", fiftyLines + "\n", "ArrayBoundsError corvane(56)"},
      {"51st line without terminator", fiftyLines + "a", "ArrayBoundsError corvane(56)"},
      {"50 tag words", numberedTags(0, 50), ""},
      {"50 tag words and skipped ones", numberedTags(0, 50) + "; ; ;  ; ", ""},
      {"51 tag words", numberedTags(0, 51), "ArrayBoundsError corvane(180)"},
      {"51 repeats", repeatedTag("r", 51), "ArrayBoundsError corvane(180)"},
      {"50 repeats", repeatedTag("r", 50), ""},
      {"50 repeats and one more tag", repeatedTag("r", 50) + "; s",
       "ArrayBoundsError corvane(180)"},
      {"41 after an overflowing run of repeats",
       joinLines({numberedTags(0, 50), numberedTags(50, 50)}) + repeatedTag("t0", 60) + "; t100",
       "ArrayBoundsError corvane(41)"},
      {"41 before 180 in one line",
       joinLines({numberedTags(0, 50), numberedTags(50, 50) + "; t0; t1; t100"}),
       "ArrayBoundsError corvane(41)"},
      {"41 on the 51st line, not 56",
       joinLines({numberedTags(0, 50), numberedTags(50, 50)}) + repeatedLines("t0", 48) + "t100",
       "ArrayBoundsError corvane(41)"},
      {"180 on the 51st line, not 56", fiftyLines + repeatedTag("a", 51),
       "ArrayBoundsError corvane(180)"},
  };
  for (const Case& c : cases) EXPECT_EQ(groupingFailure(c.text), c.failure) << c.what;
}

// Serves a text, then fails as a damaged disk would.
class FailingSource : public ByteSource {
 public:
  explicit FailingSource(std::string_view text) : text_(text) {}
  std::size_t read(char* into, std::size_t capacity) override {
    const std::size_t got = text_.read(into, capacity);
    if (got == 0) throw readFailure(EIO);
    return got;
  }

 private:
  TextSource text_;
};

TEST(Grouping, ABoundsFailureEndsTheRunBeforeTheInputEnds) {
  // The answer is known at the end of the 51st line, and of the line of 51 tags: what
  // follows is not read, so the failure waiting at the end of the input is never met.
  const std::pair<std::string, const char*> cases[] = {
      {repeatedLines("a", 51) + repeatedLines("b", 1000), "ArrayBoundsError corvane(56)"},
      {numberedTags(0, 51) + "\n" + std::string(300000, 'x'), "ArrayBoundsError corvane(180)"},
  };
  for (const auto& [text, message] : cases) {
    NameTable groupingNames;
    Grouping grouping;
    FailingSource source(text);
    try {
      groupLines(source, groupingNames, grouping, 64);
      ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
      EXPECT_STREQ(failure.what(), message);
    }
  }
}

}  // namespace
}  // namespace tagtree
