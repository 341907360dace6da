// Cuts the input into lines and words as it streams in. A line ends at CR, LF or CR LF;
// words are separated by "; ". The input arrives in windows (see input_window.h), so a
// word may run past the bytes at hand: the scanner then says so, and resumes where it
// left off once more bytes are there.
#ifndef TAGTREE_PIPELINE_WORD_SCANNER_H_
#define TAGTREE_PIPELINE_WORD_SCANNER_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "pipeline/byte_load.h"
#include "pipeline/name_hash.h"

namespace tagtree {

struct ScannedWord {
  std::string_view word;  // the word's bytes, pointing into the window
  const char* next;       // where scanning goes on: past the separator or line terminator
  bool endsLine;          // the word was the last of its line
  bool endsAtCr;          // its line ended at a CR, so an LF right after it ends nothing
};

class WordScanner {
 public:
  // Makes a scanner whose block hashes start from `seed`, the name hash's.
  explicit WordScanner(std::uint64_t seed = 0) : seed_(seed) { hash_.start(seed); }

  // Scans the word that starts at `begin`, in the bytes up to `end`; `inputEnds` says
  // that nothing follows `end`. Returns true and fills `scanned` when the word's end is
  // settled: at the first "; ", CR or LF, or at `end` when the input ends there. A CR
  // ends its line at once, whatever follows; the caller passes over an LF right after it
  // (see startOfLine). Returns false when the bytes up to `end` do not settle it: the
  // word runs to `end`, where a ';' may yet start a separator. The caller then brings
  // more bytes and calls again for the same word, moved to wherever it now starts. The
  // blocks scanned so far are not scanned again.
  bool scan(const char* begin, const char* end, bool inputEnds, ScannedWord& scanned);

  // Returns the 32-byte blocks of the word last scanned that the scan passed whole,
  // mixed into the lanes of the name hash from the seed (see nameHash), until the next
  // word's scan starts.
  const BlockHash& blockHash() const { return hash_; }

 private:
  std::size_t scannedBytes_ = 0;  // bytes of an unsettled word known to hold no end
  std::uint64_t seed_;
  BlockHash hash_;  // of the blocks of those bytes
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
const char* skipRunOfSkippedWords(const char* p, const char* end);
inline const char* skipSkippedWords(const char* p, const char* end) {
  if (end - p < 2 || (p[0] != ';' && p[0] != ' ')) return p;  // an ordinary word: no run
  return skipRunOfSkippedWords(p, end);
}

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

// The classifier and the scan are inline: the walk scans every word, most of them short,
// and a call would pass each word's bounds through memory.
namespace word_scan_detail {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Returns the high bit of each byte of `chunk` that equals `byte`, the others zero.
inline std::uint64_t bytesEqual(std::uint64_t chunk, unsigned char byte) {
  const std::uint64_t x = chunk ^ (kOnes * byte);
  // (x - kOnes) & ~x flags the lowest zero byte exactly, but may also flag a 0x01 byte
  // above a zero byte; the high-bit trick below flags exactly the zero bytes.
  return ~(((x & ~kHighBits) + ~kHighBits) | x) & kHighBits;
}

// Returns one bit per flagged byte of a chunk loaded with load8 (`flags` holds byte high
// bits): bit j for the byte j places after the chunk's first byte in memory.
inline std::uint32_t inMemoryOrder(std::uint64_t flags) {
  std::uint32_t mask = 0;
  for (; flags != 0; flags &= flags - 1) {
    const int byte = std::countr_zero(flags) / 8;  // counted from the low end
    mask |= std::uint32_t{1} << (std::endian::native == std::endian::little ? byte : 7 - byte);
  }
  return mask;
}

// Returns whether the byte at `p` ends a word, where a byte follows it: CR, LF, or the
// ';' of a "; ".
inline bool endsWordAt(const char* p, const char* end) {
  const char c = *p;
  return c == '\n' || c == '\r' || (c == ';' && end - p >= 2 && p[1] == ' ');
}

// Returns the masks of the block at `block`, eight bytes at a time in plain integers.
[[gnu::always_inline]] inline BlockMasks masksPortable(const char* block) {
  std::uint32_t semicolons = 0, lineEnds = 0, spaces = 0;
  for (int i = 0; i < kBlockSize; i += 8) {
    const std::uint64_t chunk = load8(block + i);
    semicolons |= inMemoryOrder(bytesEqual(chunk, ';')) << i;
    lineEnds |= inMemoryOrder(bytesEqual(chunk, '\r') | bytesEqual(chunk, '\n')) << i;
    spaces |= inMemoryOrder(bytesEqual(chunk, ' ')) << i;
  }
  const std::uint32_t spaceAfter = spaces >> 1 | std::uint32_t{block[kBlockSize] == ' '} << 31;
  const std::uint32_t separators = semicolons & spaceAfter;
  return {separators, separators | lineEnds, spaces};
}

#if defined(__SSE2__)
// The same with SSE2, sixteen bytes at a time. A separator is a ';' whose next byte, in
// the same lane of the load one byte on, is a space.
[[gnu::always_inline]] inline BlockMasks masks(const char* block) {
  const __m128i semicolon = _mm_set1_epi8(';');
  const __m128i space = _mm_set1_epi8(' ');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  BlockMasks found{0, 0, 0};
  for (int half = 0; half < kBlockSize; half += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + half));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + half + 1));
    const auto bits = [&](__m128i flags) {
      return static_cast<std::uint32_t>(_mm_movemask_epi8(flags)) << half;
    };
    const __m128i separators =
        _mm_and_si128(_mm_cmpeq_epi8(bytes, semicolon), _mm_cmpeq_epi8(next, space));
    const __m128i lineEnds = _mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf));
    found.separators |= bits(separators);
    found.wordEnds |= bits(_mm_or_si128(separators, lineEnds));
    found.spaces |= bits(_mm_cmpeq_epi8(bytes, space));
  }
  return found;
}

// Returns masks(block).wordEnds, looking at the second half of the block only where the
// first holds no word end: most words end within 16 bytes of their start.
[[gnu::always_inline]] inline std::uint32_t wordEnds(const char* block) {
  const __m128i semicolon = _mm_set1_epi8(';');
  const __m128i space = _mm_set1_epi8(' ');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const auto endsIn = [&](int half) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + half));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + half + 1));
    const __m128i flags =
        _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(bytes, semicolon), _mm_cmpeq_epi8(next, space)),
                     _mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(flags));
  };
  static_assert(kBlockSize == 32, "a block is two halves of 16 bytes");
  if (const std::uint32_t ends = endsIn(0)) return ends;
  return endsIn(16) << 16;
}

// Returns false where no word ends in the block at `block`: no byte of it is followed by
// a space, and none is CR or LF, nor any other of the bytes 0x08 to 0x0F, told by one
// compare. Fewer steps than masks, for the blocks inside a long word.
[[gnu::always_inline]] inline bool mayEndWord(const char* block) {
  const __m128i space = _mm_set1_epi8(' ');
  const __m128i low3 = _mm_set1_epi8(0x07);
  const __m128i lineEnd = _mm_set1_epi8(0x0F);  // '\r' and '\n' with their low 3 bits set
  const auto load = [block](int at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + at));
  };
  const __m128i spaces =
      _mm_or_si128(_mm_cmpeq_epi8(load(1), space), _mm_cmpeq_epi8(load(17), space));
  const __m128i lineEnds = _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(load(0), low3), lineEnd),
                                        _mm_cmpeq_epi8(_mm_or_si128(load(16), low3), lineEnd));
  return _mm_movemask_epi8(_mm_or_si128(spaces, lineEnds)) != 0;
}

#else
[[gnu::always_inline]] inline BlockMasks masks(const char* block) { return masksPortable(block); }
[[gnu::always_inline]] inline std::uint32_t wordEnds(const char* block) {
  return masksPortable(block).wordEnds;
}
[[gnu::always_inline]] inline bool mayEndWord(const char*) { return true; }
#endif

}  // namespace word_scan_detail

// Returns the masks of the block at `block`: the one classifier of the word scan and of
// the skip of runs, with SSE2 where the target has it.
inline BlockMasks classifyBlock(const char* block) { return word_scan_detail::masks(block); }
// The same, eight bytes at a time in plain integers, as on targets without SSE2.
inline BlockMasks classifyBlockPortable(const char* block) {
  return word_scan_detail::masksPortable(block);
}

[[gnu::always_inline]] inline bool WordScanner::scan(const char* begin, const char* end,
                                                     bool inputEnds, ScannedWord& scanned) {
  const char* chunk = begin + scannedBytes_;
  const char* stop = nullptr;
  // The lanes hold their start wherever no block is mixed in: a word that passed none,
  // the common case, leaves nothing to undo.
  if (scannedBytes_ == 0 && hash_.blocks != 0) hash_.start(seed_);
  // Most words end in their first block: settled there, they leave the lanes alone.
  bool firstHoldsNoEnd = false;
  if (chunk == begin && end - chunk > kBlockSize) {
    if (const std::uint32_t ends = word_scan_detail::wordEnds(chunk)) {
      stop = chunk + std::countr_zero(ends);
    } else {
      firstHoldsNoEnd = true;
    }
  }
  if (stop == nullptr && end - chunk > kBlockSize) {
    // The lanes stay in registers through the loop: stored to the member after each
    // block, as the bytes read might alias it, each step would wait on a store and a load.
    BlockHash hash = hash_;
    if (firstHoldsNoEnd) {
      hash.mix(chunk);
      chunk += kBlockSize;
    }
    for (; end - chunk > kBlockSize; chunk += kBlockSize) {
      // A cheaper test first: most blocks inside a long word hold no end.
      if (word_scan_detail::mayEndWord(chunk)) {
        if (const std::uint32_t ends = word_scan_detail::wordEnds(chunk)) {
          stop = chunk + std::countr_zero(ends);
          break;
        }
      }
      hash.mix(chunk);  // a block of the word, while it is at hand
    }
    hash_ = hash;
  }
  if (stop == nullptr) {
    for (const char* p = chunk; p < end; ++p) {
      if (word_scan_detail::endsWordAt(p, end)) {
        stop = p;
        break;
      }
    }
  }

  if (stop == nullptr) {  // no end in sight: the word runs to `end`
    if (!inputEnds) {     // more may follow, and a ';' just before `end` may be a separator
      scannedBytes_ = static_cast<std::size_t>(chunk - begin);
      return false;
    }
    scanned = {std::string_view(begin, static_cast<std::size_t>(end - begin)), end, true, false};
  } else {
    const bool separator = *stop == ';';
    scanned = {std::string_view(begin, static_cast<std::size_t>(stop - begin)),
               stop + (separator ? 2 : 1), !separator, *stop == '\r'};
  }
  scannedBytes_ = 0;
  return true;
}

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_WORD_SCANNER_H_
