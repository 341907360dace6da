// The fixes, each a pass over the bytes. The line and word cutting of the blank-line fix
// is tagtree's: a line ends at CR, LF or CR LF, and a line is blank when all its words,
// cut at "; ", are skipped ones.
#include "explain/fix.h"

#include "base/byte_source.h"
#include "explain/survey.h"
#include "pipeline/word_scanner.h"

namespace tagtree::explain {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Appends `code` (at most U+10FFFF) as UTF-8.
void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Returns UTF-16 `bytes` of the byte order `bigEndian` as UTF-8, without a byte-order mark
// at the start; `bytes` where they do not decode.
std::string fromUtf16(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 2 != 0) return std::string(bytes);
  const auto unitAt = [&](std::size_t at) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<std::uint32_t>(bigEndian ? first << 8 | second : second << 8 | first);
  };
  std::string out;
  out.reserve(bytes.size());
  std::size_t at = bytes.size() >= 2 && unitAt(0) == 0xFEFF ? 2 : 0;
  for (; at < bytes.size(); at += 2) {
    std::uint32_t code = unitAt(at);
    if (code >= 0xDC00 && code <= 0xDFFF) return std::string(bytes);
    if (code >= 0xD800 && code <= 0xDBFF) {
      at += 2;
      const std::uint32_t trail = at < bytes.size() ? unitAt(at) : 0;
      if (trail < 0xDC00 || trail > 0xDFFF) return std::string(bytes);
      code = 0x10000 + ((code - 0xD800) << 10) + (trail - 0xDC00);
    }
    appendUtf8(out, code);
  }
  return out;
}

// The characters of Windows-1252's bytes 0x80 to 0x9F, where Latin-1 has control
// characters; 0 for the five it leaves unassigned, which stay as Latin-1 reads them.
constexpr std::uint16_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Returns Latin-1 `bytes`, or Windows-1252 ones where `windows` says so, as UTF-8.
std::string fromLatin1(std::string_view bytes, bool windows) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    const bool c1 = byte >= 0x80 && byte <= 0x9F;
    appendUtf8(out,
               windows && c1 && kWindows1252[byte - 0x80] != 0 ? kWindows1252[byte - 0x80] : byte);
  }
  return out;
}

std::string crToLf(std::string_view bytes) {
  std::string out(bytes);
  for (std::size_t at = 0; at < out.size(); ++at) {
    if (out[at] == '\r' && (at + 1 == out.size() || out[at + 1] != '\n')) out[at] = '\n';
  }
  return out;
}

// Returns whether the line `line`, without its line end, holds no tag: every word of it
// is the empty word or " ".
bool isBlank(std::string_view line) {
  for (std::size_t start = 0;;) {
    const std::size_t separator = line.find("; ", start);
    if (!isSkippedWord(line.substr(start, separator - start))) return false;
    if (separator == std::string_view::npos) return true;
    start = separator + 2;
  }
}

std::string withoutBlankLines(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t start = 0; start < bytes.size();) {
    std::size_t end = bytes.find_first_of("\r\n", start);
    std::size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
    if (end != std::string_view::npos && bytes[end] == '\r' && next < bytes.size() &&
        bytes[next] == '\n') {
      ++next;
    }
    if (!isBlank(bytes.substr(start, (end == std::string_view::npos ? bytes.size() : end) - start)))
      out.append(bytes.substr(start, next - start));
    start = next;
  }
  return out;
}

}  // namespace

std::string applyFix(Fix fix, std::string_view bytes) {
  switch (fix) {
    case Fix::kNone:
      break;
    case Fix::kDeleteBlankLines:
      return withoutBlankLines(bytes);
    case Fix::kRemoveByteOrderMark:
      while (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
      break;
    case Fix::kFromUtf16:
      return fromUtf16(bytes, bytes.starts_with("\xFE\xFF"));
    case Fix::kFromUtf16Le:
      return fromUtf16(bytes, false);
    case Fix::kFromUtf16Be:
      return fromUtf16(bytes, true);
    case Fix::kFromLatin1:
      return fromLatin1(bytes, false);
    case Fix::kFromWindows1252:
      return fromLatin1(bytes, true);
    case Fix::kCrToLf:
      return crToLf(bytes);
  }
  return std::string(bytes);
}

std::vector<Applied> fixAll(std::string& bytes) {
  std::vector<Applied> applied;
  // Each round applies what the report offers; a fix leaves nothing for itself to do,
  // so the rounds end: a UTF-16 file may need three, for its blank lines show only once
  // it is UTF-8.
  for (bool again = true; again;) {
    TextSource source(bytes);
    const Survey surveyed = survey(source);
    const Report report = reportOf(surveyed, "-");
    again = false;
    for (const Finding& finding : report.findings) {
      if (finding.fix == Fix::kNone) continue;
      std::string fixed = applyFix(finding.fix, bytes);
      if (fixed == bytes) continue;  // bytes the fix does not take: nothing to do again
      applied.push_back({finding.fix, finding.lines != nullptr ? finding.lines->total() : 0});
      bytes = std::move(fixed);
      again = true;
    }
  }
  return applied;
}

}  // namespace tagtree::explain
