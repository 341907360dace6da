// EncodingReading: the UTF-16 reading of both byte orders, and a UTF-8 check of the same
// bytes that passes eight ASCII bytes without a NUL in one step and checks each sequence
// beyond ASCII whole, carrying one that a piece cuts short over to the next piece.
#include "explain/encoding.h"

#include "pipeline/byte_load.h"
#include "pipeline/utf8.h"

namespace tagtree::explain {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

// Returns the bytes of the UTF-8 sequence whose first byte is `lead` (>= 0x80) claims,
// or 1 for a byte no sequence starts with.
std::size_t claimedSize(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;
}

}  // namespace

void EncodingReading::sequence(const unsigned char* bytes, std::size_t size,
                               std::uint64_t offset) {
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
  highBytes_.feed(piece);
  const auto* const first = reinterpret_cast<const unsigned char*>(piece.data());
  const unsigned char* p = first;
  const unsigned char* const end = p + piece.size();
  const std::uint64_t start = size_;
  size_ += piece.size();
  const auto offset = [&](const unsigned char* at) { return start + (at - first); };
  // The rest of a sequence the last piece cut short. A byte that is no continuation ends
  // it early: it is ill-formed, and that byte starts afresh.
  while (pendingSize_ > 0 && p != end) {
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
    if (end - p >= 8) {
      const std::uint64_t word = load8(reinterpret_cast<const char*>(p));
      if ((word & kHighs) == 0 && ((word - kOnes) & ~word & kHighs) == 0) {
        if (!marksEnded_) marksEnded_ = true;
        p += 8;
        continue;
      }
    }
    const unsigned char byte = *p;
    if (byte < 0x80) {
      nuls_ += byte == 0;
      marksEnded_ = true;
      ++p;
      continue;
    }
    const std::size_t claimed = claimedSize(byte);
    std::size_t size = 1;
    while (size < claimed && p + size != end && (p[size] & 0xC0) == 0x80) ++size;
    if (size < claimed && p + size == end) {
      // Cut short by the end of the piece: finished with the next one, or at the end.
      for (std::size_t i = 0; i < size; ++i) pending_[i] = p[i];
      pendingSize_ = size;
      pendingNeeded_ = claimed;
      pendingOffset_ = offset(p);
      return;
    }
    sequence(p, size, offset(p));
    p += size;
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
    if (!decision.validUtf8() && (nulUnits < 2 || 16 * nulUnits < units))
      flaw = Utf16Flaw::kTooFewNuls;
  }
  const bool signs = mark != Utf16Mark::kNone || nuls_ > 0;
  if (signs && flaw == Utf16Flaw::kNone) {
    decision.encoding =
        order == Utf16Mark::kLittleEndian ? TextEncoding::kUtf16Le : TextEncoding::kUtf16Be;
    return decision;
  }
  if (signs) decision.notUtf16 = flaw;
  decision.encoding = decision.validUtf8()      ? TextEncoding::kUtf8
                      : nuls_ > 0               ? TextEncoding::kUnknown
                      : decision.beyondAscii()  ? TextEncoding::kMixed
                                                : TextEncoding::kCodePage;
  return decision;
}

EncodingDecision decideEncoding(std::string_view bytes) {
  EncodingReading reading;
  reading.feed(bytes);
  return reading.decide();
}

}  // namespace tagtree::explain
