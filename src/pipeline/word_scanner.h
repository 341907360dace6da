// Cuts the input text into lines and words. A line ends at CR, LF or CR LF; words are
// separated by "; ". Each word comes with a hash of its bytes, computed during the same
// pass that finds its end, so looking it up costs no second pass over a long name.
#ifndef TAGTREE_PIPELINE_WORD_SCANNER_H_
#define TAGTREE_PIPELINE_WORD_SCANNER_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tagtree {

struct ScannedWord {
  std::string_view word;  // the word's bytes, pointing into the text
  std::uint64_t hash;     // nameHash(word)
  const char* next;       // where scanning goes on: past the separator or line terminator
  bool endsLine;          // the word was the last of its line
};

// Returns the word that starts at `begin` (begin <= end): it runs up to the first "; ",
// CR or LF, or to `end`. A CR LF pair is consumed as one terminator.
ScannedWord scanWord(const char* begin, const char* end);

// Returns the position after the run of "; " pairs that starts at `p`. Each pair there
// ends an empty word, and empty words are skipped, so the run can be passed over whole.
const char* skipEmptyWords(const char* p, const char* end);

// Size of the blocks the scan examines at once.
inline constexpr int kBlockSize = 32;

// Returns a mask of the bytes of the kBlockSize bytes at `block` that may end a word
// (';', CR, LF): bit i for block[i]. Uses SSE2 where the target has it.
std::uint32_t wordEndCandidates(const char* block);
// The same, eight bytes at a time in plain integers, for targets without SSE2.
std::uint32_t wordEndCandidatesPortable(const char* block);

// Returns how many times the `unitSize` bytes just before `p` repeat back to back from
// `p` on, counting whole copies only (unitSize >= 1, and those bytes lie in the text).
// When the unit is a word and the "; " that ended it, each copy is that word again,
// ended the same way, so a line repeating one word can be passed over in one step.
std::size_t countRepeats(const char* p, const char* end, std::size_t unitSize);

// Returns the hash of `name`; equal to the hash scanWord gives a word with these bytes.
std::uint64_t nameHash(std::string_view name);

// Returns whether a word is skipped rather than taken as a tag: the empty word and " ".
inline bool isSkippedWord(std::string_view word) { return word.empty() || word == " "; }

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_WORD_SCANNER_H_
