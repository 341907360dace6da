// The hash of names: every byte, the length and the seed count, in each lane, and nothing
// past the name's end.
#include "pipeline/name_hash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace tagtree {
namespace {

// Returns the 8 bytes of `chunk` as load8 reads them back.
std::string bytesOf(std::uint64_t chunk) {
  std::string bytes(8, '\0');
  std::memcpy(bytes.data(), &chunk, 8);
  return bytes;
}

TEST(NameHash, DependsOnEveryByteAndTheLength) {
  // One chunk and less; a few chunks in one lane; one 32-byte block in four lanes and
  // then a tail; several blocks, with and without a partial last chunk.
  for (const std::size_t size : {1, 7, 8, 9, 16, 40, 41, 48, 72, 100, 131}) {
    const std::string base(size, 'x');
    const std::uint64_t baseHash = nameHash(base);
    for (std::size_t i = 0; i < size; ++i) {
      std::string changed = base;
      changed[i] = 'y';
      EXPECT_NE(nameHash(changed), baseHash) << "byte " << i << " of " << size;
    }
    EXPECT_NE(nameHash(base + '\0'), baseHash) << size;  // a NUL pads the last chunk
  }
  EXPECT_NE(nameHash(""), nameHash(std::string_view("\0", 1)));
}

TEST(NameHash, TellsApartChunksSwappedBetweenLanes) {
  // The four chunks of a block go to four lanes that start apart: swapping two of them
  // changes the hash, as it would in one chain of steps.
  std::string name = std::string(8, 'h') + "aaaaaaaabbbbbbbbccccccccdddddddd" + "tail";
  const std::uint64_t hash = nameHash(name);
  std::swap_ranges(name.begin() + 8, name.begin() + 16, name.begin() + 16);
  EXPECT_NE(nameHash(name), hash);
}

TEST(NameHash, ReadsNoByteAfterTheName) {
  // Bytes after the end that may be read, as the input window's, change nothing.
  const std::string text = std::string(140, 'n') + "\x01\xFF garbage after the name";
  for (std::size_t size = 0; size <= 140; ++size) {
    const std::string_view name(text.data(), size);
    EXPECT_EQ(nameHash(name, text.data() + text.size(), 5), nameHash(std::string(name), 5)) << size;
  }
}

TEST(NameHash, NamesMadeToShareItAtOneSeedDoNotAtAnother) {
  // Two names of 16 bytes share the hash where the states after their first chunks,
  // each mixed with its second chunk, are the same: solved here for the seed 0, as names
  // could be made beforehand if the hash had no seed.
  const std::uint64_t start = 0x243F6A8885A308D3ULL;  // the state before the first chunk
  int made = 0;
  for (std::uint64_t first = 1; first < 40; ++first) {
    const std::uint64_t other = first * 0x0101010101010101ULL;
    const std::uint64_t second = 0x6F6E6F6E6F6E6F6EULL;
    const std::uint64_t solved = hashStep(start, first) ^ second ^ hashStep(start, other);
    const std::string a = bytesOf(first) + bytesOf(second), b = bytesOf(other) + bytesOf(solved);
    if (a == b) continue;
    ASSERT_EQ(nameHash(a, 0), nameHash(b, 0)) << "the names were not made to share the hash";
    ++made;
    for (const std::uint64_t seed : {std::uint64_t{1}, std::uint64_t{0xC0FFEE}, runSeed() | 1}) {
      EXPECT_NE(nameHash(a, seed), nameHash(b, seed)) << first << ", " << seed;
    }
  }
  EXPECT_GT(made, 30);
}

TEST(NameHash, BlocksMixedAheadGiveTheSameHash) {
  // The scan mixes the blocks it passes whole; the hash goes on from any number of them.
  std::string text;
  for (int i = 0; text.size() < 1100; ++i) text += std::to_string(i * 7919) + ",";
  for (const std::size_t size : {41, 63, 64, 65, 96, 100, 255, 1024, 1100}) {
    const std::string_view name(text.data(), size);
    const std::uint64_t whole = nameHash(std::string(name), 9);
    BlockHash done;
    done.start(9);
    for (std::size_t blocks = 0; 32 * blocks <= size; done.mix(name.data() + 32 * blocks++)) {
      ASSERT_EQ(done.blocks, blocks);
      EXPECT_EQ(nameHash(name, name.data() + size, 9, &done), whole) << size << ", " << blocks;
    }
  }
}

TEST(NameHash, TakesOneSeedARun) {
  const std::uint64_t seed = runSeed();
  EXPECT_EQ(runSeed(), seed);
  EXPECT_NE(nameHash("tag", seed + 1), nameHash("tag", seed));
}

}  // namespace
}  // namespace tagtree
