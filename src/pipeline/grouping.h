// First stage of the run: from the lines and words of the input, as they stream in,
// builds the table of all tags with their counts, one line group per line, and an empty
// child group per tag, holding the input to tagtree's limits.
#ifndef TAGTREE_PIPELINE_GROUPING_H_
#define TAGTREE_PIPELINE_GROUPING_H_

#include <array>
#include <cstdint>
#include <deque>
#include <string_view>

#include "base/byte_source.h"
#include "model/tag.h"
#include "model/tag_group.h"
#include "pipeline/input_window.h"
#include "pipeline/line_walk.h"

namespace tagtree {

inline constexpr int kMaxTags = 100;
inline constexpr int kMaxLines = 50;

// The lines a tag occurs on, bit i standing for line i. 50 lines fit.
using LineSet = std::uint64_t;
static_assert(kMaxLines <= 64, "a LineSet has a bit for each line");

// The child group of every tag, keyed by the tag's identity: its slot.
class TagGroups {
 public:
  // Enters the next tag, whose slot is the number of tags entered so far, with a new
  // empty child group (parentCount 0), and returns that group.
  TagGroup& create();
  // Returns the child group of `tag`, which must have been entered.
  TagGroup& of(const Tag* tag) { return groups_[tag->slot()]; }
  const TagGroup& of(const Tag* tag) const { return groups_[tag->slot()]; }

 private:
  std::deque<TagGroup> groups_;  // by slot; a deque, so that groups never move
};

// Everything the later stages read. Tags and line groups live here until the run ends.
struct Grouping {
  Grouping() = default;
  Grouping(const Grouping&) = delete;
  Grouping& operator=(const Grouping&) = delete;

  std::array<Tag*, kMaxTags> allTags{};  // in order of first occurrence
  std::int32_t allTagCount = 0;
  std::array<TagGroup*, kMaxLines> lineGroups{};  // slot i holds line i
  std::int32_t lineGroupCount = 0;
  TagGroups tagGroups;
  std::array<LineSet, kMaxTags> lineSets{};  // lineSets[i]: the lines of allTags[i]

 private:
  friend class GroupingBuilder;
  std::deque<Tag> tagStore_;
  std::deque<TagGroup> lineGroupStore_;
};

// Fills a Grouping from what the walk of the input meets (see line_walk.h), one line at a
// time. Throws the bounds failure 41 at a 101st distinct tag, 180 at the end of a line
// of more than 50 tag words, 56 at the end of a 51st line; for one line they are checked
// in that order. A line whose group overflows goes on through the walk, no longer into
// its group, so that a 101st distinct name later in the line makes it 41, as it would if
// the line were counted whole before it is grouped.
class GroupingBuilder {
 public:
  // Fills `grouping`, which must be empty.
  explicit GroupingBuilder(Grouping& grouping) : grouping_(grouping) {}

  // The calls of the walk (see line_walk.h). newName throws 41, endLine 180 and 56.
  void startLine();
  void newName(std::uint32_t slot, std::string_view name);
  void tagWord(const TagWord& word);
  void endLine();

 private:
  Grouping& grouping_;
  TagGroup* group_ = nullptr;  // the current line's
  LineSet lineBit_ = 0;        // the current line's
  int lineCount_ = 0;
  bool overflowed_ = false;  // the current line has more than 50 tag words
};

// Fills the empty `grouping` from the bytes of `source`, one line at a time, reading
// `readSize` bytes at a time, adding the names it meets to `names`, which then holds the
// names the tags of `grouping` refer to: `names` must outlive `grouping`. Throws the bounds failure
// 41 at a 101st distinct tag, 180 at the end of a line of more than 50 tag words, 56 at the end of
// a 51st line; for one line they are checked in that order. Reads nothing after a failure. Throws
// what the source throws, and std::bad_alloc when a word does not fit in memory.
void groupLines(ByteSource& source, NameTable& names, Grouping& grouping,
                std::size_t readSize = InputWindow::kDefaultReadSize);

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_GROUPING_H_
