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

TEST(NameIndex, FindsEveryNameAndNothingElse) {
  // Short names, kept whole in their entries, alike but for their last byte or their
  // length (a NUL pads a short name's entry); names just too long for an entry; long
  // ones alike at both ends, which share their length and so their key, and differ only
  // in the middle; and enough of them all to grow the table a few times. Each is found
  // in its slot, at every size the table passes through.
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
  for (int i = 0; i < 2000; ++i) names.push_back("tag" + std::to_string(i));
  NameIndex index;
  for (std::uint32_t slot = 0; slot < names.size(); ++slot) {
    ASSERT_EQ(index.find(names[slot]), NameIndex::kNotFound) << slot;
    ASSERT_EQ(index.insert(names[slot]), slot);
    if ((slot & (slot + 1)) == 0 || slot + 1 == names.size()) {  // 0, 1, 3, 7, ... and the last
      for (std::uint32_t known = 0; known <= slot; ++known) {
        ASSERT_EQ(index.find(names[known]), known) << known << " of " << slot + 1;
      }
    }
  }
  EXPECT_EQ(index.size(), names.size());
  std::string unknown = names[13];
  unknown[unknown.size() / 2] = '!';
  for (const std::string& absent : {"c"s, "a "s, "ab\0"s, "abcdefg"s, "abcdefg3"s, "abcdefgh3"s,
                                    "abcdefgh\0\0"s, unknown, "tag2000"s, "tag"s}) {
    EXPECT_EQ(index.find(absent), NameIndex::kNotFound) << absent;
  }
}

}  // namespace
}  // namespace tagtree
