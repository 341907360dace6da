// The name index and the hashes it keys by.
#include "pipeline/name_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/name_hash.h"

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

// Hashes that crowd names on purpose, so that the index must find them by the bytes and
// the overflow: every name shares one start of its search, one key and one full hash;
// long names share one key but not their full hashes; or each hash takes one of four
// values, so that windows overlap and names crowd several places at once.
struct ConstantHashing {
  static std::uint64_t shortHash(std::uint64_t, std::size_t) { return 42; }
  static std::uint64_t key(std::string_view, const char*) { return 42; }
  static std::uint64_t fullHash(std::string_view) { return 42; }
  static std::uint64_t hashedStart(std::string_view, std::uint64_t) { return 42; }
};
struct OneKeyHashing : NameHashing {
  static std::uint64_t key(std::string_view, const char*) { return 7; }
};
struct FourValuedHashing {
  static std::uint64_t shortHash(std::uint64_t word, std::size_t size) {
    return NameHashing::shortHash(word, size) & 3;
  }
  static std::uint64_t key(std::string_view name, const char* readable) {
    return nameKey(name, readable) & 3;
  }
  static std::uint64_t fullHash(std::string_view name) { return nameHash(name) & 3; }
  static std::uint64_t hashedStart(std::string_view, std::uint64_t hash) { return hash; }
};

template <typename Index>
class NameIndexTest : public ::testing::Test {};
using Indexes = ::testing::Types<NameIndex, BasicNameIndex<ConstantHashing>,
                                 BasicNameIndex<OneKeyHashing>, BasicNameIndex<FourValuedHashing>>;
TYPED_TEST_SUITE(NameIndexTest, Indexes);

TYPED_TEST(NameIndexTest, FindsEveryNameAndNothingElse) {
  // Short names, kept whole in their entries, alike but for their last byte or their
  // length (a NUL pads a short name's entry); names just too long for an entry; long
  // ones alike at both ends, which share their length and so their key, and differ only
  // in the middle; names keyed by their full hash; and enough of them all to grow the
  // table a few times. Each is found in its slot, at every size the table passes through.
  std::vector<std::string> names = {
      "a",          "b",        "ab",       "",         std::string(1, '\0'), std::string("a\0", 2),
      "x y",        "abcdefg1", "abcdefg2", "abcdefgh", "abcdefgh1",          "abcdefgh2",
      "abcdefgh\0"s};
  for (int i = 0; i < 60; ++i) {
    std::string name(kFullyKeyedLength + 40, '.');
    name[name.size() / 2] = static_cast<char>('A' + i);
    names.push_back(name);
  }
  names.push_back(std::string(kFullyKeyedLength + 40, '.'));  // their common form
  names.push_back(std::string(kFullyKeyedLength + 41, '.'));
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
  // Short names whose bytes, as a number, are a small key: where hashes take few values,
  // their entries' words are long names' keys too, and only the shape tells them apart.
  for (char low = 0; low < 4; ++low) {
    for (std::size_t size = low == 0 ? 2 : 1; size <= 8; ++size) {  // "\0" is known
      absentNames.push_back(low + std::string(size - 1, '\0'));
    }
  }
  for (const std::string& absent : absentNames) {
    EXPECT_EQ(index.find(absent), TypeParam::kNotFound) << absent;
  }
}

}  // namespace
}  // namespace tagtree
