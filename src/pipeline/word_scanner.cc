// Word scanning, 32 bytes at a time.
//
// The scan takes the text in 32-byte blocks. One classifier gives the masks of a block
// (SSE2 on x86-64, eight bytes at a time elsewhere), for the word scan and for the skip of
// runs alike: the bytes that end a word (the ';' of each "; ", for which the byte after
// the block is read too, CR and LF), the separators, and the spaces. A block where no
// word ends, the common case inside a long name, is passed at once; a block with one ends
// the word at its lowest bit, with no check per candidate byte. Near the end of the bytes
// at hand, where a block and the byte after it no longer fit, the scan goes on byte by
// byte.
#include "pipeline/word_scanner.h"

#include <bit>

#include "pipeline/byte_load.h"

namespace tagtree {
namespace {

// Returns whether the block at `block` is "; " over and over: empty words, ended by
// separators that lie wholly inside it.
bool holdsOnlyEmptyWords(const char* block) {
  static constexpr char kEmptyWords[] = "; ; ; ; ; ; ; ; ";
#if defined(__SSE2__)
  const __m128i pattern = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kEmptyWords));
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16));
  return _mm_movemask_epi8(
             _mm_and_si128(_mm_cmpeq_epi8(low, pattern), _mm_cmpeq_epi8(high, pattern))) == 0xFFFF;
#else
  const std::uint64_t pattern = load8(kEmptyWords);
  return ((load8(block) ^ pattern) | (load8(block + 8) ^ pattern) | (load8(block + 16) ^ pattern) |
          (load8(block + 24) ^ pattern)) == 0;
#endif
}

}  // namespace

const char* skipRunOfSkippedWords(const char* p, const char* end) {
  // The bytes outside separators are the bytes of words. In a run of skipped words each
  // of them is a space, and no two of them stand side by side. Blocks are taken one after
  // another, carrying over whether a separator or a word byte spans into the next.
  const char* resume = p;  // the start of the first word not yet known to be skipped
  std::uint32_t separatorSpans = 0, wordByteBefore = 0;
  for (const char* block = p; end - block > kBlockSize; block += kBlockSize) {
    if (holdsOnlyEmptyWords(block)) {  // the common run, told with one compare
      resume = block + kBlockSize;
      separatorSpans = wordByteBefore = 0;
      continue;
    }
    const BlockMasks found = classifyBlock(block);
    const std::uint32_t wordBytes = ~(found.separators | found.separators << 1 | separatorSpans);
    const std::uint32_t breaks =
        (wordBytes & ~found.spaces) | (wordBytes & (wordBytes << 1 | wordByteBefore));
    // Every word that ends before the first break is skipped: the word holding it starts
    // after the last separator before it.
    const std::uint32_t before =
        breaks == 0 ? ~std::uint32_t{0} : (std::uint32_t{1} << std::countr_zero(breaks)) - 1;
    const std::uint32_t separators = found.separators & before;
    if (separators != 0) resume = block + (31 - std::countl_zero(separators)) + 2;
    if (breaks != 0) return resume;
    separatorSpans = found.separators >> 31;
    wordByteBefore = wordBytes >> 31;
  }
  p = resume;
  for (;;) {
    if (end - p >= 2 && p[0] == ';' && p[1] == ' ') {
      p += 2;
    } else if (end - p >= 3 && p[0] == ' ' && p[1] == ';' && p[2] == ' ') {
      p += 3;
    } else {
      return p;
    }
  }
}

}  // namespace tagtree
