// shownName: one UTF-8 character at a time, each either written as it is or escaped.
#include "explain/shown_name.h"

#include <cstdint>

#include "pipeline/utf8.h"

namespace tagtree::explain {
namespace {

// Returns the length of the well-formed character at the start of `bytes`, or 0 when
// none starts there.
std::size_t characterLength(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (length > bytes.size()) return 0;
  return validUtf8Prefix(bytes.substr(0, length)) == length ? length : 0;
}

// Returns whether the character `c` (its bytes) is one a person cannot see, or cannot
// tell from another: a C0 or C1 control, DEL, a no-break space, or a format character
// such as a zero-width space or a byte-order mark.
bool isInvisible(std::string_view c) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(c[i]); };
  if (c.size() == 1) return byte(0) < 0x20 || byte(0) == 0x7F;
  if (c.size() == 2) return byte(0) == 0xC2 && byte(1) <= 0xA0;  // U+0080 to U+00A0
  if (c.size() != 3) return false;
  const std::uint32_t code = (std::uint32_t{byte(0)} & 0x0F) << 12 |
                             (std::uint32_t{byte(1)} & 0x3F) << 6 | (byte(2) & 0x3F);
  return (code >= 0x200B && code <= 0x200F) || (code >= 0x2028 && code <= 0x202E) ||
         (code >= 0x2060 && code <= 0x2064) || code == 0xFEFF;
}

void appendEscaped(std::string& text, std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const char b : bytes) {
    const auto byte = static_cast<unsigned char>(b);
    text += "\\x";
    text += kHex[byte >> 4];
    text += kHex[byte & 0xF];
  }
}

// Appends `bytes` as they are shown: each character as it is, or escaped.
void appendShown(std::string& text, std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t length = characterLength(bytes);
    const std::string_view c = bytes.substr(0, length == 0 ? 1 : length);
    if (length == 0 || isInvisible(c)) {
      appendEscaped(text, c);
    } else {
      text += c;
    }
    bytes.remove_prefix(c.size());
  }
}

// Returns `at` moved back to the start of the character it falls in, if it is within
// one of at most 4 bytes.
std::size_t characterStart(std::string_view name, std::size_t at) {
  for (int back = 0; back < 3 && at > 0; ++back) {
    if ((static_cast<unsigned char>(name[at]) & 0xC0) != 0x80) break;
    --at;
  }
  return at;
}

// Appends `name` as shownName shows it, without quotes.
void appendName(std::string& text, std::string_view name) {
  if (name.size() <= kLongestShownName) {
    appendShown(text, name);
    return;
  }
  appendShown(text, name.substr(0, characterStart(name, 40)));
  text += "...";
  appendShown(text, name.substr(characterStart(name, name.size() - 20)));
}

// Returns whether a person would miss a space at the start or end of `name`.
bool hasEndSpace(std::string_view name) {
  return !name.empty() && (name.front() == ' ' || name.back() == ' ');
}

std::string sizeNote(std::string_view name) {
  return name.size() > kLongestShownName ? " (" + grouped(name.size()) + " bytes)" : "";
}

}  // namespace

std::string shownName(std::string_view name) {
  std::string text;
  const bool quoted = hasEndSpace(name);
  if (quoted) text += '"';
  appendName(text, name);
  if (quoted) text += '"';
  return text + sizeNote(name);
}

std::string shownPath(std::string_view parent, std::string_view child) {
  const bool quoted = hasEndSpace(parent) || hasEndSpace(child);
  std::string text = quoted ? "\"/" : "/";
  appendName(text, parent);
  if (!child.empty()) {
    text += '/';
    appendName(text, child);
  }
  if (quoted) text += '"';
  return text;
}

std::string grouped(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

}  // namespace tagtree::explain
