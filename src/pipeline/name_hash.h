// The hash of a name, for the name index: a multiply-rotate step over 8-byte chunks,
// finished with the length and a mix that brings every bit down to the low bits, which
// pick a name's place. A long name's 32-byte blocks go through four lanes, a chunk each,
// so that their multiplies overlap rather than wait on one another. The hash starts from
// a seed that each run draws anew (runSeed), so that names cannot be made beforehand to
// share it; the index bounds its work even where they do.
#ifndef TAGTREE_PIPELINE_NAME_HASH_H_
#define TAGTREE_PIPELINE_NAME_HASH_H_

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

// Returns the hash of `name` from `seed`, which depends on every byte and on the length.
// `readable` is as for nameHead. A name of up to 8 bytes, the common case, takes one
// step; one of up to 40 takes a step for each 8 bytes, in one lane.
inline std::uint64_t nameHash(std::string_view name, const char* readable, std::uint64_t seed) {
  std::uint64_t h = hashStep(seed ^ 0x243F6A8885A308D3ULL, nameHead(name, readable));
  if (name.size() > 8) {
    const char* p = name.data() + 8;
    std::size_t left = name.size() - 8;
    if (left > 32) {
      std::uint64_t b = seed ^ 0x13198A2E03707344ULL, c = seed ^ 0xA4093822299F31D0ULL,
                    d = seed ^ 0x082EFA98EC4E6C89ULL;
      for (; left > 32; p += 32, left -= 32) {
        h = hashStep(h, load8(p));
        b = hashStep(b, load8(p + 8));
        c = hashStep(c, load8(p + 16));
        d = hashStep(d, load8(p + 24));
      }
      h = hashStep(hashStep(hashStep(h, b), c), d);
    }
    for (; left > 8; p += 8, left -= 8) h = hashStep(h, load8(p));
    h = hashStep(h, left == 8 ? load8(p) : loadPartial(p, left, readable));  // the last 1 to 8
  }
  h = (h ^ name.size() ^ (h >> 32)) * 0xFF51AFD7ED558CCDULL;
  return h ^ (h >> 29);
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
  static std::uint64_t hash(std::string_view name, const char* readable, std::uint64_t seed) {
    return nameHash(name, readable, seed);
  }
};

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_HASH_H_
