// Second stage: decides, for every ordered pair of tags, whether the second becomes a
// child of the first, from their counts and whether they share a line.
#ifndef TAGTREE_PIPELINE_INFERENCE_H_
#define TAGTREE_PIPELINE_INFERENCE_H_

#include <cstdint>

#include "pipeline/grouping.h"

namespace tagtree {

// Returns the number of input lines that hold both allTags[first] and allTags[second]:
// 0 when they are the same tag. Both must be filled slots.
std::int32_t countTagWith(const Grouping& grouping, int first, int second);

// Returns whether a tag occurring `childCount` times may be the child of one occurring
// `parentCount` times: at most half as often (remainder dropped) plus one.
inline bool rareEnoughForChild(std::uint64_t childCount, std::uint64_t parentCount) {
  return childCount <= parentCount / 2 + 1;
}

// Returns whether allTags[child] becomes a child of allTags[parent]: they share a line,
// and the child is rare enough. Both must be filled slots.
bool becomesChild(const Grouping& grouping, int parent, int child);

// Makes b a child of a, for every ordered pair of distinct tags that share a line where b
// is rare enough: adds b to a's child group, in slot order, and counts a parent for b.
// Throws the bounds failure 180 when a tag gets a 51st child.
void inferParents(Grouping& grouping);

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_INFERENCE_H_
