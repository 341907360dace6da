// The unified diff of two versions of a file. The lines the two share at the start and at
// the end are set aside first; of the rest, each line is given the number of its text
// (found by hash, then by bytes), and lines whose text occurs in one version only, which
// can never be paired, are left out. Myers' greedy search then pairs the others along a
// shortest edit path, exploring at most kExactDiffCost edits at a time: where that is not
// enough it keeps the path to the point it got furthest and searches on from there, so
// that the work stays within a multiple of the lines, whatever the files hold.
#include "explain/unified_diff.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "pipeline/name_hash.h"
#include "pipeline/utf8.h"

namespace tagtree::explain {
namespace {

constexpr std::size_t kContext = 3;
constexpr std::size_t kFlushSize = 64 * 1024;

// Returns the offset just past the line that starts at `pos`: past its LF, or the end.
std::size_t lineEnd(std::string_view text, std::size_t pos) {
  const std::size_t lf = text.find('\n', pos);
  return lf == std::string_view::npos ? text.size() : lf + 1;
}

// Returns the number of lines in `text`, the last one with or without LF.
std::size_t lineCount(std::string_view text) {
  const auto lfs = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  return lfs + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

// Numbers the distinct texts of lines, and records in which versions each occurs.
class LineClasses {
 public:
  explicit LineClasses(std::uint64_t& steps) : steps_(steps), slots_(64, 0) {}

  // The hash is seeded anew each run, so that no lines can be made beforehand to share
  // it and crowd the table.

  // Returns the number of the text of `line`, which occurs in version `side` (0 or 1).
  std::uint32_t classify(std::string_view line, int side) {
    const std::uint64_t hash = nameHash(line, seed_);
    std::size_t slot = hash & (slots_.size() - 1);
    for (; slots_[slot] != 0; slot = (slot + 1) & (slots_.size() - 1)) {
      ++steps_;
      Class& known = classes_[slots_[slot] - 1];
      if (known.hash == hash && known.text == line) {
        known.sides |= 1 << side;
        return slots_[slot] - 1;
      }
    }
    classes_.push_back({line, hash, static_cast<unsigned char>(1 << side)});
    slots_[slot] = static_cast<std::uint32_t>(classes_.size());
    if (classes_.size() * 2 > slots_.size()) grow();
    return static_cast<std::uint32_t>(classes_.size() - 1);
  }

  // Returns whether text number `number` occurs in both versions.
  bool inBoth(std::uint32_t number) const { return classes_[number].sides == 3; }

 private:
  struct Class {
    std::string_view text;
    std::uint64_t hash;
    unsigned char sides;  // bit 0: in the version before, bit 1: in the one after
  };

  void grow() {
    slots_.assign(slots_.size() * 2, 0);
    for (std::size_t number = 0; number < classes_.size(); ++number) {
      std::size_t slot = classes_[number].hash & (slots_.size() - 1);
      while (slots_[slot] != 0) slot = (slot + 1) & (slots_.size() - 1);
      slots_[slot] = static_cast<std::uint32_t>(number + 1);
    }
  }

  std::uint64_t& steps_;

  std::uint64_t seed_ = runSeed();
  std::vector<std::uint32_t> slots_;  // class number + 1, or 0 where free
  std::vector<Class> classes_;
};

// Myers' greedy search for a shortest edit path from `a` to `b`, sequences of line
// numbers, which marks the lines it pairs by clearing their flags.
class PathSearch {
 public:
  PathSearch(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b,
             std::uint64_t& steps)
      : a_(a), b_(b), steps_(steps) {}

  // Calls pair(x, y) for the lines a[x] and b[y] paired along the path found.
  template <typename Pair>
  void run(Pair pair) {
    const std::ptrdiff_t n = std::ssize(a_), m = std::ssize(b_);
    std::ptrdiff_t x0 = 0, y0 = 0;
    for (;;) {
      while (x0 < n && y0 < m && a_[x0] == b_[y0]) {
        ++steps_;
        pair(x0++, y0++);
      }
      if (x0 == n || y0 == m) return;
      x0_ = x0;
      y0_ = y0;
      n_ = n - x0;
      m_ = m - y0;
      const auto [d, k] = search();
      // Pairs the lines along the path to the end of diagonal k after d edits, back to
      // the first edit (the lines before it differ).
      std::ptrdiff_t x = at(d, k);
      const std::ptrdiff_t endX = x, endY = x - k;
      for (std::ptrdiff_t e = d, diagonal = k; e > 0; --e) {
        const std::ptrdiff_t from = moveFrom(e, diagonal);
        for (std::ptrdiff_t t = moveEnd(e, diagonal, from); t < x; ++t) {
          pair(x0 + t, y0 + t - diagonal);
        }
        diagonal = from;
        x = at(e - 1, diagonal);
      }
      x0 += endX;
      y0 += endY;
    }
  }

 private:
  // The furthest x on diagonal k (x - y == k) after d edits, or -1 where none gets there.
  std::ptrdiff_t at(std::ptrdiff_t d, std::ptrdiff_t k) const {
    if (k < -d || k > d) return -1;
    return trace_[static_cast<std::size_t>(d * d + d + k)];
  }

  // Returns the diagonal from which the last of d edits reaches diagonal k furthest, or
  // k itself where none does: from k + 1 by an addition, from k - 1 by a removal.
  std::ptrdiff_t moveFrom(std::ptrdiff_t d, std::ptrdiff_t k) const {
    const std::ptrdiff_t added = at(d - 1, k + 1), removed = at(d - 1, k - 1);
    const bool canAdd = added >= 0 && added - k <= m_;
    const bool canRemove = removed >= 0 && removed + 1 <= n_;
    if (canAdd && (!canRemove || added >= removed + 1)) return k + 1;
    return canRemove ? k - 1 : k;
  }

  // Returns x on diagonal k just after the move from diagonal `from`.
  std::ptrdiff_t moveEnd(std::ptrdiff_t d, std::ptrdiff_t k, std::ptrdiff_t from) const {
    return from > k ? at(d - 1, from) : at(d - 1, from) + 1;
  }

  // Fills the trace for up to kExactDiffCost edits from (x0_, y0_). Returns the edits and
  // the diagonal of the end, where they reach it; else of the point furthest along.
  std::pair<std::ptrdiff_t, std::ptrdiff_t> search() {
    trace_.clear();
    for (std::ptrdiff_t d = 0;; ++d) {
      trace_.resize(static_cast<std::size_t>((d + 1) * (d + 1)), -1);
      const std::ptrdiff_t low = std::max(-d, -m_);
      for (std::ptrdiff_t k = low + (low + d) % 2; k <= std::min(d, n_); k += 2) {
        std::ptrdiff_t x = 0;
        if (d > 0) {
          const std::ptrdiff_t from = moveFrom(d, k);
          if (from == k) continue;
          x = moveEnd(d, k, from);
        }
        ++steps_;
        while (x < n_ && x - k < m_ && a_[x0_ + x] == b_[y0_ + x - k]) {
          ++steps_;
          ++x;
        }
        trace_[static_cast<std::size_t>(d * d + d + k)] = x;
        if (x == n_ && x - k == m_) return {d, k};
      }
      if (d == kExactDiffCost) {
        // The point furthest along, the nearest the end's diagonal among equals.
        std::ptrdiff_t best = 0, bestReach = -1;
        for (std::ptrdiff_t k = -d; k <= d; ++k) {
          const std::ptrdiff_t x = at(d, k);
          const std::ptrdiff_t reach = 2 * x - k;
          if (x >= 0 && (reach > bestReach || (reach == bestReach &&
                                               std::abs(n_ - m_ - k) < std::abs(n_ - m_ - best)))) {
            best = k;
            bestReach = reach;
          }
        }
        return {d, best};
      }
    }
  }

  const std::vector<std::uint32_t>& a_;
  const std::vector<std::uint32_t>& b_;
  std::uint64_t& steps_;
  std::ptrdiff_t x0_ = 0, y0_ = 0, n_ = 0, m_ = 0;
  std::vector<std::ptrdiff_t> trace_;  // after d edits, diagonal k at d * d + d + k
};

// Returns flags for the lines of `before` and `after`, set on those of a shortest (or
// nearly shortest) edit that are removed and added, the others paired in order.
std::pair<std::vector<char>, std::vector<char>> changedLines(std::string_view before,
                                                             std::string_view after,
                                                             std::uint64_t& steps) {
  const std::size_t beforeLines = lineCount(before), afterLines = lineCount(after);
  std::vector<char> removed(beforeLines, 1), added(afterLines, 1);
  if (beforeLines + afterLines >= std::numeric_limits<std::uint32_t>::max()) {
    return {std::move(removed), std::move(added)};  // all replaced: too many to number
  }
  LineClasses classes(steps);
  std::vector<std::uint32_t> numbers[2];
  const std::string_view texts[2] = {before, after};
  for (int side = 0; side < 2; ++side) {
    numbers[side].reserve(side == 0 ? beforeLines : afterLines);
    for (std::size_t pos = 0; pos < texts[side].size();) {
      const std::size_t end = lineEnd(texts[side], pos);
      numbers[side].push_back(classes.classify(texts[side].substr(pos, end - pos), side));
      pos = end;
    }
  }
  // Only the lines whose text is in both versions are searched, with their places.
  std::vector<std::uint32_t> kept[2], places[2];
  for (int side = 0; side < 2; ++side) {
    for (std::size_t line = 0; line < numbers[side].size(); ++line) {
      if (classes.inBoth(numbers[side][line])) {
        kept[side].push_back(numbers[side][line]);
        places[side].push_back(static_cast<std::uint32_t>(line));
      }
    }
    numbers[side] = {};
  }
  PathSearch(kept[0], kept[1], steps).run([&](std::ptrdiff_t x, std::ptrdiff_t y) {
    removed[places[0][static_cast<std::size_t>(x)]] = 0;
    added[places[1][static_cast<std::size_t>(y)]] = 0;
  });
  return {std::move(removed), std::move(added)};
}

// Lines removed from [a, aEnd) and added at [b, bEnd), counted from the first line after
// the common start.
struct Change {
  std::size_t a, aEnd, b, bEnd;
};

// Reads a text line by line.
struct LineCursor {
  std::string_view text;
  std::size_t pos = 0, line = 0;

  std::string_view next() {
    const std::size_t start = pos;
    pos = lineEnd(text, pos);
    ++line;
    return text.substr(start, pos - start);
  }
  void skipTo(std::size_t target) {
    while (line < target) next();
  }
};

// Writes the diff to a sink in pieces of about kFlushSize bytes.
class DiffWriter {
 public:
  explicit DiffWriter(OutputSink& out) : out_(out) {}

  void put(std::string_view bytes) {
    buffer_.append(bytes);
    if (buffer_.size() >= kFlushSize) flush();
  }
  void putLine(char mark, std::string_view line) {
    buffer_ += mark;
    put(line);
    if (line.empty() || line.back() != '\n') put("\n\\ No newline at end of file\n");
  }
  // Writes a hunk header's range of `count` lines from line `start` (from 0).
  // Writes a hunk header for the lines [a, aEnd) before and [b, bEnd) after (from 0).
  void putHeader(std::size_t a, std::size_t aEnd, std::size_t b, std::size_t bEnd) {
    put("@@ -" + range(a, aEnd) + " +" + range(b, bEnd) + " @@\n");
  }
  void flush() {
    out_.write(buffer_);
    buffer_.clear();
  }

 private:
  // A range of lines as "first,count", the count left out where it is 1, and "before,0"
  // for none, numbering lines from 1: so 0 is before the first.
  static std::string range(std::size_t start, std::size_t end) {
    if (end - start == 1) return std::to_string(start + 1);
    return std::to_string(end == start ? start : start + 1) + "," + std::to_string(end - start);
  }

  OutputSink& out_;
  std::string buffer_;
};

}  // namespace

std::string diffLabel(std::string_view label) {
  bool plain = validUtf8Prefix(label) == label.size() && !label.starts_with('"');
  for (std::size_t i = 0; i < label.size(); ++i) {
    const auto byte = static_cast<unsigned char>(label[i]);
    // Bytes below 0x20, DEL, and the C1 controls U+0080 to U+009F.
    plain = plain && byte > 0x20 && byte != 0x7F &&
            !(byte == 0xC2 && i + 1 < label.size() && (label[i + 1] & 0xE0) == 0x80);
  }
  if (plain) return std::string(label);
  std::string quoted = "\"";
  for (const char c : label) {
    static constexpr std::string_view kNamed = "\a\b\t\n\v\f\r\"\\", kLetters = "abtnvfr\"\\";
    const auto byte = static_cast<unsigned char>(c);
    if (const std::size_t named = kNamed.find(c); named != std::string_view::npos) {
      quoted += '\\';
      quoted += kLetters[named];
    } else if (byte < 0x20 || byte >= 0x7F) {
      quoted += '\\';
      quoted += static_cast<char>('0' + (byte >> 6));
      quoted += static_cast<char>('0' + ((byte >> 3) & 7));
      quoted += static_cast<char>('0' + (byte & 7));
    } else {
      quoted += c;
    }
  }
  return quoted + '"';
}

bool writeUnifiedDiff(std::string_view before, std::string_view after, std::string_view label,
                      OutputSink& out) {
  std::uint64_t steps = 0;
  return writeUnifiedDiff(before, after, label, out, steps);
}

bool writeUnifiedDiff(std::string_view before, std::string_view after, std::string_view label,
                      OutputSink& out, std::uint64_t& steps) {
  if (before == after) return false;
  // The common start: the lines that end in an LF before the first byte that differs.
  const std::size_t same = static_cast<std::size_t>(
      std::mismatch(before.begin(), before.end(), after.begin(), after.end()).first -
      before.begin());
  const std::size_t lf = before.substr(0, same).rfind('\n');
  const std::size_t start = lf == std::string_view::npos ? 0 : lf + 1;
  const std::size_t startLines = lineCount(before.substr(0, start));
  // The common end: the lines that start in the bytes both end with, after the start.
  const std::size_t room = std::min(before.size(), after.size()) - start;
  std::size_t tail = 0;
  while (tail < room && before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
    ++tail;
  }
  const auto startsLine = [&](std::string_view text, std::size_t pos) {
    return pos == start || text[pos - 1] == '\n';
  };
  std::size_t end = tail;
  if (tail > 0 &&
      !(startsLine(before, before.size() - tail) && startsLine(after, after.size() - tail))) {
    const std::size_t next = before.find('\n', before.size() - tail);
    end = next == std::string_view::npos ? 0 : before.size() - next - 1;
  }
  const std::string_view middles[2] = {before.substr(start, before.size() - start - end),
                                       after.substr(start, after.size() - start - end)};
  const auto changed = changedLines(middles[0], middles[1], steps);
  const std::vector<char>& removed = changed.first;
  const std::vector<char>& added = changed.second;
  const std::size_t endLines = lineCount(before.substr(before.size() - end));
  const std::size_t beforeLines = startLines + removed.size() + endLines;

  // The next change from lines a and b on, which are paired, if any.
  const auto nextChange = [&](std::size_t a, std::size_t b) -> std::optional<Change> {
    while (a < removed.size() && b < added.size() && !removed[a] && !added[b]) ++a, ++b;
    if (a == removed.size() && b == added.size()) return std::nullopt;
    Change change{a, a, b, b};
    while (change.aEnd < removed.size() && removed[change.aEnd]) ++change.aEnd;
    while (change.bEnd < added.size() && added[change.bEnd]) ++change.bEnd;
    return change;
  };

  DiffWriter writer(out);
  const std::string shownLabel = diffLabel(label);
  writer.put("--- " + shownLabel + "\n+++ " + shownLabel + "\n");
  LineCursor beforeCursor{before}, afterCursor{after};
  for (std::optional<Change> change = nextChange(0, 0); change;) {
    // A hunk takes the changes up to one more than twice the context lines from the next.
    const Change first = *change;
    Change last = first;
    std::optional<Change> following;
    for (;;) {
      following = nextChange(last.aEnd, last.bEnd);
      if (!following || following->a - last.aEnd > 2 * kContext) break;
      last = *following;
    }
    const std::size_t lead = std::min(kContext, startLines + first.a);
    const std::size_t trail = std::min(kContext, beforeLines - startLines - last.aEnd);
    const std::size_t a = startLines + first.a - lead, b = startLines + first.b - lead;
    const std::size_t aEnd = startLines + last.aEnd + trail, bEnd = startLines + last.bEnd + trail;
    writer.putHeader(a, aEnd, b, bEnd);
    beforeCursor.skipTo(a);
    afterCursor.skipTo(b);
    for (Change piece = first;; piece = *nextChange(piece.aEnd, piece.bEnd)) {
      while (beforeCursor.line < startLines + piece.a) {
        writer.putLine(' ', beforeCursor.next());
        afterCursor.next();
      }
      while (beforeCursor.line < startLines + piece.aEnd) writer.putLine('-', beforeCursor.next());
      while (afterCursor.line < startLines + piece.bEnd) writer.putLine('+', afterCursor.next());
      if (piece.a == last.a && piece.b == last.b) break;
    }
    while (beforeCursor.line < aEnd) {
      writer.putLine(' ', beforeCursor.next());
      afterCursor.next();
    }
    change = following;
  }
  writer.flush();
  return true;
}

}  // namespace tagtree::explain
