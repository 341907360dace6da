// The seed of a run's name hashes: random where the kernel gives random bytes, which it
// does on every Linux this runs on; else a mix of the clock and of addresses that address
// space randomisation moves, which differ from run to run all the same.
#include "pipeline/name_hash.h"

#include <sys/random.h>
#include <time.h>

#include <cstdint>

namespace tagtree {
namespace {

std::uint64_t drawSeed() {
  std::uint64_t seed = 0;
  if (::getrandom(&seed, sizeof seed, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof seed)) {
    return seed;
  }
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const auto stack = reinterpret_cast<std::uintptr_t>(&now);
  const auto code = reinterpret_cast<std::uintptr_t>(&drawSeed);
  seed = hashStep(hashStep(static_cast<std::uint64_t>(now.tv_sec), stack),
                  static_cast<std::uint64_t>(now.tv_nsec) ^ code);
  return seed;
}

}  // namespace

std::uint64_t nameHashLong(std::string_view name, const char* readable, std::uint64_t seed,
                           const BlockHash* done) {
  BlockHash blocks;
  if (done != nullptr && done->blocks > 0) {
    blocks = *done;
  } else {
    blocks.start(seed);
  }
  const char* p = name.data();
  while (32 * (blocks.blocks + 1) <= name.size()) blocks.mix(p + 32 * blocks.blocks);
  const std::uint64_t* const lanes = blocks.lanes;
  std::uint64_t h = hashStep(hashStep(hashStep(lanes[0], lanes[1]), lanes[2]), lanes[3]);
  p += 32 * blocks.blocks;
  const char* const end = name.data() + name.size();
  if (p != end) {  // the rest, 8 bytes a step, the last 1 to 8 alone
    for (; end - p > 8; p += 8) h = hashStep(h, load8(p));
    const auto last = static_cast<std::size_t>(end - p);
    h = hashStep(h, last == 8 ? load8(p) : loadPartial(p, last, readable));
  }
  return hashFinish(h, name.size());
}

std::uint64_t runSeed() {
  static const std::uint64_t seed = drawSeed();
  return seed;
}

}  // namespace tagtree
