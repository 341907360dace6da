// Reading and grouping in one walk over each line.
//
// Each word is scanned once: its end and its hash come from the same pass, the hash
// table finds its tag, and the tag is counted and added to the line's group at once.
// A run of "; " pairs (empty words) and a run of one word repeated are each passed
// over in one step, so hostile lines of millions of such words cost a scan, not a
// lookup per word.
// A full line group does not fail on the spot: the rest of the line is still counted,
// because a 101st tag anywhere in the line must fail first with 41, as it would if the
// line were counted whole before it is grouped.
#include "pipeline/grouping.h"

#include "frame/failure.h"
#include "pipeline/name_index.h"
#include "pipeline/word_scanner.h"

namespace tagtree {

namespace {

// Longest word for which a run of repeats is looked for.
constexpr std::size_t kMaxRepeatedWord = 256;

// Adds `tag` to `group` `times` times, as far as there is room. Returns whether all
// fitted.
bool addRepeatedly(TagGroup& group, const Tag* tag, std::uint64_t times) {
  for (; times > 0; --times) {
    if (group.full()) return false;
    group.addTag(tag);
  }
  return true;
}

}  // namespace

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
      // The same short word again straight after its "; ": the whole run is taken at
      // once. A long word costs more to scan than to look up, so it is not tried: the
      // compare would run up to where the next long word differs.
      std::uint64_t occurrences = 1;
      if (!scanned.endsLine && scanned.word.size() <= kMaxRepeatedWord) {
        const std::size_t unitSize = scanned.word.size() + 2;
        const std::size_t repeats = countRepeats(p, end, unitSize);
        occurrences += repeats;
        p += repeats * unitSize;
      }
      if (!isSkippedWord(scanned.word)) {
        int slot = index.find(scanned.word, scanned.hash);
        if (slot == NameIndex::kNotFound) {
          if (grouping.allTagCount == kMaxTags) throw boundsFailure(kTooManyTags);
          slot = grouping.allTagCount++;
          Tag& tag = grouping.tagStore_.emplace_back(scanned.word);  // count 1
          grouping.allTags[slot] = &tag;
          grouping.tagGroups.create(&tag);
          index.insert(scanned.word, scanned.hash, slot);
          tag.addOccurrences(occurrences - 1);
        } else {
          grouping.allTags[slot]->addOccurrences(occurrences);
        }
        grouping.lineSets[slot] |= lineBit;
        if (!addRepeatedly(group, grouping.allTags[slot], occurrences)) groupOverflowed = true;
      }
      if (scanned.endsLine) break;
    }
    if (groupOverflowed) throw boundsFailure(kTagGroupFull);
    if (grouping.lineGroupCount == kMaxLines) throw boundsFailure(kTooManyLines);
    grouping.lineGroups[grouping.lineGroupCount++] = &group;
  }
}

}  // namespace tagtree
