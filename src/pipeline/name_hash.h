// Hashes of names, for the name index. A multiply-rotate hash over 8-byte chunks in four
// lanes (chunk i into lane i % 4), so that a long name's multiplies overlap instead of
// waiting on one another; finished with the length. The index keys its table by a key
// that reads at most 64 bytes of a name: its two ends, where it is longer. A short name's
// bytes, held in one word, are spread by a mix of their own. None of these is secret:
// names can be made to share any of them, and the index bounds its work without them.
#ifndef TAGTREE_PIPELINE_NAME_HASH_H_
#define TAGTREE_PIPELINE_NAME_HASH_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pipeline/byte_load.h"

namespace tagtree {

// Hash state of a name whose chunks are mixed in one after another. Every byte counts,
// so names alike at both ends still differ.
class NameHasher {
 public:
  // Starts a hash; another `seed` gives a hash of its own, whose collisions are not
  // those of the others.
  explicit NameHasher(std::uint64_t seed = 0) {
    for (std::uint64_t& lane : lanes_) lane ^= seed;
  }
  // Mixes the next four chunks, the 32 bytes at `p`; the chunks mixed so far must be a
  // multiple of four.
  void mix4(const char* p) {
    lanes_[0] = step(lanes_[0], load8(p));
    lanes_[1] = step(lanes_[1], load8(p + 8));
    lanes_[2] = step(lanes_[2], load8(p + 16));
    lanes_[3] = step(lanes_[3], load8(p + 24));
    chunks_ += 4;
  }
  // Mixes the next chunk into its lane.
  void mix(std::uint64_t chunk) {
    lanes_[chunks_ & 3] = step(lanes_[chunks_ & 3], chunk);
    ++chunks_;
  }
  // Returns the hash of the chunks mixed so far, the partial last one, and the length.
  // A name under 8 bytes, the common case, takes one step in one lane.
  std::uint64_t finish(std::uint64_t lastChunk, std::size_t length) const {
    std::uint64_t h;
    if (chunks_ == 0) {
      h = step(lanes_[0], lastChunk);
    } else {
      NameHasher last = *this;
      last.mix(lastChunk);
      h = step(step(step(last.lanes_[0], last.lanes_[1]), last.lanes_[2]), last.lanes_[3]);
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

// Returns the hash of `name`, which depends on every byte. Bytes up to `readable` (at or
// after the end of the name) may be read, which spares a short name a byte-wise copy.
inline std::uint64_t nameHash(std::string_view name, const char* readable, std::uint64_t seed = 0) {
  NameHasher hasher(seed);
  const char* p = name.data();
  const char* const end = p + name.size();
  for (; end - p >= 32; p += 32) hasher.mix4(p);
  for (; end - p >= 8; p += 8) hasher.mix(load8(p));
  return hasher.finish(loadPartial(p, static_cast<std::size_t>(end - p), readable), name.size());
}

inline std::uint64_t nameHash(std::string_view name) {
  return nameHash(name, name.data() + name.size());
}

// Names longer than this are keyed by their ends alone.
inline constexpr std::size_t kFullyKeyedLength = 64;

// Returns the key of `name`, by which the name index finds it: its hash where it has at
// most kFullyKeyedLength bytes, else a hash of its first and last 32 bytes and its length.
// A long word is compared byte for byte with the name it may be anyway, so hashing all of
// it would read it a third time for nothing, except where names share a key. `readable`
// is as for nameHash.
inline std::uint64_t nameKey(std::string_view name, const char* readable) {
  if (name.size() <= kFullyKeyedLength) return nameHash(name, readable);
  NameHasher hasher;
  hasher.mix4(name.data());
  hasher.mix4(name.data() + name.size() - 32);
  return hasher.finish(0, name.size());
}

// The hashes the name index keys by, as one policy: BasicNameIndex takes another in
// tests, one that gives every name the same values, to show its work stays bounded.
struct NameHashing {
  // Returns where the search for a short name starts: `word` holds its `size` bytes, the
  // rest zero.
  static std::uint64_t shortHash(std::uint64_t word, std::size_t size) {
    // Each step is a bijection, and each shift brings high bits down, so that every byte
    // reaches the low bits that pick the position: names alike but for their last byte,
    // as "tag12340" to "tag12349", must not crowd one place.
    std::uint64_t x = word ^ (size * 0x9E3779B97F4A7C15ULL);
    x = (x ^ (x >> 33)) * 0xFF51AFD7ED558CCDULL;
    x = (x ^ (x >> 33)) * 0xC4CEB9FE1A85EC53ULL;
    return x ^ (x >> 33);
  }
  // Returns nameKey(name, readable).
  static std::uint64_t key(std::string_view name, const char* readable) {
    return nameKey(name, readable);
  }
  // Returns nameHash(name).
  static std::uint64_t fullHash(std::string_view name) { return nameHash(name); }
  // Returns where the search starts for a long name that shares its key with another and
  // has the full hash `hash`: there, for a name keyed by all its bytes, whose key is its
  // full hash, a hash of its own, so that names made to share their key do not also share
  // this place.
  static std::uint64_t hashedStart(std::string_view name, std::uint64_t hash) {
    return name.size() <= kFullyKeyedLength ? nameHash(name, name.data() + name.size(), kAsideSeed)
                                            : hash;
  }
  static constexpr std::uint64_t kAsideSeed = 0x5851F42D4C957F2DULL;
};

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_HASH_H_
