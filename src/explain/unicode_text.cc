// Unicode properties by utf8proc's tables. NFC is computed here from utf8proc's pieces
// (each character decomposed, marks put in order, then composed), since utf8proc_map puts
// marks in order in time quadratic in their number.
#include "explain/unicode_text.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

#include "pipeline/utf8.h"

namespace tagtree::explain {
namespace {

using Codes = std::vector<std::int32_t>;

int combiningClass(std::int32_t code) { return utf8proc_get_property(code)->combining_class; }

// Returns `codes` (valid code points) in NFC.
Codes normalized(std::span<const std::int32_t> codes) {
  constexpr utf8proc_ssize_t kMost = 4;  // no canonical decomposition is longer
  Codes out;
  out.reserve(codes.size() + kMost);
  for (const std::int32_t code : codes) {
    const std::size_t at = out.size();
    out.resize(at + kMost);
    utf8proc_ssize_t length =
        utf8proc_decompose_char(code, out.data() + at, kMost, UTF8PROC_DECOMPOSE, nullptr);
    if (length > kMost) {
      out.resize(at + static_cast<std::size_t>(length));
      length = utf8proc_decompose_char(code, out.data() + at, length, UTF8PROC_DECOMPOSE, nullptr);
    }
    if (length < 1) {  // not expected of a valid code point: it stands for itself
      out[at] = code;
      length = 1;
    }
    out.resize(at + static_cast<std::size_t>(length));
  }
  // Canonical order: each run of marks sorted by combining class, keeping the order of equals.
  for (std::size_t i = 0; i < out.size();) {
    if (combiningClass(out[i]) == 0) {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end < out.size() && combiningClass(out[end]) != 0) ++end;
    std::stable_sort(
        out.begin() + static_cast<std::ptrdiff_t>(i),
        out.begin() + static_cast<std::ptrdiff_t>(end),
        [](std::int32_t a, std::int32_t b) { return combiningClass(a) < combiningClass(b); });
    i = end;
  }
  const utf8proc_ssize_t length =
      utf8proc_normalize_utf32(out.data(), static_cast<utf8proc_ssize_t>(out.size()),
                               static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
  if (length >= 0) out.resize(static_cast<std::size_t>(length));
  return out;
}

bool same(std::span<const std::int32_t> a, std::span<const std::int32_t> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// Returns whether NFC keeps `code` as it is in any text: a character that is not a mark, that
// has no canonical decomposition, and that composes with none before it. Most are: all
// below U+0300, ideographs, most letters. Only marks and the vowels and finals of Hangul
// compose with a character before them.
bool isStable(char32_t code) {
  if (code < 0x300) return true;
  if ((code >= 0x1161 && code <= 0x1175) || (code >= 0x11A8 && code <= 0x11C2)) return false;
  const utf8proc_property_t* property = utf8proc_get_property(static_cast<std::int32_t>(code));
  if (property->combining_class != 0) return false;
  if (property->decomp_seqindex != UINT16_MAX && property->decomp_type == 0) return false;
  return property->category != UTF8PROC_CATEGORY_MN && property->category != UTF8PROC_CATEGORY_MC &&
         property->category != UTF8PROC_CATEGORY_ME;
}

// Returns the end of the run of a character and the marks after it that starts at `at`.
std::size_t runEnd(const Codes& codes, std::size_t at) {
  for (++at; at < codes.size() && combiningClass(codes[at]) != 0;) ++at;
  return at;
}

// Adds to `ranges` the characters of `codes` (code points of well-formed UTF-8, character
// i starting at byte starts[i], and ending at starts[i + 1]) that show where they differ
// from their NFC normalisation.
void addUnnormalized(const Codes& codes, const std::vector<std::size_t>& starts,
                     std::vector<ByteRange>& ranges) {
  if (codes.empty() || same(normalized(codes), codes)) return;
  const std::span<const std::int32_t> all(codes);
  std::size_t from = 0;
  std::size_t to = runEnd(codes, 0);
  Codes shown = normalized(all.subspan(0, to));  // the run [from, to) normalised
  while (from < codes.size()) {
    const std::size_t next = to < codes.size() ? runEnd(codes, to) : to;
    Codes nextShown = normalized(all.subspan(to, next - to));
    if (to < codes.size() && !shown.empty() && combiningClass(shown.back()) == 0) {
      // Where the next run composes with the character this one ends in, they are one.
      Codes pair = {shown.back()};
      pair.insert(pair.end(), codes.begin() + static_cast<std::ptrdiff_t>(to),
                  codes.begin() + static_cast<std::ptrdiff_t>(next));
      Codes apart = {shown.back()};
      apart.insert(apart.end(), nextShown.begin(), nextShown.end());
      if (!same(normalized(pair), apart)) {
        to = next;
        shown = normalized(all.subspan(from, to - from));
        continue;
      }
    }
    if (!same(shown, all.subspan(from, to - from))) {
      std::size_t first = from;
      if (combiningClass(codes[from]) == 0 &&
          same(normalized(all.subspan(from, 1)), all.subspan(from, 1)))
        ++first;
      if (first < to) {
        if (!ranges.empty() && ranges.back().to == starts[first]) {
          ranges.back().to = starts[to];
        } else {
          ranges.push_back({starts[first], starts[to]});
        }
      }
    }
    from = to;
    to = next;
    shown = std::move(nextShown);
  }
}

}  // namespace

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

bool isShownAsItIs(char32_t code) {
  return code != kNotUtf8 && code >= 0x20 && code != 0x7F && !(code >= 0x80 && code <= 0x9F) &&
         !isFormat(code) && (code == 0x20 || !isWhiteSpace(code));
}

bool isFormat(char32_t code) {
  return code >= 0xAD && code <= 0x10FFFF &&
         utf8proc_category(static_cast<std::int32_t>(code)) == UTF8PROC_CATEGORY_CF;
}

bool isCombiningMark(char32_t code) {
  if (code < 0x300 || code > 0x10FFFF) return false;
  const utf8proc_category_t category = utf8proc_category(static_cast<std::int32_t>(code));
  return category == UTF8PROC_CATEGORY_MN || category == UTF8PROC_CATEGORY_MC ||
         category == UTF8PROC_CATEGORY_ME;
}

std::vector<ByteRange> unnormalizedRanges(std::string_view text) {
  std::vector<ByteRange> ranges;
  std::size_t stable = 0;  // the bytes up to here NFC keeps; below U+0300 lead bytes are below 0xCC
  // ASCII, as most names are, passed eight bytes at a time.
  for (std::uint64_t word; stable + 8 <= text.size(); stable += 8) {
    std::memcpy(&word, text.data() + stable, 8);
    if ((word & 0x8080808080808080) != 0) break;
  }
  for (std::size_t length = 0; stable < text.size(); stable += length) {
    length = 1;
    if (static_cast<unsigned char>(text[stable]) < 0xCC) continue;
    const char32_t code = decodeAt(text.substr(stable), length);
    if (code != kNotUtf8 && !isStable(code)) break;
  }
  if (stable == text.size()) return ranges;
  Codes codes;                      // a run of well-formed characters
  std::vector<std::size_t> starts;  // where each starts, and then where the run ends
  for (std::size_t at = 0, length = 0; at <= text.size(); at += length) {
    const char32_t code = at < text.size() ? decodeAt(text.substr(at), length) : kNotUtf8;
    if (code != kNotUtf8) {
      codes.push_back(static_cast<std::int32_t>(code));
      starts.push_back(at);
      continue;
    }
    starts.push_back(at);
    addUnnormalized(codes, starts, ranges);
    codes.clear();
    starts.clear();
    length = 1;
  }
  return ranges;
}

}  // namespace tagtree::explain
