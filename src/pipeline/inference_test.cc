#include "pipeline/inference.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/failure.h"
#include "group_text.h"

namespace tagtree {
namespace {

// Counts the line groups holding both tags the way the rule is stated: by scanning
// every group with hasTag, by name.
std::int32_t countTagWithByScan(const Grouping& grouping, const Tag* first, const Tag* second) {
  if (first->name() == second->name()) return 0;
  std::int32_t shared = 0;
  for (const TagGroup* group : grouping.lineGroups) {
    if (group != nullptr && group->hasTag(first) && group->hasTag(second)) ++shared;
  }
  return shared;
}

// Returns "parent>child" for every child relation, and "name:parentCount" per tag.
std::vector<std::string> relationsOf(const Grouping& grouping) {
  std::vector<std::string> relations;
  for (int i = 0; i < grouping.allTagCount; ++i) {
    const Tag* tag = grouping.allTags[i];
    const TagGroup& children = grouping.tagGroups.of(tag);
    relations.push_back(std::string(tag->name()) + ":" + std::to_string(children.parentCount()));
    for (int k = 0; k < children.tagCount(); ++k) {
      relations.push_back(std::string(tag->name()) + ">" +
                          std::string(children.getTags()[k]->name()));
    }
  }
  return relations;
}

std::vector<std::string> inferredRelations(const std::string& text) {
  NameTable groupingNames;
  Grouping grouping;
  groupText(text, groupingNames, grouping);
  inferParents(grouping);
  return relationsOf(grouping);
}

TEST(Inference, RareEnoughThresholds) {
  // Largest child count allowed for parent counts 1 to 8.
  const std::uint64_t threshold[] = {1, 2, 2, 3, 3, 4, 4, 5};
  for (std::uint64_t parent = 1; parent <= 8; ++parent) {
    EXPECT_TRUE(rareEnoughForChild(threshold[parent - 1], parent)) << parent;
    EXPECT_FALSE(rareEnoughForChild(threshold[parent - 1] + 1, parent)) << parent;
  }
  EXPECT_TRUE(rareEnoughForChild(UINT64_MAX / 2 + 1, UINT64_MAX));
}

TEST(Inference, RelationsFromCountsAndSharedLines) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::string> relations;
  };
  const Case cases[] = {
      {"one line a, b: mutual children", "a; b", {"a:1", "a>b", "b:1", "b>a"}},
      {"counts 2 and 1", "a; b\na", {"a:0", "a>b", "b:1"}},
      {"equal counts of 3", "x; y\nx; y\nx; y", {"x:0", "y:0"}},
      {"equal counts of 2 are mutual", "x; y\nx; y", {"x:1", "x>y", "y:1", "y>x"}},
      {"no shared line", "a\na\na; c\nb", {"a:0", "a>c", "c:1", "b:0"}},
      {"repeats in a line count", "a; a; a; b", {"a:0", "a>b", "b:1"}},
      {"a tag is not its own child", "a; a", {"a:0"}},
      {"worked example", "x; y\ny\nz; y", {"x:1", "y:0", "y>x", "y>z", "z:1"}},
      {"grandchild", "a; b\nb; c\na\na", {"a:0", "a>b", "b:1", "b>c", "c:1"}},
  };
  for (const Case& c : cases) EXPECT_EQ(inferredRelations(c.text), c.relations) << c.what;
}

TEST(Inference, FiftyFirstChildFailsWith180) {
  // "p" occurs 100 times, so every tag occurring once on one of its lines is its child.
  auto text = [](int children) {
    std::string t;
    for (int line = 0; line < 50; ++line) {
      t += "p; p";
      for (int k = line; k < children; k += 50) t += "; c" + std::to_string(k);
      t += "\n";
    }
    return t;
  };
  NameTable fiftyNames;
  Grouping fifty;
  groupText(text(50), fiftyNames, fifty);
  inferParents(fifty);
  EXPECT_EQ(fifty.tagGroups.of(fifty.allTags[0]).tagCount(), 50);

  NameTable fiftyOneNames;

  Grouping fiftyOne;
  groupText(text(51), fiftyOneNames, fiftyOne);
  try {
    inferParents(fiftyOne);
    FAIL() << "a 51st child must fail";
  } catch (const Failure& failure) {
    EXPECT_STREQ(failure.what(), "ArrayBoundsError corvane(180)");
  }
}

TEST(Inference, CountTagWithEqualsAScanOfTheLineGroups) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int lines = 1 + static_cast<int>(random() % 50);
    const int vocabulary = 1 + static_cast<int>(random() % 12);
    for (int line = 0; line < lines; ++line) {
      const int words = static_cast<int>(random() % 6);
      for (int w = 0; w < words; ++w) {
        text += (w ? "; " : "") + std::string("t") + std::to_string(random() % vocabulary);
      }
      text += "\n";
    }
    NameTable groupingNames;
    Grouping grouping;
    groupText(text, groupingNames, grouping);
    for (int a = 0; a < grouping.allTagCount; ++a) {
      for (int b = 0; b < grouping.allTagCount; ++b) {
        ASSERT_EQ(countTagWith(grouping, a, b),
                  countTagWithByScan(grouping, grouping.allTags[a], grouping.allTags[b]))
            << text;
      }
    }
  }
}

}  // namespace
}  // namespace tagtree
