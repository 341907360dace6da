// EncodingReading: the UTF-16 reading of both byte orders, and a UTF-8 check of the same
// bytes that passes ASCII without a NUL sixteen bytes a step (SSE2 on x86-64, eight bytes
// elsewhere) and checks each sequence beyond ASCII whole, carrying one that a piece cuts
// short over to the next piece. The profile of high bytes reads a piece only where it
// holds one: most files hold none.
#include "explain/encoding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "pipeline/byte_load.h"
#include "pipeline/utf8.h"

namespace tagtree::explain {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

// Returns the first byte from `p` on, before `end`, that is NUL or beyond ASCII, or a byte
// a few before it, or `end`.
const unsigned char* plainAsciiEnd(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  while (end - p >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // The top bit of each byte beyond ASCII, and of each byte of the NUL mask.
    if (_mm_movemask_epi8(_mm_or_si128(bytes, _mm_cmpeq_epi8(bytes, zero))) != 0) return p;
    p += 16;
  }
#endif
  while (end - p >= 8) {
    const std::uint64_t word = load8(reinterpret_cast<const char*>(p));
    if ((word & kHighs) != 0 || ((word - kOnes) & ~word & kHighs) != 0) return p;
    p += 8;
  }
  return p;
}

// Returns the bytes of the UTF-8 sequence whose first byte is `lead` (>= 0x80) claims,
// or 1 for a byte no sequence starts with.
std::size_t claimedSize(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;
}

}  // namespace

void EncodingReading::sequence(const unsigned char* bytes, std::size_t size, std::uint64_t offset) {
  const std::string_view text(reinterpret_cast<const char*>(bytes), size);
  const bool wellFormed = validUtf8Prefix(text) == size;
  if (!wellFormed) {
    if (firstNotUtf8_ == UINT64_MAX) firstNotUtf8_ = offset;
    marksEnded_ = true;
    return;
  }
  if (!marksEnded_ && offset == 3 * marks_ && text == "\xEF\xBB\xBF") {
    ++marks_;
    return;
  }
  marksEnded_ = true;
  if (firstBeyondAscii_ == UINT64_MAX) firstBeyondAscii_ = offset;
}

void EncodingReading::feed(std::string_view piece) {
  utf16_.feed(piece);
  const auto* const first = reinterpret_cast<const unsigned char*>(piece.data());
  const unsigned char* p = first;
  const unsigned char* const end = p + piece.size();
  const std::uint64_t start = size_;
  size_ += piece.size();
  const auto offset = [&](const unsigned char* at) { return start + (at - first); };
  bool high = pendingSize_ > 0;  // the piece holds a byte beyond ASCII
  // The rest of a sequence the last piece cut short. A byte that is no continuation ends
  // it early: it is ill-formed, and that byte starts afresh.
  // pendingSize_ stays below the 4 a sequence can need: it is flushed on reaching pendingNeeded_.
  while (pendingSize_ > 0 && pendingSize_ < sizeof pending_ && p != end) {
    if ((*p & 0xC0) != 0x80) {
      sequence(pending_, pendingSize_, pendingOffset_);
      pendingSize_ = 0;
      break;
    }
    pending_[pendingSize_++] = *p++;
    if (pendingSize_ == pendingNeeded_) {
      sequence(pending_, pendingSize_, pendingOffset_);
      pendingSize_ = 0;
    }
  }
  while (p != end) {
    if (const unsigned char* plain = plainAsciiEnd(p, end); plain != p) {
      marksEnded_ = true;
      p = plain;
      continue;
    }
    const unsigned char byte = *p;
    if (byte < 0x80) {
      nuls_ += byte == 0;
      marksEnded_ = true;
      ++p;
      continue;
    }
    high = true;
    const std::size_t claimed = claimedSize(byte);
    std::size_t size = 1;
    while (size < claimed && p + size != end && (p[size] & 0xC0) == 0x80) ++size;
    if (size < claimed && p + size == end) {
      // Cut short by the end of the piece: finished with the next one, or at the end.
      for (std::size_t i = 0; i < size; ++i) pending_[i] = p[i];
      pendingSize_ = size;
      pendingNeeded_ = claimed;
      pendingOffset_ = offset(p);
      break;
    }
    sequence(p, size, offset(p));
    p += size;
  }
  if (high) {
    highBytes_.feed(piece);
  } else {
    highBytes_.feedAscii(piece);
  }
}

EncodingDecision EncodingReading::decide() const {
  EncodingDecision decision;
  decision.size = size_;
  decision.nulBytes = nuls_;
  decision.utf8Marks = marks_;
  decision.utf16Mark = utf16_.mark();
  decision.highBytes = highBytes_;
  // A sequence cut short by the end of the file is not UTF-8.
  decision.firstNotUtf8 = pendingSize_ > 0 ? std::min(firstNotUtf8_, pendingOffset_)
                                           : std::min<std::uint64_t>(firstNotUtf8_, size_);
  decision.firstBeyondAscii = std::min<std::uint64_t>(firstBeyondAscii_, size_);

  const Utf16Mark mark = utf16_.mark();
  const Utf16Mark order = mark != Utf16Mark::kNone ? mark : utf16_.likelyOrder();
  decision.utf16Order = order;
  Utf16Flaw flaw = order == Utf16Mark::kLittleEndian ? utf16_.littleEndian()
                   : order == Utf16Mark::kBigEndian  ? utf16_.bigEndian()
                                                     : Utf16Flaw::kNoOrder;
  // A mark settles the order, and the file is UTF-16 if what follows decodes, whatever
  // its characters: its last code unit may be one whose byte reads as a line end.
  if (mark != Utf16Mark::kNone && flaw == Utf16Flaw::kLastLineEnd) flaw = Utf16Flaw::kNone;
  if (mark == Utf16Mark::kNone && flaw == Utf16Flaw::kNone) {
    // Without a mark, the NUL bytes must be where UTF-16 text puts them, in the high
    // bytes of its ASCII characters, its separators and its line ends: in most code units
    // where the bytes read as UTF-8 too (a UTF-8 file with stray NULs does), and in two
    // or more, one in 16 at least, where they do not (a stray NUL is one).
    const std::uint64_t nulUnits = utf16_.nulHighBytes(order), units = utf16_.units();
    if (decision.validUtf8() && 2 * nulUnits < units) flaw = Utf16Flaw::kUtf8Text;
    if (!decision.validUtf8() && (nulUnits < 2 || 16 * nulUnits < units)) {
      flaw = Utf16Flaw::kTooFewNuls;
      decision.utf16LineEnds = utf16_.lineEndUnits(order) > 0;
    }
  }
  const bool signs = mark != Utf16Mark::kNone || nuls_ > 0;
  if (signs && flaw == Utf16Flaw::kNone) {
    decision.encoding =
        order == Utf16Mark::kLittleEndian ? TextEncoding::kUtf16Le : TextEncoding::kUtf16Be;
    return decision;
  }
  if (signs) decision.notUtf16 = flaw;
  decision.encoding = decision.validUtf8()     ? TextEncoding::kUtf8
                      : nuls_ > 0              ? TextEncoding::kUnknown
                      : decision.beyondAscii() ? TextEncoding::kMixed
                                               : TextEncoding::kCodePage;
  return decision;
}

EncodingDecision decideEncoding(std::string_view bytes) {
  EncodingReading reading;
  reading.feed(bytes);
  return reading.decide();
}

}  // namespace tagtree::explain
