#include "model/tag_group.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "base/failure.h"

namespace tagtree {
namespace {

TEST(Tag, StartsWithCountOne) {
  Tag tag("a");
  EXPECT_EQ(tag.count(), 1u);
  tag.addOccurrences(1);
  EXPECT_EQ(tag.count(), 2u);
  EXPECT_EQ(tag.toString(), "a");
}

TEST(TagGroup, ConstructorsSetParentCount) {
  EXPECT_EQ(TagGroup().parentCount(), -1);
  EXPECT_EQ(TagGroup(0).parentCount(), 0);
  EXPECT_EQ(TagGroup().tagCount(), 0);
}

TEST(TagGroup, FiftyFitAndTheFiftyFirstFailsWith180) {
  Tag tag("a");
  TagGroup group;
  for (int i = 0; i < TagGroup::kCapacity; ++i) group.addTag(&tag);
  EXPECT_EQ(group.tagCount(), 50);
  EXPECT_TRUE(group.full());
  try {
    group.addTag(&tag);
    FAIL() << "the 51st addTag must fail";
  } catch (const Failure& failure) {
    EXPECT_STREQ(failure.what(), "ArrayBoundsError corvane(180)");
  }
  EXPECT_EQ(group.tagCount(), 50);
}

TEST(TagGroup, KeepsDuplicatesInSlotOrder) {
  Tag a("a"), b("b");
  TagGroup group;
  group.addTag(&a);
  group.addTag(&b);
  group.addTag(&a);
  const TagGroup::Slots& slots = group.getTags();
  EXPECT_EQ(group.tagCount(), 3);
  EXPECT_EQ(slots[0], &a);
  EXPECT_EQ(slots[1], &b);
  EXPECT_EQ(slots[2], &a);
  for (int i = 3; i < TagGroup::kCapacity; ++i) EXPECT_EQ(slots[i], nullptr) << i;
}

TEST(TagGroup, HasTagMatchesByName) {
  Tag stored("photo"), sameName("photo"), other("photos"), prefix("phot");
  TagGroup group;
  group.addTag(&stored);
  EXPECT_EQ(group.hasTag(&sameName), &stored);
  EXPECT_EQ(group.hasTag(std::string_view("photo")), &stored);
  EXPECT_EQ(group.hasTag(&other), nullptr);
  EXPECT_EQ(group.hasTag(&prefix), nullptr);
  EXPECT_EQ(group.hasTag(std::string_view("Photo")), nullptr);
  EXPECT_EQ(group.hasTag(static_cast<const Tag*>(nullptr)), nullptr);
  EXPECT_EQ(TagGroup().hasTag(&stored), nullptr);
}

TEST(TagGroup, HasTagComparesEmbeddedNulBytes) {
  const std::string withNul("a\0b", 3);
  Tag tag(withNul);
  TagGroup group;
  group.addTag(&tag);
  EXPECT_EQ(group.hasTag(std::string_view("a\0b", 3)), &tag);
  EXPECT_EQ(group.hasTag(std::string_view("a\0c", 3)), nullptr);
  EXPECT_EQ(group.hasTag(std::string_view("a")), nullptr);
}

TEST(TagGroup, ToStringLeavesOutRepeatsOfTheFirstName) {
  struct Case {
    std::vector<std::string> names;
    std::string expected;
  };
  const Case cases[] = {
      {{}, ""},
      {{"a"}, "a"},
      {{"a", "b", "a", "c"}, "a, b, c"},
      {{"b", "a", "b"}, "b, a"},
      {{"a", "b", "b"}, "a, b, b"},
  };
  for (const Case& c : cases) {
    std::deque<Tag> tags;
    TagGroup group;
    for (const std::string& name : c.names) group.addTag(&tags.emplace_back(name));
    EXPECT_EQ(group.toString(), c.expected);
  }
}

}  // namespace
}  // namespace tagtree
