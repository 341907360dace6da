// The name index and the hash it places names by.
#include "pipeline/name_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/name_hash.h"
#include "pipeline/name_table.h"

namespace tagtree {
namespace {

using namespace std::string_literals;

TEST(NameHash, DependsOnEveryByteAndTheLength) {
  const std::string base(100, 'x');  // three whole blocks of four lanes, and a tail
  const std::uint64_t baseHash = nameHash(base);
  for (std::size_t i = 0; i < base.size(); ++i) {
    std::string changed = base;
    changed[i] = 'y';
    EXPECT_NE(nameHash(changed), baseHash) << "byte " << i;
  }
  EXPECT_NE(nameHash("ab"), nameHash(std::string_view("ab\0", 3)));
  EXPECT_NE(nameHash(""), nameHash(std::string_view("\0", 1)));
}

// Hashes that crowd names on purpose, so that the index must find them by their bytes
// and the overflow: every name shares one hash, or each hash takes one of four values, so
// that windows overlap and names crowd several places at once.
struct ConstantHashing {
  static std::uint64_t hash(std::string_view, const char*) { return 42; }
};
struct FourValuedHashing {
  static std::uint64_t hash(std::string_view name, const char* readable) {
    return nameHash(name, readable) & 3;
  }
};

template <typename Index>
class NameIndexTest : public ::testing::Test {};
using Indexes =
    ::testing::Types<NameIndex, BasicNameIndex<ConstantHashing>, BasicNameIndex<FourValuedHashing>>;
TYPED_TEST_SUITE(NameIndexTest, Indexes);

TYPED_TEST(NameIndexTest, FindsEveryNameAndNothingElse) {
  // Short names alike but for their last byte or their length (a NUL pads a name's last
  // chunk); names a byte past a whole chunk; long ones alike at both ends, which differ
  // only in the middle; and enough of them all to grow the table a few times. Each is
  // found in its slot, at every size the table passes through.
  std::vector<std::string> names = {
      "a",          "b",        "ab",       "",         std::string(1, '\0'), std::string("a\0", 2),
      "x y",        "abcdefg1", "abcdefg2", "abcdefgh", "abcdefgh1",          "abcdefgh2",
      "abcdefgh\0"s};
  for (int i = 0; i < 60; ++i) {
    std::string name(64 + 40, '.');
    name[name.size() / 2] = static_cast<char>('A' + i);
    names.push_back(name);
  }
  names.push_back(std::string(64 + 40, '.'));  // their common form
  names.push_back(std::string(64 + 41, '.'));
  for (int i = 0; i < 2000; ++i) {
    names.push_back("tag" + std::to_string(i));
    if (i % 8 == 0) names.push_back("a middling name " + std::to_string(i));
  }
  TypeParam index;
  for (std::uint32_t slot = 0; slot < names.size(); ++slot) {
    ASSERT_EQ(index.find(names[slot]), TypeParam::kNotFound) << slot;
    ASSERT_EQ(index.insert(names[slot]), slot);
    if ((slot & (slot + 1)) == 0 || slot + 1 == names.size()) {  // 0, 1, 3, 7, ... and the last
      for (std::uint32_t known = 0; known <= slot; ++known) {
        ASSERT_EQ(index.find(names[known]), known) << known << " of " << slot + 1;
        ASSERT_EQ(index.name(known), names[known]) << known << " of " << slot + 1;
      }
    }
  }
  EXPECT_EQ(index.size(), names.size());
  std::string unknown = names[13];
  unknown[unknown.size() / 2] = '!';
  std::vector<std::string> absentNames = {"c"s,
                                          "a "s,
                                          "ab\0"s,
                                          "abcdefg"s,
                                          "abcdefg3"s,
                                          "abcdefgh3"s,
                                          "abcdefgh\0\0"s,
                                          unknown,
                                          "tag2000"s,
                                          "tag"s,
                                          "a middling name 1"s,
                                          "a middling name 2000"s};
  for (const std::string& absent : absentNames) {
    EXPECT_EQ(index.find(absent), TypeParam::kNotFound) << absent;
  }

  // A moved index finds every name where it was; the one moved from is empty, and takes
  // names again from slot 0.
  TypeParam moved(std::move(index));
  for (std::uint32_t slot = 0; slot < names.size(); ++slot) {
    ASSERT_EQ(moved.find(names[slot]), slot) << slot;
  }
  EXPECT_EQ(index.size(), 0u);
  EXPECT_EQ(index.find(names[0]), TypeParam::kNotFound);
  EXPECT_EQ(index.insert(names[1]), 0u);
  EXPECT_EQ(index.find(names[1]), 0u);
  index = std::move(moved);
  EXPECT_EQ(index.size(), names.size());
  EXPECT_EQ(index.find(names.back()), names.size() - 1);
  EXPECT_EQ(moved.size(), 0u);
  EXPECT_EQ(moved.find(names.back()), TypeParam::kNotFound);
}

// A moved table keeps its names where they are; the table moved from is empty and takes
// names of its own, in room of its own: the two never write over each other's names.
TEST(NameTable, MovedTableKeepsItsNamesInPlace) {
  NameTable table;
  table.add("kept");
  const char* const bytes = table.name(0).data();
  NameTable moved(std::move(table));
  EXPECT_EQ(moved.name(0), "kept");
  EXPECT_EQ(moved.name(0).data(), bytes);
  EXPECT_EQ(table.size(), 0u);
  EXPECT_EQ(table.find("kept"), NameTable::kNotFound);
  EXPECT_EQ(moved.add("ours"), 1u);
  EXPECT_EQ(table.add("them"), 0u);
  EXPECT_EQ(moved.name(1), "ours");
  EXPECT_EQ(table.name(0), "them");
  table = std::move(moved);
  EXPECT_EQ(table.find("ours"), 1u);
  EXPECT_EQ(table.name(0).data(), bytes);
}

}  // namespace
}  // namespace tagtree
