// The tree without the capacities: a line's three most frequent tags give each of its
// tags the two most frequent others, which are its parents on that line if any are.
#include "explain/tree.h"

#include <array>

#include "pipeline/inference.h"

namespace tagtree::explain {
namespace {

// A tag's parents so far: the first found and another, different one.
void noteParent(TreeSpot& spot, std::uint32_t parent) {
  if (spot.parent == kNoTag) {
    spot.parent = parent;
  } else if (spot.parent != parent && spot.otherParent == kNoTag) {
    spot.otherParent = parent;
  }
}

}  // namespace

void LineSlots::add(std::uint32_t slot) {
  std::uint64_t value = std::uint64_t{slot} + 1;
  while (value >= 0x80) {
    packed_.push_back(static_cast<std::uint8_t>(value | 0x80));
    value >>= 7;
  }
  packed_.push_back(static_cast<std::uint8_t>(value));
  lineOpen_ = true;
}

void LineSlots::endLine() {
  if (!lineOpen_) return;
  packed_.push_back(0);
  lineOpen_ = false;
}

UnboundedTree inferTree(const LineSlots& lines, std::span<const std::uint64_t> counts) {
  UnboundedTree tree;
  std::vector<TreeSpot>& spots = tree.spots;
  spots.resize(counts.size());
  lines.forEachLine([&](std::span<const std::uint32_t> line) {
    // The line's three most frequent tags, the most frequent first; ties in any order.
    std::array<std::uint32_t, 3> top = {kNoTag, kNoTag, kNoTag};
    for (const std::uint32_t slot : line) {
      std::uint32_t moving = slot;
      for (std::uint32_t& place : top) {
        if (place == kNoTag || counts[moving] > counts[place]) std::swap(place, moving);
        if (moving == kNoTag) break;
      }
    }
    // Each tag's parents on the line are a run of the others from the most frequent.
    for (const std::uint32_t child : line) {
      int noted = 0;
      for (const std::uint32_t parent : top) {
        if (parent == kNoTag || noted == 2) break;
        if (parent == child) continue;
        if (!rareEnoughForChild(counts[child], counts[parent])) break;
        noteParent(spots[child], parent);
        ++noted;
      }
    }
  });
  for (TreeSpot& spot : spots) {
    if (spot.parent == kNoTag) {
      spot.place = TreePlace::kTopLevel;
      ++tree.paths;
    } else if (spot.otherParent != kNoTag) {
      spot.place = TreePlace::kManyParents;
      ++tree.manyParents;
    } else if (spots[spot.parent].parent == kNoTag) {
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

// The name table holds fewer than kNoTag names, so every slot is below it.
void TreeCollector::newName(std::uint32_t, std::string_view) { tallies_.push_back({0, 0}); }

UnboundedTree TreeCollector::infer() {
  std::vector<std::uint64_t> counts(tallies_.size());
  for (std::size_t slot = 0; slot < counts.size(); ++slot) counts[slot] = tallies_[slot].count;
  tallies_ = {};
  UnboundedTree tree = inferTree(lines_, counts);
  lines_ = {};
  return tree;
}

}  // namespace tagtree::explain
