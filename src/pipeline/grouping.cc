// Grouping: the tags, counts, line groups and line sets of the input, built from the
// shared walk of its lines and words.
//
// A limit ends the run the moment it is reached, and nothing more is read: a 101st
// distinct name at once, a 51st line at its end. A line whose group overflows ends the
// run with 180 at its end, unless a 101st distinct name later in the line makes it 41
// first. So the rest of such a line goes through the same walk as any other line, only
// no longer into the group.
#include "pipeline/grouping.h"

#include "base/failure.h"

namespace tagtree {

TagGroup& TagGroups::create() { return groups_.emplace_back(0); }

void GroupingBuilder::startLine() {
  group_ = &grouping_.lineGroupStore_.emplace_back();
  lineBit_ = LineSet{1} << lineCount_++;
  overflowed_ = false;
}

void GroupingBuilder::newName(std::uint32_t slot, std::string_view name) {
  if (grouping_.allTagCount == kMaxTags) throw boundsFailure(kTooManyTags);
  Tag& tag = grouping_.tagStore_.emplace_back(name, slot);
  grouping_.allTags[grouping_.allTagCount++] = &tag;
  grouping_.tagGroups.create();  // tag's, by its slot
}

void GroupingBuilder::tagWord(const TagWord& word) {
  Tag* const tag = grouping_.allTags[word.slot];
  if (!word.firstOccurrence) tag->addOccurrences(1);  // a new tag starts at 1
  grouping_.lineSets[word.slot] |= lineBit_;
  if (group_->full()) {
    overflowed_ = true;
  } else {
    group_->addTag(tag);
  }
}

void GroupingBuilder::endLine() {
  if (overflowed_) throw boundsFailure(kTagGroupFull);
  if (grouping_.lineGroupCount == kMaxLines) throw boundsFailure(kTooManyLines);
  grouping_.lineGroups[grouping_.lineGroupCount++] = group_;
}

void groupLines(ByteSource& source, NameTable& names, Grouping& grouping, std::size_t readSize) {
  InputWindow window(source, readSize);
  GroupingBuilder builder(grouping);
  walkLines(window, names, builder);
}

}  // namespace tagtree
