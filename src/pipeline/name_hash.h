// The hash of a name, for the name index: a multiply-rotate step over 8-byte chunks,
// finished with the length and a mix that brings every bit down to the low bits, which
// pick a name's place. A long name's 32-byte blocks go through four lanes, a chunk each,
// so that their multiplies overlap rather than wait on one another. The hash starts from
// a seed that each run draws anew (runSeed), so that names cannot be made beforehand to
// share it; the index bounds its work even where they do.
#ifndef TAGTREE_PIPELINE_NAME_HASH_H_
#define TAGTREE_PIPELINE_NAME_HASH_H_

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pipeline/byte_load.h"

namespace tagtree {

// Returns the first 8 bytes of `name`, or all of a shorter one with the rest zero, as
// load8 places them. Bytes up to `readable` (at or after the end of the name) may be
// read, which spares a short name a byte-wise copy.
inline std::uint64_t nameHead(std::string_view name, const char* readable) {
  return name.size() >= 8 ? load8(name.data()) : loadPartial(name.data(), name.size(), readable);
}

// Returns the state `h` with the chunk `chunk` mixed in: one step of the hash.
inline std::uint64_t hashStep(std::uint64_t h, std::uint64_t chunk) {
  return std::rotl(h ^ chunk, 29) * 0x9E3779B97F4A7C15ULL;
}

// The four lanes of a name's leading 32-byte blocks, each block's chunks one a lane, so
// that their multiplies overlap rather than wait on one another. The word scan takes them
// as it passes each block, so that a long word is read once before it is compared.
struct BlockHash {
  std::uint64_t lanes[4];
  std::size_t blocks = 0;  // the blocks mixed in

  // Starts the lanes from `seed`, with no block mixed in.
  void start(std::uint64_t seed) {
    lanes[0] = seed ^ 0x243F6A8885A308D3ULL;
    lanes[1] = seed ^ 0x13198A2E03707344ULL;
    lanes[2] = seed ^ 0xA4093822299F31D0ULL;
    lanes[3] = seed ^ 0x082EFA98EC4E6C89ULL;
    blocks = 0;
  }
  // Mixes in the 32 bytes at `block`, the next block of the name.
  void mix(const char* block) {
    for (int lane = 0; lane < 4; ++lane)
      lanes[lane] = hashStep(lanes[lane], load8(block + 8 * lane));
    ++blocks;
  }
};

// Returns the hash from the state `h` of a name of `size` bytes: a mix that brings every
// bit down to the low bits, which pick a name's place.
inline std::uint64_t hashFinish(std::uint64_t h, std::size_t size) {
  h = (h ^ size ^ (h >> 32)) * 0xFF51AFD7ED558CCDULL;
  return h ^ (h >> 29);
}

// Names longer than this are hashed by blocks in four lanes; shorter ones in one.
inline constexpr std::size_t kLanedName = 40;

// Returns nameHash(name, readable, seed, done) for a name of more than kLanedName bytes:
// out of line, so that the short ones' few steps stay inline.
std::uint64_t nameHashLong(std::string_view name, const char* readable, std::uint64_t seed,
                           const BlockHash* done);

// Returns the hash of `name` from `seed`, which depends on every byte and on the length.
// `readable` is as for nameHead. A name of up to 8 bytes, the common case, takes one
// step; one of up to kLanedName a step for each 8 bytes, in one lane; a longer one its
// whole 32-byte blocks in four lanes, then the rest in one. `done`, where given, holds
// the first of those blocks already mixed in from `seed`, none past the name's end.
[[gnu::always_inline]] inline std::uint64_t nameHash(std::string_view name, const char* readable,
                                                     std::uint64_t seed,
                                                     const BlockHash* done = nullptr) {
  if (name.size() > kLanedName) return nameHashLong(name, readable, seed, done);
  std::uint64_t h = hashStep(seed ^ 0x243F6A8885A308D3ULL, nameHead(name, readable));
  if (name.size() > 8) {  // the rest, 8 bytes a step, the last 1 to 8 alone
    const char* p = name.data() + 8;
    std::size_t left = name.size() - 8;
    for (; left > 8; p += 8, left -= 8) h = hashStep(h, load8(p));
    h = hashStep(h, left == 8 ? load8(p) : loadPartial(p, left, readable));
  }
  return hashFinish(h, name.size());
}

inline std::uint64_t nameHash(std::string_view name, std::uint64_t seed = 0) {
  return nameHash(name, name.data() + name.size(), seed);
}

// Returns the seed of this run: drawn from the kernel's random bytes the first time, or,
// where it has none to give, from the clock and where the program was loaded. Never
// fails.
std::uint64_t runSeed();

// The hash the name index places names by, as a policy: BasicNameIndex takes another in
// tests, one that gives every name the same hash, to show its work stays bounded.
struct NameHashing {
  [[gnu::always_inline]] static std::uint64_t hash(std::string_view name, const char* readable,
                                                   std::uint64_t seed,
                                                   const BlockHash* done = nullptr) {
    return nameHash(name, readable, seed, done);
  }
};

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_HASH_H_
