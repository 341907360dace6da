// Prints names made to crowd one place of the name index, for bench/hostile_names.py and
// bench/run.py, which build files of them to show that tagtree-explain's time stays
// linear whatever the names. Each of the hash's steps is a bijection, so with its seed
// known it can be run backwards from a chosen result. The names are made for the seed 0:
// a run of the tools draws a seed of its own, which they cannot know beforehand, so they
// show what a fixed hash would suffer, and that the seeded one does not.
//   short COUNT SEED  names of 8 printable bytes whose hash (nameHash) shares its low 20
//                     bits, so that in a table of up to 2^20 entries they all start their
//                     search at one place;
//   hash COUNT SEED   names of 16 printable bytes that share their whole 64-bit hash: a
//                     random first 8 bytes, the last 8 solved for.
// Each name is checked against the index's own hash before it is printed; it exits 1 if
// one fails, which means the constants below no longer match src/pipeline/name_hash.h.
// Build: g++ -O2 -std=c++20 -Isrc bench/hostile_names.cc src/pipeline/name_hash.cc
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

// The constants of nameHash, whose first state is kSeed at the seed 0.
constexpr std::uint64_t kSeed = 0x243F6A8885A308D3ULL;
constexpr std::uint64_t kStep = 0x9E3779B97F4A7C15ULL;
constexpr std::uint64_t kFinish = 0xFF51AFD7ED558CCDULL;

// Returns the multiplicative inverse of odd `a` modulo 2^64 (Newton's iteration).
constexpr std::uint64_t inverse(std::uint64_t a) {
  std::uint64_t x = a;
  for (int i = 0; i < 6; ++i) x *= 2 - a * x;
  return x;
}

std::uint64_t step(std::uint64_t h, std::uint64_t chunk) {
  return std::rotl(h ^ chunk, 29) * kStep;
}
// Returns h ^ chunk from step(h, chunk).
std::uint64_t beforeStep(std::uint64_t out) { return std::rotr(out * inverse(kStep), 29); }
// Returns the state before the finish of a name of `length` bytes that hashes to `out`.
std::uint64_t beforeFinish(std::uint64_t out, std::uint64_t length) {
  const std::uint64_t y = (out ^ (out >> 29) ^ (out >> 58)) * inverse(kFinish);
  const std::uint64_t t = y ^ length;  // h ^ (h >> 32)
  return t ^ (t >> 32);
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: hostile_names short|hash COUNT SEED\n");
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
      const std::uint64_t out = (rng() & ~std::uint64_t{0xFFFFF}) | (target & 0xFFFFF);
      const std::uint64_t word = beforeStep(beforeFinish(out, 8)) ^ kSeed;
      if (!printable(word)) continue;
      name = bytesOf(word);
      if ((tagtree::nameHash(name, 0) & 0xFFFFF) != (target & 0xFFFFF)) return 1;
    } else if (kind == "hash") {
      // Eight bytes from 0x21 to 0x7D from one draw; ';' (0x3B) becomes '~'.
      std::uint64_t first = 0;
      for (std::uint64_t i = 0, r = rng(); i < 8; ++i, r >>= 8) {
        const std::uint64_t byte = 0x21 + (r & 0xFF) * 93 / 256;
        first |= (byte == ';' ? '~' : byte) << (8 * i);
      }
      const std::uint64_t second = beforeStep(beforeFinish(target, 16)) ^ step(kSeed, first);
      if (!printable(second)) continue;
      name = bytesOf(first) + bytesOf(second);
      if (tagtree::nameHash(name, 0) != target) return 1;
    } else {
      return 2;
    }
    if (seen.insert(name).second) std::printf("%s\n", name.c_str());
  }
  return 0;
}
