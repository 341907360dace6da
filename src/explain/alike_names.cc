// findAlikeNames: each name reduced to a key, the form that alike names share, and the
// names grouped by key in a name index. Most names are ASCII without upper case or end
// spaces, and are their own keys; only names with other characters go through utf8proc.
#include "explain/alike_names.h"

#include <utf8proc.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "explain/unicode_text.h"
#include "pipeline/name_index.h"
#include "pipeline/name_store.h"
#include "pipeline/utf8.h"

namespace tagtree::explain {
namespace {

// NFKC case folding, with default-ignorable characters kept.
constexpr auto kFolding = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPAT |
                                                         UTF8PROC_COMPOSE | UTF8PROC_CASEFOLD);
// Decomposition alone, as kFolding does it before it composes again.
constexpr auto kDecomposing =
    static_cast<utf8proc_option_t>(UTF8PROC_COMPAT | UTF8PROC_DECOMPOSE | UTF8PROC_CASEFOLD);

// Non-starters (combining marks) in a row that a key is made of before a combining
// grapheme joiner goes between them, as in Unicode's stream-safe text format.
constexpr int kMostNonStarters = 30;
constexpr std::string_view kGraphemeJoiner = "\xCD\x8F";  // U+034F

bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool isAsciiWhiteSpace(char c) { return isWhiteSpace(static_cast<unsigned char>(c)); }

// Returns the code point that starts at `at` in valid UTF-8 `text`, and sets `length` to
// its length.
std::int32_t codeAt(std::string_view text, std::size_t at, std::size_t& length) {
  std::int32_t code = 0;
  length = static_cast<std::size_t>(
      utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at),
                       static_cast<utf8proc_ssize_t>(text.size() - at), &code));
  return code;
}

// Returns valid UTF-8 `name` without the Unicode white space at its ends.
std::string_view withoutEndSpace(std::string_view name) {
  std::size_t length = 0;
  while (!name.empty() && isWhiteSpace(codeAt(name, 0, length))) name.remove_prefix(length);
  while (!name.empty()) {
    std::size_t start = name.size() - 1;
    while ((static_cast<unsigned char>(name[start]) & 0xC0) == 0x80) --start;
    if (!isWhiteSpace(codeAt(name, start, length))) break;
    name.remove_suffix(name.size() - start);
  }
  return name;
}

// Returns how many of `parts` (code points) lead and trail, that are not starters.
std::pair<int, int> nonStarterEnds(const std::int32_t* parts, int count) {
  const auto isStarter = [&](int i) {
    return utf8proc_get_property(parts[i])->combining_class == 0;
  };
  int leading = 0;
  while (leading < count && !isStarter(leading)) ++leading;
  int trailing = 0;
  while (trailing < count && !isStarter(count - 1 - trailing)) ++trailing;
  return {leading, trailing};
}

// Returns valid UTF-8 `name`, or a copy in `buffer` with a combining grapheme joiner where
// its decomposition would have more than kMostNonStarters non-starters in a row. Putting
// them in order takes time quadratic in their number.
std::string_view streamSafe(std::string_view name, std::string& buffer) {
  int run = 0;  // non-starters in a row so far
  std::size_t copied = 0;
  bool joined = false;
  std::int32_t parts[64];
  for (std::size_t at = 0, length = 0; at < name.size(); at += length) {
    const std::int32_t code = codeAt(name, at, length);
    if (code < 0x80) {
      run = 0;
      continue;
    }
    int count = static_cast<int>(utf8proc_decompose_char(code, parts, 64, kDecomposing, nullptr));
    std::unique_ptr<std::int32_t[]> many;
    const std::int32_t* decomposed = parts;
    if (count > 64) {  // none in Unicode 15 is this long
      many = std::make_unique<std::int32_t[]>(static_cast<std::size_t>(count));
      count =
          static_cast<int>(utf8proc_decompose_char(code, many.get(), count, kDecomposing, nullptr));
      decomposed = many.get();
    }
    if (count <= 0) continue;
    const auto [leading, trailing] = nonStarterEnds(decomposed, count);
    if (run + leading > kMostNonStarters) {
      if (!joined) buffer.clear();
      joined = true;
      buffer.append(name.substr(copied, at - copied)).append(kGraphemeJoiner);
      copied = at;
      run = 0;
    }
    run = leading == count ? run + count : trailing;
  }
  if (!joined) return name;
  buffer.append(name.substr(copied));
  return buffer;
}

// Returns valid UTF-8 `name` case-folded in compatibility form, in `buffer`.
std::string_view folded(std::string_view name, std::string& buffer, std::string& scratch) {
  name = streamSafe(name, scratch);
  utf8proc_uint8_t* result = nullptr;
  const utf8proc_ssize_t length =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(name.data()),
                   static_cast<utf8proc_ssize_t>(name.size()), &result, kFolding);
  const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owned(result, &std::free);
  if (length == UTF8PROC_ERROR_NOMEM) throw std::bad_alloc();
  if (length < 0) {  // not expected of valid UTF-8: the name stands for itself
    buffer.assign(name);
  } else {
    buffer.assign(reinterpret_cast<const char*>(result), static_cast<std::size_t>(length));
  }
  return buffer;
}

// Returns `name` with its ASCII letters in lower case, in `buffer`.
std::string_view asciiLower(std::string_view name, std::string& buffer) {
  buffer.assign(name);
  for (char& c : buffer) {
    if (isUpper(c)) c = static_cast<char>(c - 'A' + 'a');
  }
  return buffer;
}

// Returns the key of `name`, which names alike share, always in `buffer`, which the next
// call overwrites; none for a name alike to none. The keys of valid UTF-8 are valid UTF-8,
// the others not, so the two kinds never meet.
std::optional<std::string_view> keyOf(std::string_view name, std::string& buffer,
                                      std::string& scratch) {
  bool ascii = true;
  for (const char c : name) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    while (!name.empty() && isAsciiWhiteSpace(name.front())) name.remove_prefix(1);
    while (!name.empty() && isAsciiWhiteSpace(name.back())) name.remove_suffix(1);
    if (name.empty()) return std::nullopt;
    return asciiLower(name, buffer);
  }
  if (validUtf8Prefix(name) != name.size()) {
    const std::size_t first = name.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    return asciiLower(name.substr(first, name.find_last_not_of(' ') + 1 - first), buffer);
  }
  name = withoutEndSpace(name);
  if (name.empty()) return std::nullopt;
  return folded(name, buffer, scratch);
}

}  // namespace

std::vector<std::vector<std::uint32_t>> findAlikeNames(const NameTable& names) {
  // Most names are their own key, and most keys that are not are names of the table too:
  // the lower-case, trimmed spelling of a tag is usually a tag itself. So a group is
  // numbered by the slot of its key where the key is a name of the table, and only the
  // other keys go into an index of their own, numbered past the table's slots. A name that
  // is its own key has its own slot's number; a name whose key is another name has that
  // name's slot, which only names of that key share, whatever that name's own key is.
  const std::uint32_t count = names.size();
  constexpr std::uint32_t kNone = UINT32_MAX;
  std::vector<std::uint32_t> groupOf(count, kNone);  // by slot: the number of its key
  struct Keyed {
    std::uint32_t slot;
    std::string_view key;
  };
  std::vector<Keyed> others;  // names with another key, and that key
  NameStore keyStore;
  std::string buffer;
  std::string scratch;
  for (std::uint32_t slot = 0; slot < count; ++slot) {
    const std::string_view name = names.name(slot);
    const std::optional<std::string_view> key = keyOf(name, buffer, scratch);
    if (!key) continue;  // alike to none
    if (*key == name) {
      groupOf[slot] = slot;
    } else {  // its key outlives the next name's only as a copy of its own
      others.push_back({slot, keyStore.keep(*key)});
    }
  }
  NameIndex otherKeys;  // keys that are no name of the table
  for (const Keyed& keyed : others) {
    if (const std::uint32_t named = names.find(keyed.key); named != NameTable::kNotFound) {
      groupOf[keyed.slot] = named;
      continue;
    }
    std::uint32_t other = otherKeys.find(keyed.key);
    if (other == NameIndex::kNotFound) other = otherKeys.insert(keyed.key);
    groupOf[keyed.slot] = count + other;
  }
  std::vector<std::uint32_t> members(std::size_t{count} + otherKeys.size(), 0);  // by key
  for (const std::uint32_t group : groupOf) {
    if (group != kNone) ++members[group];
  }
  std::vector<std::vector<std::uint32_t>> groups;
  std::vector<std::uint32_t> groupAt(members.size(), kNone);  // by key: its place in groups
  for (std::uint32_t slot = 0; slot < count; ++slot) {
    const std::uint32_t group = groupOf[slot];
    if (group == kNone || members[group] < 2) continue;
    if (groupAt[group] == kNone) {
      groupAt[group] = static_cast<std::uint32_t>(groups.size());
      groups.emplace_back();
    }
    groups[groupAt[group]].push_back(slot);
  }
  return groups;
}

}  // namespace tagtree::explain
