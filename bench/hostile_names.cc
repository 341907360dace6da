// Prints names made to crowd one place of the name index, for bench/hostile_names.py,
// which builds files of them to show that tagtree-explain's time stays linear whatever
// the names. The index's hashes are fixed and each of their steps is a bijection, so
// they can be run backwards from a chosen result:
//   short COUNT SEED  names of 8 printable bytes whose short-name hash (NameHashing::
//                     shortHash) shares its low 20 bits, so that in a table of up to 2^20
//                     entries they all start their search at one place;
//   key COUNT SEED    names of 16 printable bytes that share their whole 64-bit key
//                     (nameKey): a random first 8 bytes, the last 8 solved for.
// Each name is checked against the index's own hashes before it is printed; it exits 1
// if one fails, which means the constants below no longer match src/pipeline/name_hash.h.
// Build: g++ -O2 -std=c++20 -Isrc bench/hostile_names.cc
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>

#include "pipeline/name_hash.h"

namespace {

// The constants of NameHasher and NameHashing::shortHash.
constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ULL;
constexpr std::uint64_t kStepMultiplier = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t kFinish = 0xFF51AFD7ED558CCDULL;
constexpr std::uint64_t kShortSecond = 0xC4CEB9FE1A85EC53ULL;
constexpr std::uint64_t kLanes[4] = {0x243F6A8885A308D3ULL, 0x13198A2E03707344ULL,
                                     0xA4093822299F31D0ULL, 0x082EFA98EC4E6C89ULL};

// Returns the multiplicative inverse of odd `a` modulo 2^64 (Newton's iteration).
constexpr std::uint64_t inverse(std::uint64_t a) {
  std::uint64_t x = a;
  for (int i = 0; i < 6; ++i) x *= 2 - a * x;
  return x;
}

// Returns x from x ^ (x >> shift), for shift >= 32.
std::uint64_t unXorShift(std::uint64_t y, int shift) { return y ^ (y >> shift); }

constexpr std::uint64_t kInverseStepMultiplier = inverse(kStepMultiplier);
constexpr std::uint64_t kInverseGolden = inverse(kGolden);
constexpr std::uint64_t kInverseFinish = inverse(kFinish);
constexpr std::uint64_t kInverseShortSecond = inverse(kShortSecond);

std::uint64_t step(std::uint64_t state, std::uint64_t chunk) {
  return std::rotl(state ^ chunk * kGolden, 31) * kStepMultiplier;
}
// Returns the state that step(state, chunk) took to `out`.
std::uint64_t stateBefore(std::uint64_t out, std::uint64_t chunk) {
  return std::rotr(out * kInverseStepMultiplier, 31) ^ chunk * kGolden;
}
// Returns the chunk that step(state, chunk) took to `out`.
std::uint64_t chunkBetween(std::uint64_t state, std::uint64_t out) {
  return (std::rotr(out * kInverseStepMultiplier, 31) ^ state) * kInverseGolden;
}

// Printable bytes but ';', which could end a word.
bool printable(std::uint64_t word) {
  for (int i = 0; i < 8; ++i) {
    const auto byte = static_cast<unsigned char>(word >> (8 * i));
    if (byte < 0x21 || byte > 0x7E || byte == ';') return false;
  }
  return true;
}

std::string bytesOf(std::uint64_t word) {
  std::string bytes(8, '\0');
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(word >> (8 * i));
  return bytes;
}

// Returns a word whose shortHash (at size 8) is `out`.
std::uint64_t shortNameOf(std::uint64_t out) {
  std::uint64_t x = unXorShift(out, 33) * kInverseShortSecond;
  x = unXorShift(x, 33) * kInverseFinish;
  return unXorShift(x, 33) ^ (8 * kGolden);
}

// Returns the second chunk that gives a 16-byte name of first chunk `first` the key `key`.
std::uint64_t secondChunkFor(std::uint64_t first, std::uint64_t key) {
  const std::uint64_t h = (unXorShift(key, 32) * kInverseFinish) ^ 16;
  const std::uint64_t lane2 = step(kLanes[2], 0);  // the empty last chunk, in lane 2
  const std::uint64_t afterLane2 = stateBefore(h, kLanes[3]);
  const std::uint64_t afterLane1 = stateBefore(afterLane2, lane2);
  return chunkBetween(kLanes[1], chunkBetween(step(kLanes[0], first), afterLane1));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: hostile_names short|key COUNT SEED\n");
    return 2;
  }
  const std::string_view kind = argv[1];
  const unsigned long count = std::strtoul(argv[2], nullptr, 10);
  std::mt19937_64 rng(std::strtoull(argv[3], nullptr, 10));
  const std::uint64_t target = rng();
  std::unordered_set<std::string> seen;
  while (seen.size() < count) {
    std::string name;
    if (kind == "short") {
      const std::uint64_t word =
          shortNameOf((rng() & ~std::uint64_t{0xFFFFF}) | (target & 0xFFFFF));
      if (!printable(word)) continue;
      name = bytesOf(word);
      if ((tagtree::NameHashing::shortHash(tagtree::load8(name.data()), 8) & 0xFFFFF) !=
          (target & 0xFFFFF))
        return 1;
    } else if (kind == "key") {
      // Eight bytes from 0x21 to 0x7D from one draw; ';' (0x3B) becomes '~'.
      std::uint64_t first = 0;
      for (std::uint64_t i = 0, r = rng(); i < 8; ++i, r >>= 8) {
        const std::uint64_t byte = 0x21 + (r & 0xFF) * 93 / 256;
        first |= (byte == ';' ? '~' : byte) << (8 * i);
      }
      const std::uint64_t second = secondChunkFor(first, target);
      if (!printable(second)) continue;
      name = bytesOf(first) + bytesOf(second);
      if (tagtree::nameKey(name, name.data() + name.size()) != target) return 1;
    } else {
      return 2;
    }
    if (seen.insert(name).second) std::printf("%s\n", name.c_str());
  }
  return 0;
}
