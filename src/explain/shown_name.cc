// shownName: one UTF-8 character at a time, each either written as it is or escaped, in
// the pieces of the name that are shown.
#include "explain/shown_name.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace tagtree::explain {
namespace {

// Returns whether a person cannot see the character `code`, or cannot tell it from
// another: a C0 or C1 control, DEL, a format character such as a zero-width space or a
// byte-order mark, or white space other than U+0020.
bool isInvisible(char32_t code) {
  if (code < 0x7F) return code < 0x20;
  if (code <= 0xA0) return true;
  return (code >= 0x200B && code <= 0x200F) || (code >= 0x2028 && code <= 0x202E) ||
         (code >= 0x2060 && code <= 0x2064) || code == 0xFEFF ||
         (code != ' ' && isWhiteSpace(code));
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
  bool escaped = false;             // whether the character before was
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

}  // namespace

std::string shownName(std::string_view name) { return shown(name, Quotes::kWhereNeeded, {}); }

std::string quotedName(std::string_view name) { return shown(name, Quotes::kAlways, {}); }

std::string shownName(std::string_view name, ByteRange visible, Quotes quotes) {
  return shown(name, quotes, {&visible, 1});
}

std::vector<std::string> shownNamesApart(std::span<const std::string_view> names, Quotes quotes) {
  // Where two names first differ is where, in name order, two neighbours first differ.
  std::vector<std::size_t> order(names.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return names[a] < names[b]; });
  std::vector<ByteRange> differences;
  for (std::size_t i = 1; i < order.size(); ++i) {
    const std::string_view a = names[order[i - 1]];
    const std::string_view b = names[order[i]];
    const auto at = static_cast<std::size_t>(
        std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
    differences.push_back({at, at + 1});
  }
  // Names still shown the same, which "..." in a name can bring about, are shown whole.
  std::vector<bool> whole(names.size(), false);
  std::vector<std::string> texts(names.size());
  for (bool again = true; again;) {
    again = false;
    for (std::size_t i = 0; i < names.size(); ++i) {
      texts[i] = whole[i] ? shown(names[i], quotes, std::vector<ByteRange>{{0, names[i].size()}})
                          : shown(names[i], quotes, differences);
    }
    std::map<std::string_view, std::size_t> seen;
    for (std::size_t i = 0; i < names.size(); ++i) {
      const auto [first, added] = seen.emplace(texts[i], i);
      if (added || names[first->second] == names[i]) continue;
      for (const std::size_t j : {first->second, i}) {
        again = again || !whole[j];
        whole[j] = true;
      }
    }
  }
  return texts;
}

std::string shownPath(std::string_view parent, std::string_view child) {
  const bool quoted = hasEndSpace(parent) || hasEndSpace(child);
  std::string text = quoted ? "\"/" : "/";
  appendName(text, parent, unnormalizedRanges(parent), quoted);
  if (!child.empty()) {
    text += '/';
    appendName(text, child, unnormalizedRanges(child), quoted);
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
