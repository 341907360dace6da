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

#include "pipeline/line_walk.h"

namespace tagtree::explain {

// No tag: a slot no name takes.
inline constexpr std::uint32_t kNoTag = UINT32_MAX;

// The distinct tags of each line that holds any, by slot, packed: a few bytes a tag, in
// blocks that are never moved, so that growing costs no copy and no room twice over.
class LineSlots {
 public:
  // Adds `slot` (< kNoTag) to the line being built; it must not be in that line yet.
  void add(std::uint32_t slot) {
    if (free_ < kLongestSlot + 1) newBlock();  // room for the slot and its line's end
    if (slot < 0x7F) {
      put(static_cast<std::uint8_t>(slot + 1));  // the first 127 names met, often the most used
    } else {
      addLarge(slot);
    }
    lineOpen_ = true;
  }
  // Ends the line being built; a line without tags is not kept.
  void endLine() {
    if (!lineOpen_) return;
    put(0);
    lineOpen_ = false;
  }
  // Calls `visit(std::span<const std::uint32_t>)` with the slots of each line kept, in
  // the order the lines were ended, each line's in the order they were added.
  template <typename Visit>
  void forEachLine(Visit&& visit) const;
  // Returns the bytes the lines take packed.
  std::size_t packedBytes() const;

 private:
  static constexpr std::size_t kBlockSize = 64 * 1024;
  static constexpr std::size_t kLongestSlot = 5;  // bytes

  void put(std::uint8_t byte) {
    blocks_.back()[kBlockSize - free_] = byte;
    --free_;
  }
  void newBlock();
  void addLarge(std::uint32_t slot);

  // Each line is its slots, each as slot + 1 in 7-bit groups, the low group first and
  // every group but the last with its top bit set, and a 0 byte after the last slot. A
  // slot's bytes are never split between two blocks, and a line may be.
  std::vector<std::unique_ptr<std::uint8_t[]>> blocks_;  // of kBlockSize bytes each
  std::vector<std::size_t> used_;  // the bytes used in each block but the last
  std::size_t free_ = 0;           // the bytes not used at the end of the last block
  bool lineOpen_ = false;          // the line being built has a slot
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

// Gathers from the walk what the tree needs, as a LineVisitor: each tag's count, and the
// distinct tags of each line. It keeps 16 bytes a distinct name, and a few bytes a tag
// word that does not repeat one before it in its line.
class TreeCollector {
 public:
  void startLine() { ++line_; }
  void newName(std::uint32_t slot, std::string_view name);
  void tagWord(const TagWord& word) {
    Tally& tally = tallies_[word.slot];
    ++tally.count;
    if (tally.lastLine == line_) return;
    tally.lastLine = line_;
    lines_.add(word.slot);
  }
  void endLine() { lines_.endLine(); }

  // Returns the tree of what the walk told it, and frees what it gathered.
  UnboundedTree infer();

 private:
  struct Tally {
    std::uint64_t count;
    std::uint64_t lastLine;  // the last line it occurred on
  };
  std::uint64_t line_ = 0;      // the lines started, the current one's number
  std::vector<Tally> tallies_;  // by slot
  LineSlots lines_;
};

template <typename Visit>
void LineSlots::forEachLine(Visit&& visit) const {
  std::vector<std::uint32_t> line;
  for (std::size_t block = 0; block < blocks_.size(); ++block) {
    const std::uint8_t* byte = blocks_[block].get();
    const std::uint8_t* const end =
        byte + (block < used_.size() ? used_[block] : kBlockSize - free_);
    while (byte != end) {
      std::uint64_t value = *byte & 0x7Fu;
      for (unsigned shift = 7; (*byte++ & 0x80u) != 0; shift += 7)
        value |= std::uint64_t{*byte & 0x7Fu} << shift;
      if (value != 0) {
        line.push_back(static_cast<std::uint32_t>(value - 1));
      } else {
        visit(std::span<const std::uint32_t>(line));
        line.clear();
      }
    }
  }
}

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_TREE_H_
