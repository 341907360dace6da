// The name index and the hashes it keys by.
#include "pipeline/name_index.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
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
  // two short names of one length may share a key. All names of up to 2 bytes, and many
  // of each longer length up to kDistinctKeyLength, varied in every byte.
  std::map<std::uint64_t, std::string> names;
  auto add = [&](const std::string& name) {
    const auto [it, added] = names.try_emplace(nameKey(name, name.data() + name.size()), name);
    EXPECT_TRUE(added || it->second.size() != name.size() || it->second == name) << name;
  };
  add("");
  for (int first = 0; first < 256; ++first) {
    add(std::string(1, static_cast<char>(first)));
    for (int second = 0; second < 256; ++second) {
      add(std::string{static_cast<char>(first), static_cast<char>(second)});
    }
  }
  for (std::size_t length = 3; length <= kDistinctKeyLength; ++length) {
    for (std::uint32_t i = 0; i < 20000; ++i) {
      std::string name(length, '\0');
      for (std::size_t k = 0; k < length; ++k)
        name[k] = static_cast<char>(i * 2654435761u >> (k * 4));
      add(name);
    }
  }
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
