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

// Hashes that crowd names on purpose, so that the index must find them by their bytes
// and the overflow: every name shares one hash (small; past what a size_t of 32 bits
// holds; or 6 short of 2^64, so that a window wraps), or each hash takes one of four
// values, so that windows overlap and names crowd several places at once.
template <std::uint64_t kHash>
struct ConstantHashing {
  static std::uint64_t hash(std::string_view, const char*, std::uint64_t,
                            const BlockHash* = nullptr) {
    return kHash;
  }
};
using SmallHashing = ConstantHashing<42>;
using WideHashing = ConstantHashing<(std::uint64_t{1} << 40) + 42>;
using WrappingHashing = ConstantHashing<~std::uint64_t{0} - 5>;
struct FourValuedHashing {
  static std::uint64_t hash(std::string_view name, const char* readable, std::uint64_t seed,
                            const BlockHash* done = nullptr) {
    return nameHash(name, readable, seed, done) & 3;
  }
};

template <typename Index>
class NameIndexTest : public ::testing::Test {};
// Counts of 8 bits pass their most and line stamps start afresh every 255 lines, in the
// table and in the overflow alike.
using Indexes =
    ::testing::Types<NameIndex, BasicNameIndex<SmallHashing>, BasicNameIndex<WideHashing>,
                     BasicNameIndex<WrappingHashing>, BasicNameIndex<FourValuedHashing>,
                     BasicNameIndex<NameHashing, std::uint8_t>,
                     BasicNameIndex<SmallHashing, std::uint8_t>>;
TYPED_TEST_SUITE(NameIndexTest, Indexes);

// Short names alike but for their last byte or their length (a NUL pads a name's last
// chunk); names a byte past a whole chunk, or past the 16 bytes an entry holds; long ones
// alike at both ends, which differ only in the middle; and enough of them all to grow the
// table a few times.
std::vector<std::string> testNames() {
  std::vector<std::string> names = {"a",
                                    "b",
                                    "ab",
                                    "",
                                    std::string(1, '\0'),
                                    std::string("a\0", 2),
                                    "x y",
                                    "abcdefg1",
                                    "abcdefg2",
                                    "abcdefgh",
                                    "abcdefgh1",
                                    "abcdefgh2",
                                    "abcdefgh\0"s,
                                    "abcdefghijklmnop",
                                    "abcdefghijklmnoq",
                                    "abcdefghijklmnop1",
                                    "abcdefghijklmnop2",
                                    "abcdefghijklmnop\0"s,
                                    "abcdefghijklmnopq"};
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
  return names;
}

TYPED_TEST(NameIndexTest, FindsEveryNameAndNothingElse) {
  // Each name is found in its slot, at every size the table passes through.
  const std::vector<std::string> names = testNames();
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
                                          "abcdefghijklmno"s,
                                          "abcdefghijklmnor"s,
                                          "abcdefghijklmnop3"s,
                                          "abcdefghijklmnopr"s,
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

TYPED_TEST(NameIndexTest, CountsEachNameAndTellsItsRepeatsInALine) {
  // Each name is seen on lines of its own, where the table grows, names move to the
  // overflow and back, and on later lines again: its counts and repeats follow it.
  const std::vector<std::string> names = testNames();
  TypeParam index(7);
  std::vector<std::uint64_t> counts(names.size()), lastLines(names.size());
  const auto seeOn = [&](std::uint32_t slot, std::uint64_t line) {
    const char* const end = names[slot].data() + names[slot].size();
    return index.see(names[slot], end, line, index.prefetch(names[slot], end));
  };
  const auto see = [&](std::uint32_t slot, std::uint64_t line) {
    const auto seen = seeOn(slot, line);
    ASSERT_EQ(seen.slot, slot) << names[slot];
    EXPECT_EQ(seen.again, lastLines[slot] == line) << names[slot] << " on line " << line;
    ++counts[slot];
    lastLines[slot] = line;
  };
  for (std::uint32_t slot = 0; slot < names.size(); ++slot) {
    const std::uint64_t line = 1 + slot / 3;  // three new names a line
    const auto absent = seeOn(slot, line);
    EXPECT_EQ(absent.slot, TypeParam::kNotFound);
    EXPECT_FALSE(absent.again);
    ASSERT_EQ(index.insert(names[slot]), slot);
    see(slot, line);
    see(slot / 2, line);  // an older name, or this one again
    if (slot % 5 == 0) see(slot, line);
  }
  for (std::uint32_t slot = 0; slot < names.size(); slot += 7) see(slot, 1'000'000);
  // One name far more often than a narrow count holds, on lines that come in ones and
  // jump past what a narrow stamp holds.
  for (std::uint64_t line = 1'000'000; line < 1'000'600; ++line) {
    see(5, line);
    see(5, line);
    if (line % 100 == 0) line += 10'000 + line % 300;
  }
  see(5, std::uint64_t{1} << 40);
  EXPECT_EQ(index.counts(), counts);
}

// Where every name shares the hash, the first kWindow names fill the window from where it
// places them, and every other goes to the overflow: the window is bounded however large
// the hash, which a size_t of 32 bits cannot hold, and where it wraps past 2^64.
template <typename Hashing>
void expectWindowOfSixteen() {
  BasicNameIndex<Hashing> index;
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back("name" + std::to_string(i));
  for (std::uint32_t slot = 0; slot < names.size(); ++slot) {
    ASSERT_EQ(index.insert(names[slot]), slot);
    EXPECT_EQ(index.overflowSize(), slot < 16 ? 0 : slot + 1 - 16) << slot;
  }
  for (std::uint32_t slot = 0; slot < names.size(); ++slot)
    EXPECT_EQ(index.find(names[slot]), slot);
}

TEST(NameIndex, KeepsAWindowOfSixteenEntriesWhateverTheHash) {
  expectWindowOfSixteen<SmallHashing>();
  expectWindowOfSixteen<WideHashing>();
  expectWindowOfSixteen<WrappingHashing>();
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
