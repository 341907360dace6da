// The hash of a name, for the name index: a multiply-rotate step over 8-byte chunks,
// finished with the length and a mix that brings every bit down to the low bits, which
// pick a name's place. It is not secret: names can be made to share it, and the index
// bounds its work without it.
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

// Returns the hash of `name`, which depends on every byte and on the length. `readable`
// is as for nameHead. A name of up to 8 bytes, the common case, takes one step.
inline std::uint64_t nameHash(std::string_view name, const char* readable) {
  const auto step = [](std::uint64_t h, std::uint64_t chunk) {
    return std::rotl(h ^ chunk, 29) * 0x9E3779B97F4A7C15ULL;
  };
  std::uint64_t h = step(0x243F6A8885A308D3ULL, nameHead(name, readable));
  if (name.size() > 8) {
    const char* p = name.data() + 8;
    std::size_t left = name.size() - 8;
    for (; left > 32; p += 32, left -= 32) {
      h = step(step(step(step(h, load8(p)), load8(p + 8)), load8(p + 16)), load8(p + 24));
    }
    for (; left > 8; p += 8, left -= 8) h = step(h, load8(p));
    h = step(h, left == 8 ? load8(p) : loadPartial(p, left, readable));  // the last 1 to 8
  }
  h = (h ^ name.size() ^ (h >> 32)) * 0xFF51AFD7ED558CCDULL;
  return h ^ (h >> 29);
}

inline std::uint64_t nameHash(std::string_view name) {
  return nameHash(name, name.data() + name.size());
}

// The hash the name index places names by, as a policy: BasicNameIndex takes another in
// tests, one that gives every name the same hash, to show its work stays bounded.
struct NameHashing {
  static std::uint64_t hash(std::string_view name, const char* readable) {
    return nameHash(name, readable);
  }
};

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_NAME_HASH_H_
