// A program for the instruction tests alone: records the names of files.in, one a line,
// in a name index whose hash gives every name the same value, then finds each again.
// Under cachegrind its instruction count is what the index costs when every name
// collides, which must grow with the names, not with their square. Exits 0 when every
// name is found in the slot its first occurrence was given, 1 when one is not, and 2
// when files.in cannot be read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/name_index.h"

namespace {

// Every name has the same hash, so only the bytes tell names apart.
struct ConstantHashing {
  static std::uint64_t hash(std::string_view, const char*, std::uint64_t,
                            const tagtree::BlockHash* = nullptr) {
    return 42;
  }
};

}  // namespace

int main() {
  std::ifstream file("files.in", std::ios::binary);
  if (!file) return 2;
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::vector<std::string_view> names;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    names.push_back(std::string_view(text).substr(start, end - start));
    start = end + 1;
  }
  tagtree::BasicNameIndex<ConstantHashing> index;
  std::vector<std::uint32_t> slots;
  for (const std::string_view name : names) {
    std::uint32_t slot = index.find(name);
    if (slot == index.kNotFound) slot = index.insert(name);
    slots.push_back(slot);
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (index.find(names[i]) != slots[i]) return 1;
  }
  return 0;
}
