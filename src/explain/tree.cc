// The tree without the capacities: a line's three most frequent tags give each of its
// tags the two most frequent others, which are its parents on that line if any are.
#include "explain/tree.h"

#include <algorithm>

#include "pipeline/inference.h"
#include "pipeline/large_pages.h"

namespace tagtree::explain {
namespace {

// A tag's parents so far.
struct Parents {
  std::uint32_t parent = kNoTag;       // the first found
  std::uint32_t otherParent = kNoTag;  // another, different one
};
// In large pages where they are many: each tag of each line may note a parent.
using ParentTable = std::vector<Parents, LargePageAllocator<Parents>>;

// Notes `parent`, a tag or kNoTag, as a parent in `parents`. kNoTag changes nothing.
void noteParent(Parents& parents, std::uint32_t parent) {
  if (parents.parent == kNoTag) {
    parents.parent = parent;
  } else if (parents.parent != parent && parents.otherParent == kNoTag) {
    parents.otherParent = parent;
  }
}

// Notes in `parents` the parents each tag of `lines` finds on its lines, from the
// counts `counts`: of 32 bits where every count fits, which halves what each tag of each
// line reads at random, or else of 64.
template <typename Count>
void findParents(const LineSlots& lines,
                 const std::vector<Count, LargePageAllocator<Count>>& counts,
                 ParentTable& parents) {
  lines.forEachLine([&](std::span<const std::uint32_t> line) {
    // A tag with two parents has all it needs, and most tags of a large file soon have:
    // a line of only such tags changes nothing.
    if (std::none_of(line.begin(), line.end(),
                     [&](std::uint32_t slot) { return parents[slot].otherParent == kNoTag; }))
      return;
    // The line's three most frequent tags, the most frequent first, ties in line order;
    // a count of 0 marks a place not taken.
    std::uint32_t top0 = kNoTag, top1 = kNoTag, top2 = kNoTag;
    Count count0 = 0, count1 = 0, count2 = 0;
    for (const std::uint32_t slot : line) {
      const Count count = counts[slot];
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
      if (parents[child].otherParent != kNoTag) continue;
      const Count count = counts[child];
      const bool first = child == top0, second = child == top1;
      if (!rareEnoughForChild(count, first ? count1 : count0)) continue;
      noteParent(parents[child], first ? top1 : top0);
      if (rareEnoughForChild(count, first || second ? count2 : count1))
        noteParent(parents[child], first || second ? top2 : top1);
    }
  });
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
  ParentTable parents(counts.size());
  if (std::all_of(counts.begin(), counts.end(), [](std::uint64_t n) { return n <= UINT32_MAX; })) {
    findParents(
        lines,
        std::vector<std::uint32_t, LargePageAllocator<std::uint32_t>>(counts.begin(), counts.end()),
        parents);
  } else {
    findParents(
        lines,
        std::vector<std::uint64_t, LargePageAllocator<std::uint64_t>>(counts.begin(), counts.end()),
        parents);
  }
  UnboundedTree tree;
  tree.spots.resize(parents.size());
  for (std::size_t slot = 0; slot < parents.size(); ++slot) {
    const Parents& tally = parents[slot];
    TreeSpot& spot = tree.spots[slot];
    spot.parent = tally.parent;
    spot.otherParent = tally.otherParent;
    if (tally.parent == kNoTag) {
      spot.place = TreePlace::kTopLevel;
      ++tree.paths;
    } else if (tally.otherParent != kNoTag) {
      spot.place = TreePlace::kManyParents;
      ++tree.manyParents;
    } else if (parents[tally.parent].parent == kNoTag) {
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
