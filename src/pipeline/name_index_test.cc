// The name index and the hashes it keys by.
#include "pipeline/name_index.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pipeline/name_hash.h"

namespace tagtree {
namespace {

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

TEST(NameKey, TellsShortNamesApartByItself) {
  // The index takes a short name whose key and length match for that name, unread; so no
  // two short names of one length may share a key. All names of up to 2 bytes, and for
  // each longer length up to kDistinctKeyLength, every name one byte away from a few.
  std::set<std::string> names = {""};
  for (int first = 0; first < 256; ++first) {
    names.insert(std::string(1, static_cast<char>(first)));
    for (int second = 0; second < 256; ++second) {
      names.insert(std::string{static_cast<char>(first), static_cast<char>(second)});
    }
  }
  for (std::size_t length = 3; length <= kDistinctKeyLength; ++length) {
    for (const std::string& base :
         {std::string(length, '\0'), std::string("tag\xFF;b\x80z").substr(0, length)}) {
      for (std::size_t at = 0; at < length; ++at) {
        for (int value = 0; value < 256; ++value) {
          std::string name = base;
          name[at] = static_cast<char>(value);
          names.insert(name);
        }
      }
    }
  }
  std::set<std::pair<std::size_t, std::uint64_t>> keys;
  for (const std::string& name : names)
    keys.emplace(name.size(), nameKey(name, name.data() + name.size()));
  EXPECT_EQ(keys.size(), names.size());
}

TEST(NameIndex, FindsEveryNameAndNothingElse) {
  // Short names, and long ones that share their ends, their length and so their key,
  // differing only in the middle.
  std::vector<std::string> names = {"a", "b", "ab", "", std::string(1, '\0'), "x y"};
  for (int i = 0; i < 60; ++i) {
    std::string name(kFullyKeyedLength + 40, '.');
    name[name.size() / 2] = static_cast<char>('A' + i);
    names.push_back(name);
  }
  names.push_back(std::string(kFullyKeyedLength + 40, '.'));  // their common form
  names.push_back(std::string(kFullyKeyedLength + 41, '.'));
  NameIndex index;
  for (int slot = 0; slot < static_cast<int>(names.size()); ++slot) {
    ASSERT_EQ(index.find(names[slot]), NameIndex::kNotFound) << slot;
    index.insert(names[slot], slot);
  }
  for (int slot = 0; slot < static_cast<int>(names.size()); ++slot) {
    EXPECT_EQ(index.find(names[slot]), slot) << slot;
  }
  std::string unknown = names.back();
  unknown[unknown.size() / 2] = 'z';
  for (const std::string& absent : {std::string("c"), std::string("a "), unknown}) {
    EXPECT_EQ(index.find(absent), NameIndex::kNotFound) << absent;
  }
}

}  // namespace
}  // namespace tagtree
