// Reading and grouping in one walk over each line, as the input streams in.
//
// Each word is scanned once to find its end; the name index finds its tag, and the tag is
// counted and added to the line's group at once. A run of skipped words is passed over
// in one step, so a valid line of millions of empty words costs a scan, not a lookup per
// word.
//
// A limit ends the run the moment it is reached, and nothing more is read: a 101st
// distinct name at once, a 51st line at its end. A line whose group overflows ends the
// run with 180 at its end, unless a 101st distinct name later in the line makes it 41
// first, as it would if the line were counted whole before it is grouped. So the rest of
// such a line goes through the same scan and lookup as any other line, only no longer
// into the group.
#include "pipeline/grouping.h"

#include "frame/failure.h"
#include "pipeline/name_index.h"
#include "pipeline/word_scanner.h"

namespace tagtree {

TagGroup& TagGroups::create(const Tag* tag) { return groups_.try_emplace(tag, 0).first->second; }

// Walks the input line by line, filling a Grouping.
class LineGrouper {
 public:
  LineGrouper(Grouping& grouping, InputWindow& window) : grouping_(grouping), window_(window) {}

  void run() {
    const char* p = window_.begin();
    bool afterCr = false;  // the last line ended at a CR
    for (;;) {
      // A line starts only where a byte is left: a final line end starts none, and the
      // LF of a CR LF pair, however late it arrives, is part of the line end before it.
      while (p == window_.end()) {
        if (!window_.refill(p)) return;
        p = window_.begin();
      }
      if (const char* start = startOfLine(p, afterCr); start != p) {
        p = start;
        afterCr = false;
        continue;
      }
      p = groupLine(p, afterCr);
    }
  }

 private:
  // Returns the word that starts at `p`, reading more input while its end is not in
  // sight; `p` follows the word when the window moves it.
  ScannedWord nextWord(const char*& p) {
    ScannedWord scanned;
    while (!scanner_.scan(p, window_.end(), window_.atEnd(), scanned)) {
      window_.refill(p);
      p = window_.begin();
    }
    return scanned;
  }

  // Returns the slot of the tag named `word` and counts this occurrence of it, making
  // the tag (count 1) if it is new. Throws 41 when a new tag is needed and all slots are
  // in use.
  int countOccurrence(std::string_view word) {
    const int slot = index_.find(word, window_.end());
    if (slot == NameIndex::kNotFound) return addTag(word);
    grouping_.allTags[slot]->addOccurrences(1);
    return slot;
  }

  // Makes a tag named `word` and returns its slot; kept out of the word loop, which
  // seldom needs it.
  [[gnu::noinline]] int addTag(std::string_view word) {
    if (grouping_.allTagCount == kMaxTags) throw boundsFailure(kTooManyTags);
    const int slot = grouping_.allTagCount;
    Tag& tag = grouping_.tagStore_.emplace_back(word);
    grouping_.allTags[slot] = &tag;
    grouping_.tagGroups.create(&tag);
    index_.insert(tag.name(), slot);
    ++grouping_.allTagCount;
    return slot;
  }

  // Groups the line that starts at `p`; returns where it ends, and sets `endedAtCr`.
  const char* groupLine(const char* p, bool& endedAtCr) {
    TagGroup& group = grouping_.lineGroupStore_.emplace_back();
    const LineSet lineBit = LineSet{1} << lineCount_++;
    bool overflowed = false;
    for (;;) {
      p = skipSkippedWords(p, window_.end());
      const ScannedWord scanned = nextWord(p);
      p = scanned.next;
      if (!isSkippedWord(scanned.word)) {
        const int slot = countOccurrence(scanned.word);
        grouping_.lineSets[slot] |= lineBit;
        if (group.full()) {
          overflowed = true;
        } else {
          group.addTag(grouping_.allTags[slot]);
        }
      }
      if (scanned.endsLine) {
        endedAtCr = scanned.endsAtCr;
        break;
      }
    }
    if (overflowed) throw boundsFailure(kTagGroupFull);
    if (grouping_.lineGroupCount == kMaxLines) throw boundsFailure(kTooManyLines);
    grouping_.lineGroups[grouping_.lineGroupCount++] = &group;
    return p;
  }

  Grouping& grouping_;
  InputWindow& window_;
  WordScanner scanner_;
  NameIndex index_;
  int lineCount_ = 0;
};

void groupLines(ByteSource& source, Grouping& grouping, std::size_t readSize) {
  InputWindow window(source, readSize);
  LineGrouper(grouping, window).run();
}

}  // namespace tagtree
