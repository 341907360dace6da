// Utf16Reading: code unit by code unit, both byte orders at once. Most of a UTF-8 file has
// neither NUL bytes nor the bytes of surrogate code units (0xD8 to 0xDF), so eight bytes
// without either are passed in one step.
#include "explain/utf16_reading.h"

#include <algorithm>
#include <cstring>

#include "pipeline/byte_load.h"

namespace tagtree::explain {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

// Returns whether a byte of `word` is zero.
bool hasZeroByte(std::uint64_t word) { return ((word - kOnes) & ~word & kHighs) != 0; }

// Returns whether a byte of `word` is one of a surrogate's high bytes, 0xD8 to 0xDF.
bool hasSurrogateByte(std::uint64_t word) {
  return hasZeroByte((word ^ (0xD8 * kOnes)) & (0xF8 * kOnes));
}

}  // namespace

void Utf16Reading::take(Order& order, unsigned char high, unsigned char low) {
  if (order.flaw != Utf16Flaw::kNone) return;
  const bool lead = high >= 0xD8 && high <= 0xDB;
  const bool trail = high >= 0xDC && high <= 0xDF;
  if (low == 0 && high == 0) {
    order.flaw = Utf16Flaw::kStrayNul;
  } else if (trail != order.afterLead) {
    order.flaw = Utf16Flaw::kLoneSurrogate;
  }
  order.afterLead = lead;
}

void Utf16Reading::unit(unsigned char first, unsigned char second) {
  nulsAtEven_ += first == 0;
  nulsAtOdd_ += second == 0;
  lineEndsLittle_ += second == 0 && (first == '\n' || first == '\r');
  lineEndsBig_ += first == 0 && (second == '\n' || second == '\r');
  if (size_ == 2 && first == 0xFF && second == 0xFE) mark_ = Utf16Mark::kLittleEndian;
  if (size_ == 2 && first == 0xFE && second == 0xFF) mark_ = Utf16Mark::kBigEndian;
  take(little_, second, first);
  take(big_, first, second);
}

void Utf16Reading::feed(std::string_view bytes) {
  // The first kLookAhead bytes are taken apart from the rest, which are not read at all
  // where those showed no NUL and no mark.
  while (!bytes.empty() && !stopped_) {
    std::size_t taken = bytes.size();
    if (size_ < kLookAhead) taken = std::min<std::size_t>(taken, kLookAhead - size_);
    scan(bytes.substr(0, taken));
    bytes.remove_prefix(taken);
    if (size_ == kLookAhead && nulsAtEven_ + nulsAtOdd_ == 0 && mark_ == Utf16Mark::kNone) {
      stopped_ = true;
      little_.flaw = big_.flaw = Utf16Flaw::kNoNulAtStart;
    }
  }
}

void Utf16Reading::scan(std::string_view bytes) {
  if (bytes.size() >= 2) {
    last_[0] = static_cast<unsigned char>(bytes[bytes.size() - 2]);
  } else if (!bytes.empty()) {
    last_[0] = last_[1];
  }
  if (!bytes.empty()) last_[1] = static_cast<unsigned char>(bytes.back());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* const end = p + bytes.size();
  while (p != end) {
    if (size_ % 2 == 1) {
      ++size_;
      unit(pending_, *p++);
      continue;
    }
    if (end - p >= 8 && size_ >= 2) {
      const std::uint64_t word = load8(reinterpret_cast<const char*>(p));
      if (!hasZeroByte(word) && !hasSurrogateByte(word)) {
        // Four code units, none NUL-bearing nor a surrogate: a lead surrogate before them
        // goes unpaired.
        for (Order* order : {&little_, &big_}) {
          if (order->afterLead && order->flaw == Utf16Flaw::kNone)
            order->flaw = Utf16Flaw::kLoneSurrogate;
          order->afterLead = false;
        }
        p += 8;
        size_ += 8;
        continue;
      }
    }
    pending_ = *p++;
    ++size_;
  }
}

Utf16Flaw Utf16Reading::flawOf(const Order& order) const {
  if (order.flaw != Utf16Flaw::kNone) return order.flaw;
  if (size_ % 2 == 1) return Utf16Flaw::kOddLength;
  if (order.afterLead) return Utf16Flaw::kLoneSurrogate;
  // UTF-16 text that ends in a line end ends in its NUL byte (little-endian) or in the
  // CR or LF after its NUL (big-endian), never in a CR or LF beside a byte of text.
  if ((last_[1] == '\n' || last_[1] == '\r') && (&order == &little_ || last_[0] != 0))
    return Utf16Flaw::kLastLineEnd;
  return Utf16Flaw::kNone;
}

}  // namespace tagtree::explain
