// UTF-8 validation after the table of well-formed byte sequences in the Unicode
// standard: the lead byte fixes the length and the allowed range of the second byte;
// later bytes are plain continuation bytes. Runs of ASCII are passed eight at a time.
#include "pipeline/utf8.h"

#include <cstdint>
#include <cstring>

namespace tagtree {

std::size_t validUtf8Prefix(std::string_view bytes) {
  const auto* const data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  std::size_t i = 0;
  while (i < size) {
    if (size - i >= 8) {
      std::uint64_t chunk;
      std::memcpy(&chunk, data + i, sizeof chunk);
      if ((chunk & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    const unsigned char lead = data[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    unsigned char secondLow = 0x80, secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) secondLow = 0xA0;   // overlong below U+0800
      if (lead == 0xED) secondHigh = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) secondLow = 0x90;   // overlong below U+10000
      if (lead == 0xF4) secondHigh = 0x8F;  // above U+10FFFF
    } else {
      return i;  // continuation byte without a lead, or a byte never used
    }
    if (size - i < length) return i;
    if (data[i + 1] < secondLow || data[i + 1] > secondHigh) return i;
    for (std::size_t k = 2; k < length; ++k) {
      if ((data[i + k] & 0xC0) != 0x80) return i;
    }
    i += length;
  }
  return size;
}

}  // namespace tagtree
