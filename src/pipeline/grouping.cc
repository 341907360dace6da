// Reading and grouping in one walk over each line, as the input streams in.
//
// Each word is scanned once to find its end; the name index finds its tag, and the tag is
// counted and added to the line's group at once.
// A run of skipped words and a run of one word repeated are each passed over in one
// step, so hostile lines of millions of such words cost a scan, not a lookup per word.
//
// A line whose group overflows ends the run with 180, unless a 101st distinct name later
// in the line makes it 41 first, as it would if the line were counted whole before it is
// grouped. From the overflow on, counts and line sets no longer matter: the rest of the
// line is only searched for new names, and a stretch that repeats words seen before in
// the line is passed over whole.
#include "pipeline/grouping.h"

#include <bit>
#include <limits>

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

// Walks the input line by line, filling a Grouping.
class LineGrouper {
 public:
  LineGrouper(Grouping& grouping, InputWindow& window) : grouping_(grouping), window_(window) {}

  void run() {
    const char* p = window_.begin();
    for (;;) {
      // A line starts only where a byte is left: a final terminator starts none.
      while (p == window_.end()) {
        if (!window_.refill(p)) return;
        p = window_.begin();
      }
      p = groupLine(p);
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

  // Returns the slot of the tag named `word`, making the tag if it is new. Throws 41
  // when a new tag is needed and all slots are in use.
  int slotOf(std::string_view word) {
    const int slot = index_.find(word, window_.end());
    return slot != NameIndex::kNotFound ? slot : addTag(word);
  }

  // Makes a tag named `word` and returns its slot; slotOf without the lookup, kept out of
  // the word loops, which seldom need it.
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

  // Groups the line that starts at `p`; returns where the next line starts.
  const char* groupLine(const char* p) {
    TagGroup& group = grouping_.lineGroupStore_.emplace_back();
    const int line = lineCount_++;
    const LineSet lineBit = line < 64 ? LineSet{1} << line : 0;
    for (;;) {
      p = skipSkippedWords(p, window_.end());
      const ScannedWord scanned = nextWord(p);
      p = scanned.next;
      // The same short word again straight after its "; ": the whole run is taken at
      // once. A long word costs more to scan than to look up, so it is not tried: the
      // compare would run up to where the next long word differs.
      std::uint64_t occurrences = 1;
      if (!scanned.endsLine && scanned.word.size() <= kMaxRepeatedWord) {
        const std::size_t unitSize = scanned.word.size() + 2;
        const std::size_t repeats = countRepeats(p, window_.end(), unitSize);
        occurrences += repeats;
        p += repeats * unitSize;
      }
      if (!isSkippedWord(scanned.word)) {
        const int tagsBefore = grouping_.allTagCount;
        const int slot = slotOf(scanned.word);
        Tag* const tag = grouping_.allTags[slot];
        // A new tag starts with count 1, its first occurrence.
        tag->addOccurrences(slot == tagsBefore ? occurrences - 1 : occurrences);
        grouping_.lineSets[slot] |= lineBit;
        if (!addRepeatedly(group, tag, occurrences)) {
          if (!scanned.endsLine) searchRestOfLineForNewNames(p);
          throw boundsFailure(kTagGroupFull);
        }
      }
      if (scanned.endsLine) break;
    }
    if (grouping_.lineGroupCount == kMaxLines) throw boundsFailure(kTooManyLines);
    grouping_.lineGroups[grouping_.lineGroupCount++] = &group;
    return p;
  }

  // Scans the rest of a line whose group has overflowed, from the word at `p`, making a
  // tag of each new name (so a 101st throws 41). Short words are taken a block at a time,
  // straight from the block's mask of word ends. Every so many words it looks for a
  // repeating stretch: where a word was seen before in this line, the text since then is
  // a run of whole words; if it repeats straight on, the copies hold no new name and are
  // passed over in one step. Trying at every word would cost a branch that a line of no
  // pattern mispredicts again and again.
  void searchRestOfLineForNewNames(const char* p) {
    constexpr std::uint64_t kNotSeen = std::numeric_limits<std::uint64_t>::max();
    constexpr unsigned kWordsBetweenTries = 64;
    std::array<std::uint64_t, kMaxTags> lastStart;  // input offset of each tag's last word
    lastStart.fill(kNotSeen);
    unsigned wordsToTry = kWordsBetweenTries;
    const char* tryFrom = nullptr;  // a word seen before in this line, and where it was
    std::uint64_t tryPrevious = 0;
    // Notes the tag word [start, stop), and every so many words marks it for a try.
    auto note = [&](const char* start, const char* stop) {
      const int slot = slotOf(std::string_view(start, static_cast<std::size_t>(stop - start)));
      const std::uint64_t previous = lastStart[slot];
      lastStart[slot] = window_.offsetOf(start);
      if (--wordsToTry != 0 || previous == kNotSeen) return;
      wordsToTry = kWordsBetweenTries;
      tryFrom = start;
      tryPrevious = previous;
    };
    for (;;) {
      p = skipSkippedWords(p, window_.end());
      if (window_.end() - p > kBlockSize) {
        if (std::uint32_t ends = wordEndMask(p)) {
          const char* start = p;
          for (; ends != 0; ends &= ends - 1) {
            const char* const stop = p + std::countr_zero(ends);
            const std::string_view word(start, static_cast<std::size_t>(stop - start));
            if (!isSkippedWord(word)) note(start, stop);
            if (*stop != ';') return;  // CR or LF: the line ends
            start = stop + 2;
          }
          p = start;
          if (tryFrom != nullptr) p = passRepeats(tryFrom, tryPrevious, p);
          tryFrom = nullptr;
          continue;
        }
      }
      // A word longer than a block, or the last bytes at hand: the general way.
      const ScannedWord scanned = nextWord(p);
      p = scanned.next;
      if (!isSkippedWord(scanned.word)) {
        note(scanned.word.data(), scanned.word.data() + scanned.word.size());
        if (tryFrom != nullptr && !scanned.endsLine) p = passRepeats(tryFrom, tryPrevious, p);
        tryFrom = nullptr;
      }
      if (scanned.endsLine) return;
    }
  }

  // Returns where scanning goes on after `p` (a word start in the line), when the words
  // since the one at `from` was last seen, at input offset `previous` in this line,
  // repeat straight on from `from`: after the last whole copy, if that is further on.
  const char* passRepeats(const char* from, std::uint64_t previous, const char* p) {
    if (previous < window_.offsetOf(window_.begin())) return p;  // no longer at hand
    const std::size_t unitSize = static_cast<std::size_t>(window_.offsetOf(from) - previous);
    const char* const after = from + countRepeats(from, window_.end(), unitSize) * unitSize;
    return after > p ? after : p;
  }

  Grouping& grouping_;
  InputWindow& window_;
  WordScanner scanner_;
  NameIndex index_;
  int lineCount_ = 0;
};

void groupLines(ByteSource& source, Grouping& grouping, std::size_t readSize) {
  InputWindow window(source, readSize);
  try {
    LineGrouper(grouping, window).run();
  } catch (const BoundsFailure&) {
    window.drain();
    throw;
  }
}

}  // namespace tagtree
