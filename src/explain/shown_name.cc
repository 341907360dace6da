// shownName: one UTF-8 character at a time, each either written as it is or escaped, in
// the pieces of the name that are shown. ShownNames: the long names of a table in byte
// order, each kept visible where it differs from its neighbours, and the texts they are
// shown as, by hash, to find any still alike.
#include "explain/shown_name.h"

#include <algorithm>
#include <functional>
#include <map>
#include <numeric>

namespace tagtree::explain {
namespace {

// Returns whether a person cannot see the character `code`, or cannot tell it from
// another: a C0 or C1 control, DEL, a format character such as a soft hyphen, a zero-width
// space or a byte-order mark, or white space other than U+0020.
bool isInvisible(char32_t code) {
  if (code < 0x7F) return code < 0x20;
  return code <= 0xA0 || isFormat(code) || isWhiteSpace(code);
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

// Appends the bytes of `name` in `piece` as they are shown: each character as it is, or
// escaped; a double quote escaped too `inQuotes`. `unnormalized` are the name's ranges
// that unnormalizedRanges finds.
void appendShown(std::string& text, std::string_view name, ByteRange piece,
                 std::span<const ByteRange> unnormalized, bool inQuotes) {
  auto changed = std::lower_bound(unnormalized.begin(), unnormalized.end(), piece.from,
                                  [](const ByteRange& r, std::size_t at) { return r.to <= at; });
  // Whether a combining mark here would be drawn on what is not its own: an escape, or
  // what comes before the piece, such as a quote or "...".
  bool escaped = true;
  const auto plain = [&](char c) {  // visible ASCII, shown as it is: the most of most names
    return c >= ' ' && c < 0x7F && c != '\\' && (c != '"' || !inQuotes);
  };
  for (std::size_t at = piece.from, length = 0; at < piece.to; at += length) {
    for (length = 0; at + length < piece.to && plain(name[at + length]);) ++length;
    if (length > 0) {
      text.append(name, at, length);
      escaped = false;
      continue;
    }
    const char32_t code = decodeAt(name.substr(at, piece.to - at), length);
    const std::string_view c = name.substr(at, length);
    while (changed != unnormalized.end() && changed->to <= at) ++changed;
    const bool unnormal = changed != unnormalized.end() && changed->from <= at;
    if (code == kNotUtf8 || isInvisible(code) || unnormal || (escaped && isCombiningMark(code))) {
      appendEscaped(text, c);
      escaped = true;
      continue;
    }
    escaped = false;
    if (c == "\\" || (inQuotes && c == "\"")) text += '\\';
    text += c;
  }
}

// Returns `at` moved back to the start of the character it falls in, if it is within
// one of at most 4 bytes.
std::size_t characterStart(std::string_view name, std::size_t at) {
  for (int back = 0; back < 3 && at > 0 && at < name.size(); ++back) {
    if ((static_cast<unsigned char>(name[at]) & 0xC0) != 0x80) break;
    --at;
  }
  return at;
}

// Returns `at` moved on to the end of the character it falls in, as characterStart.
std::size_t characterEnd(std::string_view name, std::size_t at) {
  for (int on = 0; on < 3 && at < name.size(); ++on) {
    if ((static_cast<unsigned char>(name[at]) & 0xC0) != 0x80) break;
    ++at;
  }
  return at;
}

// Bytes shown on either side of a range that must be visible in a cut name.
constexpr std::size_t kContext = 8;
// A cut leaves out more than this many bytes, or none.
constexpr std::size_t kShortestCut = 3;

// Appends `name` as shownName shows it, without quotes, with the bytes in `visible`
// shown too where it is cut. `unnormalized` are its ranges that unnormalizedRanges finds.
void appendName(std::string& text, std::string_view name, std::span<const ByteRange> unnormalized,
                bool inQuotes, std::span<const ByteRange> visible = {}) {
  if (name.size() <= kLongestShownName) {
    appendShown(text, name, {0, name.size()}, unnormalized, inQuotes);
    return;
  }
  std::vector<ByteRange> pieces = {{0, characterStart(name, 40)},
                                   {characterStart(name, name.size() - 20), name.size()}};
  for (const ByteRange& range : visible) {
    const std::size_t from = std::min(range.from, name.size());
    const std::size_t to = std::clamp(range.to, from, name.size());
    pieces.push_back({characterStart(name, from - std::min(from, kContext)),
                      characterEnd(name, std::min(to + kContext, name.size()))});
  }
  std::sort(pieces.begin(), pieces.end(),
            [](const ByteRange& a, const ByteRange& b) { return a.from < b.from; });
  std::size_t shown = 0;  // the end of the last piece shown
  for (std::size_t i = 0; i < pieces.size();) {
    ByteRange piece = pieces[i];
    for (++i; i < pieces.size() && pieces[i].from <= piece.to + kShortestCut; ++i) {
      piece.to = std::max(piece.to, pieces[i].to);
    }
    if (piece.from > shown) text += "...";
    appendShown(text, name, piece, unnormalized, inQuotes);
    shown = piece.to;
  }
}

// Returns whether a person would miss a space at the start or end of `name`. Other white
// space is escaped.
bool hasEndSpace(std::string_view name) {
  return !name.empty() && (name.front() == ' ' || name.back() == ' ');
}

bool needsQuotes(std::string_view name, Quotes quotes) {
  return quotes == Quotes::kAlways || hasEndSpace(name) || name.starts_with('"') ||
         name.ends_with('"');
}

std::string sizeNote(std::string_view name) {
  return name.size() > kLongestShownName ? " (" + grouped(name.size()) + " bytes)" : "";
}

std::string shown(std::string_view name, Quotes quotes, std::span<const ByteRange> visible) {
  std::string text;
  const bool quoted = needsQuotes(name, quotes);
  if (quoted) text += '"';
  appendName(text, name, unnormalizedRanges(name), quoted, visible);
  if (quoted) text += '"';
  return text + sizeNote(name);
}

// Returns where `a` and `b` first differ: the length of the shorter where it starts the other.
std::size_t firstDifference(std::string_view a, std::string_view b) {
  return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
                                  a.begin());
}

// Returns the bytes where any two of `names` first differ: where, in byte order, two
// neighbours first differ.
std::vector<ByteRange> firstDifferences(std::span<const std::string_view> names) {
  std::vector<std::string_view> sorted(names.begin(), names.end());
  std::sort(sorted.begin(), sorted.end());
  std::vector<ByteRange> differences;
  for (std::size_t i = 1; i < sorted.size(); ++i) {
    const std::size_t at = firstDifference(sorted[i - 1], sorted[i]);
    differences.push_back({at, at + 1});
  }
  return differences;
}

// Returns the bytes that `text`, a name as shown in double quotes, stands for.
std::string unescaped(std::string_view text) {
  const auto hex = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      bytes += text[i];
    } else if (text[i + 1] == 'x' && i + 3 < text.size()) {
      bytes += static_cast<char>(hex(text[i + 2]) << 4 | hex(text[i + 3]));
      i += 3;
    } else {
      bytes += text[++i];
    }
  }
  return bytes;
}

std::size_t hashOf(std::string_view text) { return std::hash<std::string_view>{}(text); }

}  // namespace

std::string shownName(std::string_view name) { return shown(name, Quotes::kWhereNeeded, {}); }

std::string quotedName(std::string_view name) { return shown(name, Quotes::kAlways, {}); }

ShownNames::ShownNames(const NameTable& names) : names_(&names) {
  for (std::uint32_t slot = 0; slot < names.size(); ++slot) {
    const std::string_view name = names.name(slot);
    if (name.size() > kLongestShownName) {
      long_.push_back({slot, false, 0, {}, unnormalizedRanges(name)});
    } else {
      shortNameWithDots_ = shortNameWithDots_ || name.find("...") != std::string_view::npos;
    }
  }
  std::vector<std::uint32_t> order(long_.size());
  std::iota(order.begin(), order.end(), 0);
  const auto bytes = [&](std::uint32_t i) { return names.name(long_[i].slot); };
  std::sort(order.begin(), order.end(),
            [&](std::uint32_t a, std::uint32_t b) { return bytes(a) < bytes(b); });
  // Where a name first differs from any other is where it first differs from a neighbour.
  for (std::size_t i = 1; i < order.size(); ++i) {
    const std::size_t at = firstDifference(bytes(order[i - 1]), bytes(order[i]));
    for (const std::uint32_t k : {order[i - 1], order[i]}) {
      long_[k].near[long_[k].nearCount++] = {at, at + 1};
    }
  }
  // Names still shown alike, as "..." in a name or a repeated middle can bring about, are
  // shown whole; and then so are any others shown as one of them is shown whole.
  std::vector<std::size_t> hashes(long_.size());  // of each long name's inner text
  for (std::uint32_t i = 0; i < long_.size(); ++i) {
    hashes[i] = hashOf(inner(long_[i]));
    byText_.emplace(hashes[i], i);
  }
  std::vector<std::uint32_t> unchecked(long_.size());
  std::iota(unchecked.begin(), unchecked.end(), 0);
  while (!unchecked.empty()) {
    const std::uint32_t i = unchecked.back();
    unchecked.pop_back();
    // A name alone with its hash is shown as no other long one.
    if (byText_.count(hashes[i]) == 1 && !shortNameWithDots_) continue;
    const std::string text = inner(long_[i]);
    std::vector<decltype(byText_)::iterator> same;  // the names shown as `text`, i among them
    for (auto [at, end] = byText_.equal_range(hashOf(text)); at != end; ++at) {
      if (at->second == i || inner(long_[at->second]) == text) same.push_back(at);
    }
    if (same.size() == 1 && !shownAsShort(long_[i].slot, text)) continue;
    std::vector<std::uint32_t> cut;
    for (const auto at : same) {
      if (long_[at->second].whole) continue;
      cut.push_back(at->second);
      byText_.erase(at);
    }
    for (const std::uint32_t k : cut) {
      long_[k].whole = true;
      hashes[k] = hashOf(inner(long_[k]));
      byText_.emplace(hashes[k], k);
      unchecked.push_back(k);
    }
  }
}

std::string ShownNames::name(std::uint32_t slot, Quotes quotes) const {
  const std::string_view bytes = names_->name(slot);
  const bool quoted = needsQuotes(bytes, quotes);
  std::string text = quoted ? "\"" : "";
  append(text, slot, quoted);
  if (quoted) text += '"';
  return text + sizeNote(bytes);
}

std::string ShownNames::name(std::uint32_t slot, Quotes quotes,
                             std::span<const ByteRange> visible) const {
  const Long* info = longName(slot);
  if (info == nullptr || info->whole || visible.empty()) return name(slot, quotes);
  const std::string text = inner(*info, visible);
  if (text == inner(*info) || shownAsShort(slot, text)) return name(slot, quotes);
  for (auto [at, end] = byText_.equal_range(hashOf(text)); at != end; ++at) {
    if (inner(long_[at->second]) == text) return name(slot, quotes);
  }
  const std::string_view bytes = names_->name(slot);
  const auto [seen, added] = extended_.emplace(hashOf(text + sizeNote(bytes)), slot);
  if (!added && seen->second != slot) return name(slot, quotes);
  const bool quoted = needsQuotes(bytes, quotes);
  std::string shown = quoted ? "\"" : "";
  append(shown, slot, quoted, visible);
  if (quoted) shown += '"';
  return shown + sizeNote(bytes);
}

std::vector<std::string> ShownNames::apart(std::span<const std::uint32_t> slots,
                                           Quotes quotes) const {
  std::vector<std::string_view> names;
  for (const std::uint32_t slot : slots) names.push_back(names_->name(slot));
  const std::vector<ByteRange> differences = firstDifferences(names);
  std::vector<std::string> texts;
  for (const std::uint32_t slot : slots) texts.push_back(name(slot, quotes, differences));
  return texts;
}

std::string ShownNames::path(std::uint32_t parent) const {
  const bool quoted = hasEndSpace(names_->name(parent));
  std::string text = quoted ? "\"/" : "/";
  append(text, parent, quoted);
  if (quoted) text += '"';
  return text;
}

std::string ShownNames::path(std::uint32_t parent, std::uint32_t child) const {
  const bool quoted = hasEndSpace(names_->name(parent)) || hasEndSpace(names_->name(child));
  std::string text = quoted ? "\"/" : "/";
  append(text, parent, quoted);
  text += '/';
  append(text, child, quoted);
  if (quoted) text += '"';
  return text;
}

const ShownNames::Long* ShownNames::longName(std::uint32_t slot) const {
  if (names_->name(slot).size() <= kLongestShownName) return nullptr;
  return &*std::lower_bound(long_.begin(), long_.end(), slot,
                            [](const Long& name, std::uint32_t s) { return name.slot < s; });
}

void ShownNames::append(std::string& text, std::uint32_t slot, bool inQuotes,
                        std::span<const ByteRange> visible) const {
  const std::string_view name = names_->name(slot);
  const Long* info = longName(slot);
  if (info == nullptr) {
    appendName(text, name, unnormalizedRanges(name), inQuotes);
  } else if (info->whole) {
    const ByteRange all = {0, name.size()};
    appendName(text, name, info->unnormalized, inQuotes, {&all, 1});
  } else {
    std::vector<ByteRange> shown(info->near.begin(), info->near.begin() + info->nearCount);
    shown.insert(shown.end(), visible.begin(), visible.end());
    appendName(text, name, info->unnormalized, inQuotes, shown);
  }
}

std::string ShownNames::inner(const Long& name, std::span<const ByteRange> visible) const {
  std::string text;
  append(text, name.slot, true, visible);
  return text;
}

bool ShownNames::shownAsShort(std::uint32_t slot, const std::string& inner) const {
  // A short name shown as the long one is in a path, or, where the long one is shown
  // without quotes, as it is shown with its size. Either way it holds the "..." where the
  // long one is cut, and most tables have no such name.
  if (!shortNameWithDots_) return false;
  const std::string_view name = names_->name(slot);
  for (const bool sized : {false, true}) {
    if (sized && needsQuotes(name, Quotes::kWhereNeeded)) continue;
    const std::string text = sized ? inner + sizeNote(name) : inner;
    const std::string bytes = unescaped(text);
    if (bytes.size() > kLongestShownName || names_->find(bytes) == NameTable::kNotFound) continue;
    if (sized && needsQuotes(bytes, Quotes::kWhereNeeded)) continue;
    std::string shown;
    appendName(shown, bytes, unnormalizedRanges(bytes), true);
    if (shown == text) return true;
  }
  return false;
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
