// Loads of 8 bytes at a time from unaligned positions, for the scan and the hash.
#ifndef TAGTREE_PIPELINE_BYTE_LOAD_H_
#define TAGTREE_PIPELINE_BYTE_LOAD_H_

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tagtree {

// Returns the 8 bytes at `p` as one integer, in the machine's byte order.
inline std::uint64_t load8(const char* p) {
  std::uint64_t chunk;
  std::memcpy(&chunk, p, sizeof chunk);
  return chunk;
}

// Returns the first `n` (< 8) bytes at `p` as an integer whose other bytes are zero, as
// load8 would place them; `end` bounds what may be read. Where eight bytes can be read,
// one load and a mask do it: copying n bytes into a zeroed word stalls every short word.
inline std::uint64_t loadPartial(const char* p, std::size_t n, const char* end) {
  assert(n < 8);  // the mask below shifts by 8 * n
  if constexpr (std::endian::native == std::endian::little) {
    if (end - p >= 8) return load8(p) & ~(~std::uint64_t{0} << (8 * n));
  }
  std::uint64_t chunk = 0;
  if (n > 0) std::memcpy(&chunk, p, n);
  return chunk;
}

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_BYTE_LOAD_H_
