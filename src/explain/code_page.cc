// Conversions and code-page guesses by iconv. What one byte alone reads as in an encoding
// is asked of iconv once a process and kept, for telling 8-bit encodings and for guesses;
// whole files are converted by iconv itself, since an encoding may read a byte otherwise
// beside its neighbours (Windows-1258 composes a letter with the accent after it).
#include "explain/code_page.h"

#include <iconv.h>
#include <utf8proc.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "explain/unicode_text.h"
#include "pipeline/byte_load.h"
#include "pipeline/utf8.h"

namespace tagtree::explain {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

// Returns whether a byte of `word` is zero.
bool hasZeroByte(std::uint64_t word) { return ((word - kOnes) & ~word & kHighs) != 0; }

bool isAsciiLetter(unsigned char byte) {
  return static_cast<unsigned char>((byte | 0x20) - 'a') < 26;
}

// An iconv conversion from an encoding to UTF-8.
class Decoder {
 public:
  explicit Decoder(std::string_view encoding) {
    // An empty name asks for the locale's encoding, and a '/' starts iconv's options.
    if (encoding.empty() || encoding.find_first_of(std::string_view("/\0", 2)) != encoding.npos)
      return;
    cd_ = iconv_open("UTF-8", std::string(encoding).c_str());
  }
  ~Decoder() {
    if (known()) iconv_close(cd_);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  bool known() const { return cd_ != kNone; }

  // What decode did.
  struct Run {
    int error = 0;             // 0 where it decoded all, else EILSEQ, EINVAL or E2BIG
    std::size_t consumed = 0;  // the bytes it decoded
  };

  // Decodes `bytes` from the initial state, appending the UTF-8 to `out`; stops short
  // with E2BIG before `out` would grow past `limit` bytes. Needs known().
  Run decode(std::string_view bytes, std::string& out, std::size_t limit = SIZE_MAX) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    // iconv takes the input through a char** but never writes to it.
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    bool flushing = bytes.empty();         // all taken: what the state holds back is written out
    std::size_t grow = bytes.size() + 16;  // the room to give iconv, doubled where it fills
    for (;;) {
      const std::size_t start = out.size();
      const bool bounded = limit - start <= grow;
      const std::size_t room = bounded ? limit - start : grow;
      out.resize(start + room);
      char* at = out.data() + start;
      std::size_t atLeft = room;
      const std::size_t done = flushing ? iconv(cd_, nullptr, nullptr, &at, &atLeft)
                                        : iconv(cd_, &in, &inLeft, &at, &atLeft);
      const int error = done == static_cast<std::size_t>(-1) ? errno : 0;
      out.resize(start + (room - atLeft));
      if (error == 0 && flushing) return {0, bytes.size()};
      if (error == 0) flushing = true;
      if (error == E2BIG && !bounded) grow *= 2;
      if (error != 0 && (error != E2BIG || bounded)) return {error, bytes.size() - inLeft};
    }
  }

 private:
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
  iconv_t cd_ = kNone;
};

// What iconv reads each byte alone as, in one encoding.
struct ByteTable {
  bool known = false;
  bool singleByte = false;
  std::array<std::optional<std::string>, 256> reading;  // as UTF-8; none where it does not
                                                        // decode alone
};

ByteTable tableFor(std::string_view encoding) {
  ByteTable table;
  Decoder decoder(encoding);
  if (!decoder.known()) return table;
  table.known = true;
  bool longer = false;  // a byte starts a longer sequence, or only shifts a state
  bool any = false;
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    std::string out;
    const Decoder::Run run = decoder.decode({&c, 1}, out);
    if (run.error == EINVAL || (run.error == 0 && out.empty())) longer = true;
    if (run.error == 0 && !out.empty()) {
      table.reading[byte] = std::move(out);
      any = true;
    }
  }
  table.singleByte = any && !longer;
  return table;
}

// Returns what iconv reads each byte alone as in `encoding`, asked once a process.
const ByteTable& byteTable(std::string_view encoding) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<const ByteTable>, std::less<>> tables;
  const std::lock_guard lock(mutex);
  auto found = tables.find(encoding);
  if (found == tables.end()) {
    found = tables.emplace(std::string(encoding), std::make_unique<ByteTable>(tableFor(encoding)))
                .first;
  }
  return *found->second;  // never removed, nor changed once made
}

// Returns the offset of the first well-formed UTF-8 sequence of 2 to 4 bytes in `bytes`.
std::optional<std::size_t> firstUtf8BeyondAscii(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (bytes.size() - i >= 8 && (load8(bytes.data() + i) & kHighs) == 0) {
      i += 8;
      continue;
    }
    std::size_t length = 1;
    if (static_cast<unsigned char>(bytes[i]) >= 0x80 &&
        decodeAt(bytes.substr(i), length) != kNotUtf8)
      return i;
    ++i;
  }
  return std::nullopt;
}

// Returns the offset in `text` (UTF-8) of its first NUL or C1 control, if any.
std::optional<std::size_t> firstNulOrC1(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.size() - i >= 8) {
      const std::uint64_t word = load8(text.data() + i);
      // C1 controls are 0xC2 0x80 to 0xC2 0x9F.
      if (!hasZeroByte(word) && !hasZeroByte(word ^ (0xC2 * kOnes))) {
        i += 8;
        continue;
      }
    }
    if (text[i] == '\0') return i;
    if (static_cast<unsigned char>(text[i]) == 0xC2 && i + 1 < text.size() &&
        static_cast<unsigned char>(text[i + 1]) <= 0x9F)
      return i;
    ++i;
  }
  return std::nullopt;
}

Conversion refused(Refusal refusal, std::uint64_t offset = 0, char32_t character = 0) {
  Conversion conversion;
  conversion.refusal = refusal;
  conversion.offset = offset;
  conversion.character = character;
  return conversion;
}

// Returns whether `category` is that of a graphic character: a letter, mark, number,
// punctuation, symbol or space separator.
bool isGraphic(utf8proc_category_t category) {
  return category >= UTF8PROC_CATEGORY_LU && category <= UTF8PROC_CATEGORY_ZS;
}

bool isLatinLetterBlock(char32_t code) {
  return (code >= 0xC0 && code <= 0x24F) || (code >= 0x1E00 && code <= 0x1EFF);
}

// Returns the score in halves that `reading` (a high byte's, read alone) adds where the
// byte occurs `n` times, `a` of them beside an ASCII letter and `w` inside a word; nothing
// where it holds a character that is not graphic. See guessCodePages.
std::optional<std::uint64_t> halfPointsOf(std::string_view reading, std::uint64_t n,
                                          std::uint64_t a, std::uint64_t w) {
  char32_t first = kNotUtf8;
  for (std::size_t at = 0, length = 0; at < reading.size(); at += length) {
    const char32_t code = decodeAt(reading.substr(at), length);
    if (code == kNotUtf8 || !isGraphic(utf8proc_category(static_cast<utf8proc_int32_t>(code))))
      return std::nullopt;
    if (at == 0) first = code;
  }
  if (first == kNotUtf8) return std::nullopt;
  const utf8proc_category_t category = utf8proc_category(static_cast<utf8proc_int32_t>(first));
  switch (category) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_LO: {
      if (isLatinLetterBlock(first)) return n + a + w;
      const bool capital = category == UTF8PROC_CATEGORY_LU || category == UTF8PROC_CATEGORY_LT;
      return (capital ? n - a : 2 * (n - a)) + w;
    }
    case UTF8PROC_CATEGORY_PC:
    case UTF8PROC_CATEGORY_PD:
    case UTF8PROC_CATEGORY_PS:
    case UTF8PROC_CATEGORY_PE:
    case UTF8PROC_CATEGORY_PI:
    case UTF8PROC_CATEGORY_PF:
    case UTF8PROC_CATEGORY_PO:
    case UTF8PROC_CATEGORY_SM:
    case UTF8PROC_CATEGORY_SC:
    case UTF8PROC_CATEGORY_SK:
    case UTF8PROC_CATEGORY_SO:
      // Arrows, mathematical operators, box-drawing lines, blocks and shapes, as DOS code
      // pages and KOI8-R put in their high bytes, draw; a name holds none of them.
      if ((first >= 0x2190 && first <= 0x23FF) || (first >= 0x2500 && first <= 0x25FF)) return 0;
      return n + a > 2 * w ? n + a - 2 * w : 0;
    default:
      return 0;
  }
}

}  // namespace

Conversion convertToUtf8(std::string_view encoding, std::string_view bytes) {
  Decoder decoder(encoding);
  if (!decoder.known()) return refused(Refusal::kUnknownEncoding);
  if (byteTable(encoding).singleByte) {
    if (const auto at = firstUtf8BeyondAscii(bytes)) return refused(Refusal::kHoldsUtf8, *at);
  }
  Conversion conversion;
  const Decoder::Run run = decoder.decode(bytes, conversion.text);
  if (run.error != 0) return refused(Refusal::kUndecodable, run.consumed);
  // Some C libraries pass a lone UTF-16 surrogate through as its three bytes (glibc does
  // on big-endian machines), which no UTF-8 text holds: it does not decode either.
  if (const std::size_t valid = validUtf8Prefix(conversion.text); valid != conversion.text.size()) {
    std::string before;
    return refused(Refusal::kUndecodable, decoder.decode(bytes, before, valid).consumed);
  }
  if (const auto at = firstNulOrC1(conversion.text)) {
    // Decoding again, up to the character, tells which bytes it came from.
    std::string before;
    const std::uint64_t offset = decoder.decode(bytes, before, *at).consumed;
    if (conversion.text[*at] == '\0') return refused(Refusal::kNulCharacter, offset);
    return refused(Refusal::kC1Control, offset,
                   static_cast<unsigned char>(conversion.text[*at + 1]));
  }
  return conversion;
}

bool isSingleByte(std::string_view encoding) { return byteTable(encoding).singleByte; }

std::optional<std::string> readAs(std::string_view encoding, std::string_view bytes) {
  Decoder decoder(encoding);
  if (!decoder.known()) return std::nullopt;
  std::string text;
  if (decoder.decode(bytes, text).error != 0) return std::nullopt;
  return text;
}

CodePageProfile::Neighbour CodePageProfile::neighbourOf(unsigned char byte) {
  return byte >= 0x80          ? Neighbour::kHigh
         : isAsciiLetter(byte) ? Neighbour::kLetter
                               : Neighbour::kOther;
}

void CodePageProfile::close(unsigned char next) {
  if (open_ == 0) return;
  const Neighbour after = neighbourOf(next);
  if (openBefore_ != Neighbour::kLetter && after == Neighbour::kLetter)
    ++besideLetter_[open_ - 0x80];
  if (openBefore_ != Neighbour::kOther && after != Neighbour::kOther) ++inWord_[open_ - 0x80];
  open_ = 0;
}

void CodePageProfile::feedAscii(std::string_view bytes) {
  if (bytes.empty()) return;
  close(static_cast<unsigned char>(bytes.front()));
  last_ = neighbourOf(static_cast<unsigned char>(bytes.back()));
}

void CodePageProfile::feed(std::string_view bytes) {
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  while (p != end) {
    if (end - p >= 8 && (load8(p) & kHighs) == 0) {
      // Eight ASCII bytes: only the first and the last have a high neighbour, if any.
      close(static_cast<unsigned char>(p[0]));
      last_ = neighbourOf(static_cast<unsigned char>(p[7]));
      p += 8;
      continue;
    }
    const auto byte = static_cast<unsigned char>(*p++);
    close(byte);
    if (byte >= 0x80) {
      ++occurrences_[byte - 0x80];
      if (last_ == Neighbour::kLetter) ++besideLetter_[byte - 0x80];
      open_ = byte;
      openBefore_ = last_;
    }
    last_ = neighbourOf(byte);
  }
}

std::vector<CodePageGuess> guessCodePages(const CodePageProfile& profile,
                                          std::span<const CodePage> candidates) {
  std::vector<CodePageGuess> guesses;
  for (const CodePage& page : candidates) {
    const ByteTable& table = byteTable(page.encoding);
    if (!table.known) continue;
    CodePageGuess guess{page};
    bool clean = true;
    for (int byte = 0x80; byte < 0x100 && clean; ++byte) {
      const std::uint64_t n = profile.occurrences(static_cast<unsigned char>(byte));
      if (n == 0) continue;
      const std::optional<std::string>& reading = table.reading[byte];
      const auto points =
          reading
              ? halfPointsOf(*reading, n, profile.besideLetter(static_cast<unsigned char>(byte)),
                             profile.inWord(static_cast<unsigned char>(byte)))
              : std::nullopt;
      clean = points.has_value();
      if (clean) guess.halfPoints += *points;
    }
    if (clean) guesses.push_back(guess);
  }
  std::stable_sort(
      guesses.begin(), guesses.end(),
      [](const CodePageGuess& a, const CodePageGuess& b) { return a.halfPoints > b.halfPoints; });
  return guesses;
}

}  // namespace tagtree::explain
