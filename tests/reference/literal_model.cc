// The literal model: every table is a fixed array of slots scanned from the start, every
// lookup compares names byte by byte, and nothing is indexed or cached.
#include "literal_model.h"

#include <array>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace tagtree::reference {
namespace {

constexpr int kTagSlots = 100;
constexpr int kLineSlots = 50;
constexpr int kGroupSlots = 50;

// A failure of the run; `message` is what follows "Error: ".
struct ModelFailure {
  std::string message;
};

ModelFailure boundsFailure(int position) {
  return {"ArrayBoundsError corvane(" + std::to_string(position) + ")"};
}

ModelFailure textFailure() { return {"4invalid UTF-8 sequence"}; }

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

bool isSkippedWord(std::string_view word) { return word.empty() || sameName(word, " "); }

struct Tag {
  std::string_view name;
  std::int64_t count = 1;  // wide enough for any number of repeats
};

struct TagGroup {
  explicit TagGroup(int parents) : parentCount(parents) {}

  void addTag(Tag* tag) {
    if (tagCount == kGroupSlots) throw boundsFailure(180);
    tags[tagCount] = tag;
    ++tagCount;
  }

  // The first filled slot whose name equals the name of `tag`. The filled slots are
  // the first tagCount ones.
  Tag* hasTag(const Tag* tag) const {
    if (tag == nullptr) return nullptr;
    for (int slot = 0; slot < tagCount; ++slot) {
      if (sameName(tags[slot]->name, tag->name)) return tags[slot];
    }
    return nullptr;
  }

  std::array<Tag*, kGroupSlots> tags{};
  int tagCount = 0;
  int parentCount;
};

// Cuts `text` at CR, LF and CR LF. A final terminator starts no further line.
std::vector<std::string_view> cutLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(text.substr(start, i - start));
      const bool pair = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
      i += pair ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// Cuts `line` at every "; ", left to right. An empty line has no words.
std::vector<std::string_view> cutWords(std::string_view line) {
  std::vector<std::string_view> words;
  if (line.empty()) return words;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i + 1 < line.size()) {
    if (line[i] == ';' && line[i + 1] == ' ') {
      words.push_back(line.substr(start, i - start));
      i += 2;
      start = i;
    } else {
      ++i;
    }
  }
  words.push_back(line.substr(start));
  return words;
}

// One well-formed UTF-8 character: its code point and how many bytes it took.
struct Character {
  char32_t code;
  std::size_t length;
};

// Decodes the character at `pos`, or returns nothing when the bytes there are not a
// well-formed character (bad lead, bad continuation, cut short, overlong, surrogate, or
// above U+10FFFF).
std::optional<Character> readCharacter(std::string_view text, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) return Character{lead, 1};
  std::size_t length;
  char32_t code;
  char32_t smallest;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    code = lead & 0x1F;
    smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    code = lead & 0x0F;
    smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    code = lead & 0x07;
    smallest = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - pos < length) return std::nullopt;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[pos + k]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    code = (code << 6) | (next & 0x3F);
  }
  if (code < smallest || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
    return std::nullopt;
  }
  return Character{code, length};
}

void writeCharacter(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Reads `text` one character at a time and writes each out before reading the next.
void writeText(std::string& out, std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::optional<Character> character = readCharacter(text, pos);
    if (!character) throw textFailure();
    writeCharacter(out, character->code);
    pos += character->length;
  }
}

// Writes `pattern` with each "%s" filled by the next of `names`, then an LF.
void writeLine(std::string& out, std::string_view pattern,
               std::initializer_list<std::string_view> names) {
  const std::string_view* next = names.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
      writeText(out, *next++);
      ++i;
    } else {
      writeText(out, pattern.substr(i, 1));
    }
  }
  out += '\n';
}

// All the state of one run, built by group(), changed by infer(), read by list().
class Run {
 public:
  void group(std::string_view text) {
    for (const std::string_view line : cutLines(text)) {
      const std::vector<std::string_view> words = cutWords(line);
      countWords(words);
      TagGroup* lineGroup = groupWords(words);
      if (lineGroupCount_ == kLineSlots) throw boundsFailure(56);
      lineGroups_[lineGroupCount_] = lineGroup;
      ++lineGroupCount_;
    }
  }

  void infer() {
    for (Tag* a : allTags_) {
      if (a == nullptr) continue;
      for (Tag* b : allTags_) {
        if (b == nullptr) continue;
        const int shared = countTagWith(a, b, lineGroups_);
        if (shared >= 1 && b->count <= a->count / 2 + 1) {
          childGroupOf(a, 101).addTag(b);
          childGroupOf(b, 103).parentCount += 1;
        }
      }
    }
  }

  void list(std::string& out) {
    for (const auto& entry : tagGroups_) {
      const Tag* key = entry.first;
      if (childGroupOf(key, 121).parentCount != 0) continue;
      writeLine(out, "/%s", {key->name});
      for (Tag* child : childGroupOf(key, 123).tags) {
        if (child == nullptr) continue;
        if (childGroupOf(child, 125).parentCount == 1) {
          writeLine(out, "/%s/%s", {key->name, child->name});
        }
      }
    }
  }

 private:
  void countWords(const std::vector<std::string_view>& words) {
    for (const std::string_view word : words) {
      bool found = false;
      for (Tag* tag : allTags_) {
        if (tag != nullptr && sameName(tag->name, word)) {
          tag->count += 1;
          found = true;
        }
      }
      if (found || isSkippedWord(word)) continue;
      if (allTagCount_ == kTagSlots) throw boundsFailure(41);
      Tag* tag = &tags_.emplace_back(Tag{word});
      allTags_[allTagCount_] = tag;
      ++allTagCount_;
      tagGroups_.emplace_back(tag, &groups_.emplace_back(0));
    }
  }

  TagGroup* groupWords(const std::vector<std::string_view>& words) {
    TagGroup* lineGroup = &groups_.emplace_back(-1);
    for (const std::string_view word : words) {
      for (Tag* tag : allTags_) {
        if (tag != nullptr && sameName(tag->name, word)) {
          lineGroup->addTag(tag);
          break;
        }
      }
    }
    return lineGroup;
  }

  static int countTagWith(const Tag* first, const Tag* second,
                          const std::array<TagGroup*, kLineSlots>& groups) {
    if (sameName(first->name, second->name)) return 0;
    int shared = 0;
    for (const TagGroup* group : groups) {
      if (group == nullptr) continue;
      if (group->hasTag(first) != nullptr && group->hasTag(second) != nullptr) ++shared;
    }
    return shared;
  }

  // Looks `tag` up by identity; `position` names the guard if it were missing.
  TagGroup& childGroupOf(const Tag* tag, int position) {
    for (const auto& [key, group] : tagGroups_) {
      if (key == tag) return *group;
    }
    throw boundsFailure(position);
  }

  std::deque<Tag> tags_;
  std::deque<TagGroup> groups_;
  std::array<Tag*, kTagSlots> allTags_{};
  int allTagCount_ = 0;
  std::array<TagGroup*, kLineSlots> lineGroups_{};
  int lineGroupCount_ = 0;
  // The child group of every tag, keyed by identity, enumerated in the order entered.
  std::vector<std::pair<Tag*, TagGroup*>> tagGroups_;
};

// The rules without the capacities, as plainly: the distinct tags in a list, in the order
// they first occur; which pairs share a line, from every pair of tags on each line; then
// every ordered pair of tags tried in turn.
class UnboundedRun {
 public:
  void group(std::string_view text) {
    for (const std::string_view line : cutLines(text)) {
      std::vector<std::size_t> tags;
      for (const std::string_view word : cutWords(line)) {
        if (isSkippedWord(word)) continue;
        const auto [entry, added] = index_.try_emplace(word, names_.size());
        if (added) {
          names_.push_back(word);
          counts_.push_back(0);
        }
        counts_[entry->second] += 1;
        tags.push_back(entry->second);
      }
      lines_.push_back(tags);
    }
  }

  void infer() {
    const std::size_t n = names_.size();
    std::vector<std::vector<bool>> shared(n, std::vector<bool>(n, false));
    for (const std::vector<std::size_t>& line : lines_) {
      for (const std::size_t a : line) {
        for (const std::size_t b : line) shared[a][b] = shared[a][b] || a != b;
      }
    }
    children_.assign(n, {});
    parentCounts_.assign(n, 0);
    for (std::size_t a = 0; a < n; ++a) {
      for (std::size_t b = 0; b < n; ++b) {
        if (shared[a][b] && counts_[b] <= counts_[a] / 2 + 1) {
          children_[a].push_back(b);
          parentCounts_[b] += 1;
        }
      }
    }
  }

  void list(std::string& out) const {
    for (std::size_t a = 0; a < names_.size(); ++a) {
      if (parentCounts_[a] != 0) continue;
      writeLine(out, "/%s", {names_[a]});
      for (const std::size_t child : children_[a]) {
        if (parentCounts_[child] == 1) writeLine(out, "/%s/%s", {names_[a], names_[child]});
      }
    }
  }

 private:
  std::vector<std::string_view> names_;
  std::vector<std::int64_t> counts_;
  std::map<std::string_view, std::size_t> index_;
  std::vector<std::vector<std::size_t>> lines_;
  std::vector<std::vector<std::size_t>> children_;
  std::vector<int> parentCounts_;
};

// Runs the model `Model` on `input`: its output, and on failure the error line and status 1.
template <typename Model>
ModelResult runModel(std::string_view input) {
  ModelResult result;
  try {
    Model run;
    run.group(input);
    run.infer();
    run.list(result.output);
  } catch (const ModelFailure& failure) {
    result.output += "Error: " + failure.message + "\n";
    result.status = 1;
  }
  return result;
}

}  // namespace

ModelResult runUnboundedModel(std::string_view input) { return runModel<UnboundedRun>(input); }

ModelResult runLiteralModel(std::string_view input) { return runModel<Run>(input); }

}  // namespace tagtree::reference
