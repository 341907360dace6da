// Reading and grouping in one walk over each line.
//
// Each word is scanned once: its end and its hash come from the same pass, the hash
// table finds its tag, and the tag is counted and added to the line's group at once.
// A full line group does not fail on the spot: the rest of the line is still counted,
// because a 101st tag anywhere in the line must fail first with 41, as it would if the
// line were counted whole before it is grouped.
#include "pipeline/grouping.h"

#include "frame/failure.h"
#include "pipeline/name_index.h"
#include "pipeline/word_scanner.h"

namespace tagtree {

TagGroup& TagGroups::create(const Tag* tag) { return groups_.try_emplace(tag, 0).first->second; }

void groupLines(std::string_view text, Grouping& grouping) {
  NameIndex index;
  const char* p = text.data();
  const char* const end = p + text.size();
  for (int line = 0; p < end; ++line) {
    TagGroup& group = grouping.lineGroupStore_.emplace_back();
    const LineSet lineBit = line < 64 ? LineSet{1} << line : 0;
    bool groupOverflowed = false;
    for (;;) {
      p = skipEmptyWords(p, end);
      const ScannedWord scanned = scanWord(p, end);
      p = scanned.next;
      if (!isSkippedWord(scanned.word)) {
        int slot = index.find(scanned.word, scanned.hash);
        if (slot == NameIndex::kNotFound) {
          if (grouping.allTagCount == kMaxTags) throw boundsFailure(kTooManyTags);
          slot = grouping.allTagCount++;
          Tag& tag = grouping.tagStore_.emplace_back(scanned.word);
          grouping.allTags[slot] = &tag;
          grouping.tagGroups.create(&tag);
          index.insert(scanned.word, scanned.hash, slot);
        } else {
          grouping.allTags[slot]->addOccurrence();
        }
        grouping.lineSets[slot] |= lineBit;
        if (group.full()) {
          groupOverflowed = true;
        } else {
          group.addTag(grouping.allTags[slot]);
        }
      }
      if (scanned.endsLine) break;
    }
    if (groupOverflowed) throw boundsFailure(kTagGroupFull);
    if (grouping.lineGroupCount == kMaxLines) throw boundsFailure(kTooManyLines);
    grouping.lineGroups[grouping.lineGroupCount++] = &group;
  }
}

}  // namespace tagtree
