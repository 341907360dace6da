// Cuts the input into lines and words as it streams in. A line ends at CR, LF or CR LF;
// words are separated by "; ". The input arrives in windows (see input_window.h), so a
// word may run past the bytes at hand: the scanner then says so, and resumes where it
// left off once more bytes are there.
#ifndef TAGTREE_PIPELINE_WORD_SCANNER_H_
#define TAGTREE_PIPELINE_WORD_SCANNER_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tagtree {

struct ScannedWord {
  std::string_view word;  // the word's bytes, pointing into the window
  const char* next;       // where scanning goes on: past the separator or line terminator
  bool endsLine;          // the word was the last of its line
  bool endsAtCr;          // its line ended at a CR, so an LF right after it ends nothing
};

class WordScanner {
 public:
  // Scans the word that starts at `begin`, in the bytes up to `end`; `inputEnds` says
  // that nothing follows `end`. Returns true and fills `scanned` when the word's end is
  // settled: at the first "; ", CR or LF, or at `end` when the input ends there. A CR
  // ends its line at once, whatever follows; the caller passes over an LF right after it
  // (see startOfLine). Returns false when the bytes up to `end` do not settle it: the
  // word runs to `end`, where a ';' may yet start a separator. The caller then brings
  // more bytes and calls again for the same word, moved to wherever it now starts. The
  // blocks scanned so far are not scanned again.
  bool scan(const char* begin, const char* end, bool inputEnds, ScannedWord& scanned);

 private:
  std::size_t scannedBytes_ = 0;  // bytes of an unsettled word known to hold no end
};

// Returns where the line after one that ended just before `p` starts: past an LF at `p`
// when that line ended at a CR (`afterCr`), since CR LF is one line end; else `p`. There
// must be a byte at `p`.
inline const char* startOfLine(const char* p, bool afterCr) {
  return afterCr && *p == '\n' ? p + 1 : p;
}

// Returns the position of the first word from `p` on that is not an empty word or a word
// of one space ended by "; ": each of those is skipped rather than taken as a tag, so a
// run of them can be passed over whole. `p` must start a word.
const char* skipSkippedWords(const char* p, const char* end);

// Returns whether a word is skipped rather than taken as a tag: the empty word and " ".
inline bool isSkippedWord(std::string_view word) { return word.empty() || word == " "; }

// Size of the blocks the scan examines at once.
inline constexpr int kBlockSize = 32;

// Masks of one block: bit i stands for block[i]. Computing them reads kBlockSize + 1
// bytes, since a separator is known only with the byte after its ';'.
struct BlockMasks {
  std::uint32_t separators;  // a "; " starts here
  std::uint32_t wordEnds;    // a word ends here: a separator's ';', CR or LF
  std::uint32_t spaces;      // ' '
  bool operator==(const BlockMasks&) const = default;
};

// Returns the masks of the block at `block`: the one classifier of the word scan and of
// the skip of runs, with SSE2 where the target has it.
BlockMasks classifyBlock(const char* block);
// The same, eight bytes at a time in plain integers, as on targets without SSE2.
BlockMasks classifyBlockPortable(const char* block);

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_WORD_SCANNER_H_
