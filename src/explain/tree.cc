// The tree without the capacities: a line's three most frequent tags give each of its
// tags the two most frequent others, which are its parents on that line if any are.
#include "explain/tree.h"

#include <algorithm>

#include "pipeline/inference.h"
#include "pipeline/large_pages.h"

namespace tagtree::explain {
namespace {

// What the inference knows of a tag, in one place, since each tag word reads it and
// many write it: its count, and its parents so far.
struct Tally {
  std::uint64_t count;
  std::uint32_t parent = kNoTag;       // the first found
  std::uint32_t otherParent = kNoTag;  // another, different one
};

// Notes `parent`, a tag or kNoTag, as a parent of the tag of `tally`. kNoTag changes
// nothing.
void noteParent(Tally& tally, std::uint32_t parent) {
  if (tally.parent == kNoTag) {
    tally.parent = parent;
  } else if (tally.parent != parent && tally.otherParent == kNoTag) {
    tally.otherParent = parent;
  }
}

}  // namespace

void LineSlots::newBlock() {
  const std::size_t size =
      blocks_.empty()
          ? kFirstBlockSize
          : std::min(kLargePage, 2 * static_cast<std::size_t>(end_ - blocks_.back().get()));
  std::unique_ptr<std::uint8_t[], FreeBlock> block(
      static_cast<std::uint8_t*>(allocateLarge(size, 1)));
  blocks_.reserve(blocks_.size() + 1);
  used_.reserve(blocks_.size());
  if (!blocks_.empty()) used_.push_back(static_cast<std::size_t>(next_ - blocks_.back().get()));
  blocks_.push_back(std::move(block));
  next_ = blocks_.back().get();
  end_ = next_ + size;
}

std::size_t LineSlots::packedBytes() const {
  std::size_t bytes = blocks_.empty() ? 0 : static_cast<std::size_t>(next_ - blocks_.back().get());
  for (const std::size_t used : used_) bytes += used;
  return bytes;
}

UnboundedTree inferTree(const LineSlots& lines, std::span<const std::uint64_t> counts) {
  // In large pages where they are many: each tag of each line reads its tally.
  std::vector<Tally, LargePageAllocator<Tally>> tallies(counts.size());
  for (std::size_t slot = 0; slot < counts.size(); ++slot) tallies[slot].count = counts[slot];
  lines.forEachLine([&](std::span<const std::uint32_t> line) {
    // The line's three most frequent tags, the most frequent first, ties in line order;
    // a count of 0 marks a place not taken.
    std::uint32_t top0 = kNoTag, top1 = kNoTag, top2 = kNoTag;
    std::uint64_t count0 = 0, count1 = 0, count2 = 0;
    for (const std::uint32_t slot : line) {
      const std::uint64_t count = tallies[slot].count;
      if (count > count0) {
        top2 = top1, count2 = count1;
        top1 = top0, count1 = count0;
        top0 = slot, count0 = count;
      } else if (count > count1) {
        top2 = top1, count2 = count1;
        top1 = slot, count1 = count;
      } else if (count > count2) {
        top2 = slot, count2 = count;
      }
    }
    // Each tag's parents on the line are a run of the others from the most frequent: its
    // first two others are parents if they are frequent enough. A place not taken
    // (count 0, kNoTag) may pass for one, but noting kNoTag as a parent changes nothing.
    for (const std::uint32_t child : line) {
      Tally& tally = tallies[child];
      const bool first = child == top0, second = child == top1;
      if (!rareEnoughForChild(tally.count, first ? count1 : count0)) continue;
      noteParent(tally, first ? top1 : top0);
      if (rareEnoughForChild(tally.count, first || second ? count2 : count1))
        noteParent(tally, first || second ? top2 : top1);
    }
  });
  UnboundedTree tree;
  tree.spots.resize(tallies.size());
  for (std::size_t slot = 0; slot < tallies.size(); ++slot) {
    const Tally& tally = tallies[slot];
    TreeSpot& spot = tree.spots[slot];
    spot.parent = tally.parent;
    spot.otherParent = tally.otherParent;
    if (tally.parent == kNoTag) {
      spot.place = TreePlace::kTopLevel;
      ++tree.paths;
    } else if (tally.otherParent != kNoTag) {
      spot.place = TreePlace::kManyParents;
      ++tree.manyParents;
    } else if (tallies[tally.parent].parent == kNoTag) {
      spot.place = TreePlace::kChild;
      ++tree.paths;
    } else {
      spot.place = TreePlace::kUnderChild;
    }
  }
  return tree;
}

std::vector<std::uint32_t> pathOrder(const UnboundedTree& tree) {
  const std::vector<TreeSpot>& spots = tree.spots;
  const auto tags = static_cast<std::uint32_t>(spots.size());
  // Each top-level tag's children as a list through `next`, built from the last slot
  // back so that each list runs in slot order.
  std::vector<std::uint32_t> first(tags, kNoTag), next(tags, kNoTag);
  for (std::uint32_t slot = tags; slot-- > 0;) {
    if (spots[slot].place != TreePlace::kChild) continue;
    next[slot] = first[spots[slot].parent];
    first[spots[slot].parent] = slot;
  }
  std::vector<std::uint32_t> order;
  order.reserve(tree.paths);
  for (std::uint32_t slot = 0; slot < tags; ++slot) {
    if (spots[slot].place != TreePlace::kTopLevel) continue;
    order.push_back(slot);
    for (std::uint32_t child = first[slot]; child != kNoTag; child = next[child])
      order.push_back(child);
  }
  return order;
}

UnboundedTree TreeCollector::infer(const NameTable& names) {
  UnboundedTree tree = inferTree(lines_, names.counts());
  lines_ = {};
  return tree;
}

}  // namespace tagtree::explain
