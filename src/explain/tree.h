// The tree tagtree would print if its capacities had no bound: its rule, that a tag takes
// as its children the tags on its lines that occur at most half as often plus one,
// applied to a file of any size. tagtree tries every pair of tags, which is quadratic in
// them; here each line is read once, for its three most frequent tags. A tag's parents on
// a line are the others that occur at least 2 * (count - 1) times, the most frequent
// first, and what places a tag is whether it has no parent, one (which), or two or more:
// so the two most frequent others on each of its lines tell it all.
#ifndef TAGTREE_EXPLAIN_TREE_H_
#define TAGTREE_EXPLAIN_TREE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "pipeline/large_pages.h"
#include "pipeline/line_walk.h"
#include "pipeline/name_table.h"

namespace tagtree::explain {

// No tag: a slot no name takes.
inline constexpr std::uint32_t kNoTag = UINT32_MAX;

// The distinct tags of each line that holds two or more, by slot, packed: a few bytes a
// tag, in blocks that are never moved, so that growing costs no copy and no room twice
// over, each twice the size of the one before up to a large page (see large_pages.h), so
// that a large file's lines cost few page faults and a small file's little memory. A line of one
// tag gives the tree nothing, since no other tag shares it, so it is not kept: its slot waits until
// a second one comes.
class LineSlots {
 public:
  // Adds `slot` (< kNoTag) to the line being built; it must not be in that line yet.
  void add(std::uint32_t slot) {
    if (lineSlots_ < 2) {
      if (lineSlots_++ == 0) {
        first_ = slot;
        return;
      }
      put(first_);
    }
    put(slot);
  }
  // Ends the line being built; a line of fewer than two tags is not kept.
  void endLine() {
    if (lineSlots_ >= 2) *next_++ = 0;
    lineSlots_ = 0;
  }
  // Calls `visit(std::span<const std::uint32_t>)` with the slots of each line kept, in
  // the order the lines were ended, each line's in the order they were added.
  template <typename Visit>
  void forEachLine(Visit&& visit) const;
  // Returns the bytes the lines take packed.
  std::size_t packedBytes() const;

 private:
  static constexpr std::size_t kFirstBlockSize = 64 * 1024;
  static constexpr std::size_t kLongestSlot = 5;  // bytes

  // Packs `slot`, keeping room for the line's end after it.
  void put(std::uint32_t slot) {
    if (static_cast<std::size_t>(end_ - next_) < kLongestSlot + 1) newBlock();
    std::uint32_t value = slot + 1;  // slot < kNoTag, so no wrap
    for (; value >= 0x80; value >>= 7) *next_++ = static_cast<std::uint8_t>(value | 0x80);
    *next_++ = static_cast<std::uint8_t>(value);  // the first 127 names met take a byte
  }
  void newBlock();

  // Each line is its slots, each as slot + 1 in 7-bit groups, the low group first and
  // every group but the last with its top bit set, and a 0 byte after the last slot. A
  // slot's bytes are never split between two blocks, and a line may be.
  struct FreeBlock {
    void operator()(std::uint8_t* block) const { freeLarge(block); }
  };
  std::vector<std::unique_ptr<std::uint8_t[], FreeBlock>> blocks_;
  std::vector<std::size_t> used_;  // the bytes used in each block but the last
  std::uint8_t* next_ = nullptr;   // where the last block's next byte goes
  std::uint8_t* end_ = nullptr;    // the end of the last block
  std::uint32_t first_ = kNoTag;   // the line's first slot, not packed while it is alone
  unsigned lineSlots_ = 0;         // the slots added to the line being built, up to 2
};

// Where a tag stands in the tree without the capacities.
enum class TreePlace : std::uint8_t {
  kTopLevel,     // no tag takes it: printed as "/tag"
  kChild,        // one tag takes it, a top-level one: printed as "/parent/tag"
  kManyParents,  // two or more tags take it: left out
  kUnderChild,   // one tag takes it, and another takes that one: left out
};

struct TreeSpot {
  TreePlace place = TreePlace::kTopLevel;
  // kChild and kUnderChild: the one parent. kManyParents: two of its parents, different
  // ones (the most frequent others on the first lines that give two). Else kNoTag.
  std::uint32_t parent = kNoTag;
  std::uint32_t otherParent = kNoTag;
};

struct UnboundedTree {
  std::vector<TreeSpot> spots;    // by slot
  std::uint64_t paths = 0;        // the paths it prints: top-level and child tags
  std::uint64_t manyParents = 0;  // the tags with two or more parents
};

// Returns the tree of the lines `lines`, whose tags occur `counts[slot]` times (>= 1)
// each: every slot of a line is below counts.size(). Takes time linear in the slots of
// the lines and the counts.
UnboundedTree inferTree(const LineSlots& lines, std::span<const std::uint64_t> counts);

// Returns the slots of the tags `tree` prints, in the order of its paths, as tagtree
// orders its listing: each top-level tag in slot order (first occurrence), followed at
// once by its children in slot order. A slot whose place is kChild is a child's path,
// under spots[slot].parent; any other is a top-level tag's.
std::vector<std::uint32_t> pathOrder(const UnboundedTree& tree);

// Gathers from the walk what the tree needs, as a LineVisitor: the distinct tags of each
// line of two or more, a few bytes a tag word that does not repeat one before it in its
// line. The walk counts each tag's words in its name table.
class TreeCollector {
 public:
  void startLine() {}
  void newName(std::uint32_t, std::string_view) {}
  void tagWord(const TagWord& word) {
    if (!word.repeatsInLine) lines_.add(word.slot);
  }
  void endLine() { lines_.endLine(); }

  // Returns the tree of what the walk told it, whose names and their counts are in
  // `names`, and frees what it gathered.
  UnboundedTree infer(const NameTable& names);

 private:
  LineSlots lines_;
};

template <typename Visit>
void LineSlots::forEachLine(Visit&& visit) const {
  std::vector<std::uint32_t> line;
  for (std::size_t block = 0; block < blocks_.size(); ++block) {
    const std::uint8_t* byte = blocks_[block].get();
    const std::uint8_t* const end = block < used_.size() ? byte + used_[block] : next_;
    while (byte != end) {
      std::uint32_t value = *byte++;
      if (value >= 0x80) {
        value &= 0x7Fu;
        for (unsigned shift = 7;; shift += 7) {
          const std::uint32_t group = *byte++;
          value |= (group & 0x7Fu) << shift;
          if (group < 0x80) break;
        }
      }
      if (value != 0) {
        line.push_back(value - 1);
      } else {
        visit(std::span<const std::uint32_t>(line));
        line.clear();
      }
    }
  }
}

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_TREE_H_
