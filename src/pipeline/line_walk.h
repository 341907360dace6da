// The one walk over the input, shared by tagtree and tagtree-explain: it cuts the input
// into lines and words as it streams in, passes over the words that are not tags, finds
// each tag word's name in the name table it is handed (adding the names it meets for the
// first time), and tells a visitor what it meets. What the visitor makes of it, and which
// limits it holds the input to, is its own affair. Names reach the visitor by slot, and
// their bytes stay in the table: no visitor keeps a copy.
//
// Each word is scanned once to find its end and looked up once. A run of skipped words
// is passed over in one step, so a line of millions of empty words costs a scan, not a
// lookup per word.
#ifndef TAGTREE_PIPELINE_LINE_WALK_H_
#define TAGTREE_PIPELINE_LINE_WALK_H_

#include <cstdint>
#include <string_view>

#include "pipeline/input_window.h"
#include "pipeline/name_table.h"
#include "pipeline/word_scanner.h"

namespace tagtree {

// A tag word the walk has met.
struct TagWord {
  std::uint32_t slot;    // its name's slot in the walk's name table
  bool firstOccurrence;  // its name was met here for the first time
  bool repeatsInLine;    // its name occurred before in the same line
  bool startsLine;       // no word came before it in its line, skipped words included
  bool endsLine;         // no word follows it in its line
};

// What the walk tells a visitor, in the order the input holds it:
//   visitor.startLine()            a line begins; a final line end starts none;
//   visitor.newName(slot, name)    a tag word names a tag not met before, now in the
//                                  table at `slot`; its tagWord follows;
//   visitor.tagWord(word)          a tag word: which name, and where it stands;
//   visitor.endLine()              the line has ended.
// The empty word and " " are skipped: the visitor never hears of them. Any call may
// throw, which ends the walk at once: nothing more is read.
//
// A visitor may also have crLineEnd(bool followedByLf): told, for a line that ended at a
// CR, whether an LF came right after it (CR LF, one line end) or not (a CR alone). It is
// told once the next byte is known, or the input has ended, so after that line's endLine.
template <typename Visitor>
concept LineVisitor = requires(Visitor& visitor, std::uint32_t slot, std::string_view name,
                               const TagWord& word) {
  visitor.startLine();
  visitor.newName(slot, name);
  visitor.tagWord(word);
  visitor.endLine();
};

// Walks the bytes of `window` to their end, finding each tag word's name in `names` and
// adding the names it meets for the first time, and telling `visitor` (a LineVisitor)
// what it meets. `names` belongs to the caller, and outlives the walk: the stages after
// it read names by slot, and the tag words of each, which the walk counts in `names`
// (NameTable::counts): no walk may have counted any there before. Returns at the end of the input.
// Throws what the window and the visitor throw, and std::bad_alloc when a name does not fit in
// memory.
template <typename Visitor>
requires LineVisitor<Visitor>
void walkLines(InputWindow& window, NameTable& names, Visitor& visitor);

template <typename Visitor>
class LineWalker {
 public:
  LineWalker(InputWindow& window, NameTable& names, Visitor& visitor)
      : window_(window), names_(names), visitor_(visitor), scanner_(names.seed()) {}

  void run() {
    const char* p = window_.begin();
    bool afterCr = false;  // the last line ended at a CR
    for (;;) {
      // A line starts only where a byte is left: a final line end starts none, and the
      // LF of a CR LF pair, however late it arrives, is part of the line end before it.
      while (p == window_.end()) {
        if (!window_.refill(p)) {
          if (afterCr) crLineEnd(false);
          return;
        }
        p = window_.begin();
      }
      if (afterCr) crLineEnd(*p == '\n');
      if (const char* start = startOfLine(p, afterCr); start != p) {
        p = start;
        afterCr = false;
        continue;
      }
      p = walkLine(p, afterCr);
    }
  }

 private:
  // A tag word scanned ahead of its lookup.
  struct Ahead {
    std::string_view word;
    std::uint64_t hash;  // of its name, whose entry is on its way to the cache
    bool startsLine, endsLine;
  };
  // The tag words scanned ahead of their lookups at most.
  static constexpr int kAhead = 8;

  // Walks the line that starts at `p`; returns where it ends, and sets `endedAtCr`. The
  // words that end within the bytes at hand are scanned a few at a time before they are
  // looked up, each starting to load what its lookup reads first, so that where the name
  // table outgrows the cache their waits overlap. A word that needs more input is taken
  // alone, after those before it.
  const char* walkLine(const char* p, bool& endedAtCr) {
    ++line_;
    visitor_.startLine();
    bool lineStart = true;  // no word has been scanned in the line, skipped words included
    for (;;) {
      Ahead* const ahead = ahead_;
      int count = 0;
      bool ended = false, startsLine = false, unsettled = false;
      ScannedWord scanned;
      for (;;) {
        const char* const word = skipSkippedWords(p, window_.end());
        startsLine = lineStart && word == p;
        lineStart = false;
        p = word;
        if (!scanner_.scan(p, window_.end(), window_.atEnd(), scanned)) {
          unsettled = true;  // the word runs past the bytes at hand
          break;
        }
        p = scanned.next;
        if (!isSkippedWord(scanned.word)) {  // each field stored alone, read back whole
          Ahead& next = ahead[count++];
          next.word = scanned.word;
          next.hash = names_.prefetch(scanned.word, window_.end(), &scanner_.blockHash());
          next.startsLine = startsLine;
          next.endsLine = scanned.endsLine;
        }
        ended = scanned.endsLine;
        // A word as large as a store block may take the window's buffer: none after it is
        // scanned before it is looked up.
        if (ended || count == kAhead || scanned.word.size() >= NameStore::kBlockSize) break;
      }
      for (int i = 0; i < count; ++i) tag(ahead[i], p);
      if (unsettled) {
        scanned = nextWord(p);
        p = scanned.next;
        if (!isSkippedWord(scanned.word)) {
          tag({scanned.word, names_.prefetch(scanned.word, window_.end(), &scanner_.blockHash()),
               startsLine, scanned.endsLine},
              p);
        }
        ended = scanned.endsLine;
      }
      if (ended) {
        endedAtCr = scanned.endsAtCr;
        break;
      }
    }
    visitor_.endLine();
    return p;
  }

  // Finds the name of `word` in the table, adding it if it is new, and tells the visitor;
  // `p`, which follows the word, moves with its byte where the name takes the window's
  // buffer.
  [[gnu::always_inline]] void tag(const Ahead& word, const char*& p) {
    NameIndex::Seen seen = names_.see(word.word, window_.end(), line_, word.hash);
    const bool first = seen.slot == NameTable::kNotFound;
    if (first) {
      const std::size_t size = word.word.size();
      const std::uint32_t slot = isOwnBlock(word.word)
                                     ? names_.add(window_.takeFront(size, p), size, word.hash)
                                     : names_.add(word.word, word.hash);
      visitor_.newName(slot, names_.name(slot));
      const std::string_view name = names_.name(slot);
      seen = names_.see(name, name.data() + size, line_, word.hash);  // its first occurrence
    }
    visitor_.tagWord(TagWord{seen.slot, first, seen.again, word.startsLine, word.endsLine});
  }

  // Tells the visitor that wants to know how a line that ended at a CR ended.
  void crLineEnd(bool followedByLf) {
    if constexpr (requires { visitor_.crLineEnd(followedByLf); }) {
      visitor_.crLineEnd(followedByLf);
    }
  }

  // Returns whether the new name `word` takes the window's buffer rather than a copy: a
  // name as large as a block of the name store, which would get a block of its own
  // anyway, and which starts the window, as a word longer than a read does.
  bool isOwnBlock(std::string_view word) const {
    return word.size() >= NameStore::kBlockSize && word.data() == window_.begin();
  }

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

  InputWindow& window_;
  NameTable& names_;
  Visitor& visitor_;
  WordScanner scanner_;
  std::uint64_t line_ = 0;  // the lines started, the current one's number
  Ahead ahead_[kAhead];     // the words of a line scanned ahead, made once
};

template <typename Visitor>
requires LineVisitor<Visitor>
void walkLines(InputWindow& window, NameTable& names, Visitor& visitor) {
  LineWalker<Visitor>(window, names, visitor).run();
}

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_LINE_WALK_H_
