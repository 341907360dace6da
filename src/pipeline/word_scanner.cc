// Word scanning, 32 bytes at a time.
//
// The scan takes the text in 32-byte blocks. A mask of the block's ';', CR and LF bytes
// (SSE2 on x86-64, eight bytes at a time elsewhere) says at once whether the block can
// end the word; a block that cannot (the common case inside a long name) is mixed
// straight into the word's hash. The hash runs four independent lanes, one per 8-byte
// chunk of a block, so its multiplies overlap instead of waiting on one another.
// Chunks are counted from the start of the word, so the same bytes give the same hash
// wherever the word stands.
#include "pipeline/word_scanner.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tagtree {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

std::uint64_t load8(const char* p) {
  std::uint64_t chunk;
  std::memcpy(&chunk, p, sizeof chunk);
  return chunk;
}

// Loads the first `n` (< 8) bytes at `p`, the rest zero; `end` bounds what may be read.
// Where eight bytes can be read, one load and a mask do it: copying n bytes into a
// zeroed word and loading that back stalls on every short word.
std::uint64_t loadPartial(const char* p, std::size_t n, const char* end) {
  if constexpr (std::endian::native == std::endian::little) {
    if (end - p >= 8) return load8(p) & ~(~std::uint64_t{0} << (8 * n));
  }
  std::uint64_t chunk = 0;
  if (n > 0) std::memcpy(&chunk, p, n);
  return chunk;
}

// Returns the high bit of each byte of `chunk` that equals `byte`, the others zero.
std::uint64_t bytesEqual(std::uint64_t chunk, unsigned char byte) {
  const std::uint64_t x = chunk ^ (kOnes * byte);
  // (x - kOnes) & ~x flags the lowest zero byte exactly, but may also flag a 0x01 byte
  // above a zero byte; the high-bit trick below flags exactly the zero bytes.
  return ~(((x & ~kHighBits) + ~kHighBits) | x) & kHighBits;
}

// A multiply-rotate hash over 8-byte chunks in four lanes (chunk i into lane i % 4),
// finished with the length. Every byte counts, so names alike at both ends still
// differ; each step is a bijection, so two different words of one length under 8 bytes
// never share a hash.
class NameHasher {
 public:
  // Mixes the next chunk into its lane.
  void mix(std::uint64_t chunk) {
    lanes_[chunks_ & 3] = step(lanes_[chunks_ & 3], chunk);
    ++chunks_;
  }
  // Mixes the next four chunks; the chunks mixed so far must be a multiple of four.
  void mix4(const char* p) {
    lanes_[0] = step(lanes_[0], load8(p));
    lanes_[1] = step(lanes_[1], load8(p + 8));
    lanes_[2] = step(lanes_[2], load8(p + 16));
    lanes_[3] = step(lanes_[3], load8(p + 24));
    chunks_ += 4;
  }
  // Returns the hash of the chunks mixed so far, the partial last one, and the length.
  // A word under 8 bytes, the common case, takes one step in one lane.
  std::uint64_t finish(std::uint64_t lastChunk, std::size_t length) {
    std::uint64_t h;
    if (chunks_ == 0) {
      h = step(lanes_[0], lastChunk);
    } else {
      mix(lastChunk);
      h = step(step(step(lanes_[0], lanes_[1]), lanes_[2]), lanes_[3]);
    }
    h = (h ^ length) * 0xFF51AFD7ED558CCDULL;
    return h ^ (h >> 32);  // the table index takes the low bits
  }

 private:
  static std::uint64_t step(std::uint64_t state, std::uint64_t chunk) {
    state ^= chunk * 0x9E3779B97F4A7C15ULL;
    return std::rotl(state, 31) * 0xC2B2AE3D27D4EB4FULL;
  }

  std::uint64_t lanes_[4] = {0x243F6A8885A308D3ULL, 0x13198A2E03707344ULL, 0xA4093822299F31D0ULL,
                             0x082EFA98EC4E6C89ULL};
  std::size_t chunks_ = 0;
};

// Returns whether the byte at `p` ends a word: CR, LF, or the ';' of a "; ".
bool endsWordAt(const char* p, const char* end) {
  const char c = *p;
  return c == '\n' || c == '\r' || (c == ';' && end - p >= 2 && p[1] == ' ');
}

// Builds the result for a word from `begin` that ends at `stop` (a terminator, a
// separator or the end of the text); `chunk` is the first byte not yet mixed into
// `hasher`, at most a block before `stop`.
ScannedWord finishWord(const char* begin, const char* chunk, const char* stop, const char* end,
                       NameHasher& hasher) {
  for (; stop - chunk >= 8; chunk += 8) hasher.mix(load8(chunk));
  const std::size_t length = static_cast<std::size_t>(stop - begin);
  const std::uint64_t hash =
      hasher.finish(loadPartial(chunk, static_cast<std::size_t>(stop - chunk), end), length);
  const std::string_view word(begin, length);
  if (stop == end) return {word, hash, end, true};
  switch (*stop) {
    case ';':
      return {word, hash, stop + 2, false};
    case '\r':
      return {word, hash, (end - stop >= 2 && stop[1] == '\n') ? stop + 2 : stop + 1, true};
    default:  // '\n'
      return {word, hash, stop + 1, true};
  }
}

}  // namespace

std::uint32_t wordEndCandidatesPortable(const char* block) {
  std::uint32_t mask = 0;
  for (int i = 0; i < kBlockSize; i += 8) {
    const std::uint64_t chunk = load8(block + i);
    std::uint64_t found =
        bytesEqual(chunk, ';') | bytesEqual(chunk, '\r') | bytesEqual(chunk, '\n');
    for (; found != 0; found &= found - 1) {
      const int byte = std::countr_zero(found) / 8;  // counted from the low end
      const int offset = std::endian::native == std::endian::little ? byte : 7 - byte;
      mask |= std::uint32_t{1} << (i + offset);
    }
  }
  return mask;
}

std::uint32_t wordEndCandidates(const char* block) {
#if defined(__SSE2__)
  const __m128i semicolon = _mm_set1_epi8(';');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  auto mask16 = [&](const char* p) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hits =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, semicolon), _mm_cmpeq_epi8(bytes, cr)),
                     _mm_cmpeq_epi8(bytes, lf));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
  };
  return mask16(block) | mask16(block + 16) << 16;
#else
  return wordEndCandidatesPortable(block);
#endif
}

ScannedWord scanWord(const char* begin, const char* end) {
  NameHasher hasher;
  const char* chunk = begin;
  while (end - chunk >= kBlockSize) {
    for (std::uint32_t candidates = wordEndCandidates(chunk); candidates != 0;
         candidates &= candidates - 1) {
      const char* const p = chunk + std::countr_zero(candidates);
      if (endsWordAt(p, end)) return finishWord(begin, chunk, p, end, hasher);
    }
    hasher.mix4(chunk);
    chunk += kBlockSize;
  }
  for (const char* p = chunk; p < end; ++p) {
    if (endsWordAt(p, end)) return finishWord(begin, chunk, p, end, hasher);
  }
  return finishWord(begin, chunk, end, end, hasher);
}

const char* skipEmptyWords(const char* p, const char* end) {
  static constexpr char kFourSeparators[] = "; ; ; ; ";
  const std::uint64_t fourSeparators = load8(kFourSeparators);
  while (end - p >= 8 && load8(p) == fourSeparators) p += 8;
  while (end - p >= 2 && p[0] == ';' && p[1] == ' ') p += 2;
  return p;
}

// Compares the text with itself shifted by one unit, eight bytes at a time: a run of
// repeats is passed at the speed of a memcmp, with no per-word work at all.
std::size_t countRepeats(const char* p, const char* end, std::size_t unitSize) {
  const char* q = p;
  while (end - q >= 8 && load8(q) == load8(q - unitSize)) q += 8;
  while (q < end && *q == *(q - unitSize)) ++q;
  return static_cast<std::size_t>(q - p) / unitSize;
}

std::uint64_t nameHash(std::string_view name) {
  NameHasher hasher;
  const char* p = name.data();
  std::size_t left = name.size();
  for (; left >= kBlockSize; p += kBlockSize, left -= kBlockSize) hasher.mix4(p);
  for (; left >= 8; p += 8, left -= 8) hasher.mix(load8(p));
  return hasher.finish(loadPartial(p, left, name.data() + name.size()), name.size());
}

}  // namespace tagtree
