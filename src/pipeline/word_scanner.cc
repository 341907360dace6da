// Word scanning, eight bytes at a time.
//
// The scan loads the text in 8-byte chunks. A chunk without ';', CR or LF (the common
// case inside a name) is mixed straight into the word's hash; only a chunk holding one
// of those bytes is looked at byte by byte. Chunks are counted from the start of the
// word, so the same bytes give the same hash wherever the word stands.
#include "pipeline/word_scanner.h"

#include <bit>
#include <cstring>

namespace tagtree {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

std::uint64_t load8(const char* p) {
  std::uint64_t chunk;
  std::memcpy(&chunk, p, sizeof chunk);
  return chunk;
}

// Loads the first `n` (< 8) bytes at `p`, the rest zero.
std::uint64_t loadPartial(const char* p, std::size_t n) {
  std::uint64_t chunk = 0;
  if (n > 0) std::memcpy(&chunk, p, n);
  return chunk;
}

// Returns nonzero when some byte of `chunk` equals `byte`.
std::uint64_t hasByte(std::uint64_t chunk, unsigned char byte) {
  const std::uint64_t x = chunk ^ (kOnes * byte);
  return (x - kOnes) & ~x & kHighBits;
}

bool mayEndWord(std::uint64_t chunk) {
  return (hasByte(chunk, ';') | hasByte(chunk, '\r') | hasByte(chunk, '\n')) != 0;
}

// A multiply-rotate hash over 8-byte chunks, finished with the length and an avalanche
// step, so that names alike at both ends still spread over the table.
class NameHasher {
 public:
  void mix(std::uint64_t chunk) {
    state_ ^= chunk * 0x9E3779B97F4A7C15ULL;
    state_ = std::rotl(state_, 31) * 0xC2B2AE3D27D4EB4FULL;
  }
  std::uint64_t finish(std::uint64_t lastChunk, std::size_t length) {
    mix(lastChunk);
    std::uint64_t h = state_ ^ length;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDULL;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ULL;
    h ^= h >> 33;
    return h;
  }

 private:
  std::uint64_t state_ = 0x243F6A8885A308D3ULL;
};

// Returns whether the byte at `p` ends a word: CR, LF, or the ';' of a "; ".
bool endsWordAt(const char* p, const char* end) {
  const char c = *p;
  return c == '\n' || c == '\r' || (c == ';' && end - p >= 2 && p[1] == ' ');
}

// Builds the result for a word from `begin` that ends at `stop` (a terminator, a
// separator or the end of the text); `chunk` is where the last partial chunk starts.
ScannedWord finishWord(const char* begin, const char* chunk, const char* stop, const char* end,
                       NameHasher& hasher) {
  const std::size_t length = static_cast<std::size_t>(stop - begin);
  const std::uint64_t hash =
      hasher.finish(loadPartial(chunk, static_cast<std::size_t>(stop - chunk)), length);
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

ScannedWord scanWord(const char* begin, const char* end) {
  NameHasher hasher;
  const char* chunk = begin;
  while (end - chunk >= 8) {
    const std::uint64_t bytes = load8(chunk);
    if (mayEndWord(bytes)) {
      for (const char* p = chunk; p < chunk + 8; ++p) {
        if (endsWordAt(p, end)) return finishWord(begin, chunk, p, end, hasher);
      }
    }
    hasher.mix(bytes);
    chunk += 8;
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
  while (left >= 8) {
    hasher.mix(load8(p));
    p += 8;
    left -= 8;
  }
  return hasher.finish(loadPartial(p, left), name.size());
}

}  // namespace tagtree
