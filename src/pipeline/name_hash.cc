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

std::uint64_t runSeed() {
  static const std::uint64_t seed = drawSeed();
  return seed;
}

}  // namespace tagtree
