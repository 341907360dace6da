// Parent inference over the line sets: sharing a line is one AND of two 64-bit masks.
#include "pipeline/inference.h"

#include <bit>

namespace tagtree {

std::int32_t countTagWith(const Grouping& grouping, int first, int second) {
  if (first == second) return 0;  // each name has exactly one slot
  return std::popcount(grouping.lineSets[first] & grouping.lineSets[second]);
}

bool becomesChild(const Grouping& grouping, int parent, int child) {
  return countTagWith(grouping, parent, child) >= 1 &&
         rareEnoughForChild(grouping.allTags[child]->count(), grouping.allTags[parent]->count());
}

void inferParents(Grouping& grouping) {
  for (int a = 0; a < grouping.allTagCount; ++a) {
    const Tag* parent = grouping.allTags[a];
    TagGroup& children = grouping.tagGroups.of(parent);
    for (int b = 0; b < grouping.allTagCount; ++b) {
      const Tag* child = grouping.allTags[b];
      if (becomesChild(grouping, a, b)) {
        children.addTag(child);
        grouping.tagGroups.of(child).addParent();
      }
    }
  }
}

}  // namespace tagtree
