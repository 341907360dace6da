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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "pipeline/byte_load.h"

namespace tagtree {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Returns the high bit of each byte of `chunk` that equals `byte`, the others zero.
std::uint64_t bytesEqual(std::uint64_t chunk, unsigned char byte) {
  const std::uint64_t x = chunk ^ (kOnes * byte);
  // (x - kOnes) & ~x flags the lowest zero byte exactly, but may also flag a 0x01 byte
  // above a zero byte; the high-bit trick below flags exactly the zero bytes.
  return ~(((x & ~kHighBits) + ~kHighBits) | x) & kHighBits;
}

// Returns one bit per flagged byte of a chunk loaded with load8 (`flags` holds byte high
// bits): bit j for the byte j places after the chunk's first byte in memory.
std::uint32_t inMemoryOrder(std::uint64_t flags) {
  std::uint32_t mask = 0;
  for (; flags != 0; flags &= flags - 1) {
    const int byte = std::countr_zero(flags) / 8;  // counted from the low end
    mask |= std::uint32_t{1} << (std::endian::native == std::endian::little ? byte : 7 - byte);
  }
  return mask;
}

// Returns whether the byte at `p` ends a word, where a byte follows it: CR, LF, or the
// ';' of a "; ".
bool endsWordAt(const char* p, const char* end) {
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

#else
[[gnu::always_inline]] inline BlockMasks masks(const char* block) { return masksPortable(block); }
#endif

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

BlockMasks classifyBlock(const char* block) { return masks(block); }
BlockMasks classifyBlockPortable(const char* block) { return masksPortable(block); }

bool WordScanner::scan(const char* begin, const char* end, bool inputEnds, ScannedWord& scanned) {
  const char* chunk = begin + scannedBytes_;
  const char* stop = nullptr;
  for (; end - chunk > kBlockSize; chunk += kBlockSize) {
    if (const std::uint32_t ends = masks(chunk).wordEnds) {
      stop = chunk + std::countr_zero(ends);
      break;
    }
  }
  if (stop == nullptr) {
    for (const char* p = chunk; p < end; ++p) {
      if (endsWordAt(p, end)) {
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

const char* skipSkippedWords(const char* p, const char* end) {
  if (end - p < 2 || (p[0] != ';' && p[0] != ' ')) return p;  // an ordinary word: no run
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
    const BlockMasks found = masks(block);
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
