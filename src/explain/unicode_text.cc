// Unicode properties, from Unicode's own lists.
#include "explain/unicode_text.h"

#include "pipeline/utf8.h"

namespace tagtree::explain {

char32_t decodeAt(std::string_view bytes, std::size_t& length) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (length > bytes.size() || validUtf8Prefix(bytes.substr(0, length)) != length) {
    length = 1;
    return kNotUtf8;
  }
  char32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) code = code << 6 | (byte(i) & 0x3F);
  return code;
}

bool isWhiteSpace(char32_t code) {
  if (code <= 0x20) return code == 0x20 || (code >= 0x09 && code <= 0x0D);
  return code == 0x85 || code == 0xA0 || code == 0x1680 || (code >= 0x2000 && code <= 0x200A) ||
         code == 0x2028 || code == 0x2029 || code == 0x202F || code == 0x205F || code == 0x3000;
}

}  // namespace tagtree::explain
