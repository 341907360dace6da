// A survey of an input, for tagtree-explain: what tagtree does with it, found by running
// tagtree's own code on it, and what a person needs to know about it besides: its sizes
// against tagtree's limits, every place it breaks them, why each tag is printed where it
// is or left out, what in it is seldom meant, and which single change would bring a limit
// within bounds. Unlike tagtree, the survey reads the whole input, past the limits, in
// one pass, in memory that grows with its distinct names and with the lines it names.
#ifndef TAGTREE_EXPLAIN_SURVEY_H_
#define TAGTREE_EXPLAIN_SURVEY_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_source.h"
#include "explain/encoding.h"
#include "explain/tree.h"
#include "pipeline/input_window.h"
#include "pipeline/name_table.h"

namespace tagtree::explain {

// Line numbers, counted from 1, in the order they were added, kept as runs of
// consecutive lines: a finding on every line of a large file costs one run.
class LineList {
 public:
  struct Run {
    std::uint64_t first, last;
  };
  // Adds `line`, which is at least the last one added; adding the last one again does
  // nothing.
  void add(std::uint64_t line);
  // Returns the number of lines added.
  std::uint64_t total() const { return total_; }
  const std::vector<Run>& runs() const { return runs_; }
  // Returns the first `n` lines, in order.
  std::vector<std::uint64_t> first(std::size_t n) const;
  // Calls `visit(line)` for every line, in order.
  template <typename Visit>
  void forEach(Visit&& visit) const {
    for (const Run& run : runs_) {
      for (std::uint64_t line = run.first; line <= run.last; ++line) visit(line);
    }
  }

 private:
  std::vector<Run> runs_;
  std::uint64_t total_ = 0;
};

// How a run of tagtree ends, as the survey tells it apart.
enum class Outcome {
  kSucceeds,
  kTooManyTags,      // a 101st distinct tag
  kTooManyLines,     // a 51st line
  kOverfullLine,     // a line of more than 50 tags
  kTooManyChildren,  // a tag that would get more than 50 children
  kBadName,          // a printed name that is not valid UTF-8
  kOtherFailure,     // any other failure: memory running out
};

// What tagtree does with the input: found by running its grouping, inference and
// listing, not by a second copy of their rules.
struct Verdict {
  Outcome outcome = Outcome::kSucceeds;
  int status = 0;           // tagtree's exit status
  std::string message;      // its failure's message, after "Error: "
  std::uint64_t line = 0;   // the line where its grouping stops, for the first three limits
  std::uint64_t paths = 0;  // the paths it prints whole; a name that is not UTF-8 cuts
                            // one more short, before the error
};

// What the survey learns of each distinct name; the name itself is in Survey::names.
struct NameFacts {
  std::uint64_t count = 0;      // occurrences as a tag word
  std::uint64_t firstLine = 0;  // where it first occurs
  bool validUtf8 = true;
  bool beyondAscii = false;    // holds a well-formed UTF-8 sequence of two or more bytes,
                               // not counting a byte-order mark that starts the input
  bool hasNul = false;         // holds a NUL byte
  bool hasSlash = false;       // holds '/', which tagtree's paths put between names
  bool hasCommaSpace = false;  // holds ", "
  bool hasSemicolon = false;   // holds ';', which no space follows in a tag
  bool hasTab = false;         // holds a tab
};

// A tag that took another as its child, and the first line the two share.
struct ParentLink {
  std::uint32_t slot;
  std::uint64_t sharedLine;
};

// Where a tag ends up, when tagtree succeeds.
struct TagPlace {
  bool printed = false;
  std::optional<std::uint32_t> printedUnder;  // the parent whose path it is printed in
  std::vector<ParentLink> parents;            // every tag that took it as a child
};

// A line of more than 50 tags.
struct OverfullLine {
  std::uint64_t line;
  std::uint64_t tags;
  std::uint64_t repeats;  // tags that repeat one earlier in the same line
};

// A tag that would get more than 50 children.
struct CrowdedParent {
  std::uint32_t slot;
  std::uint64_t children;
};

// What one change to the file would leave of a limit that it breaks.
struct Fixes {
  // The distinct tags once the byte-order marks are removed, where the file starts with
  // any.
  std::optional<std::uint64_t> tagsWithoutByteOrderMark;
  // The distinct tags once the tags of each group of alike ones are made one.
  std::uint64_t tagsMergingAlike = 0;
  // The distinct tags that occur only once.
  std::uint64_t tagsOnce = 0;
  // The lines once the blank ones are deleted.
  std::uint64_t linesWithoutBlank = 0;
};

struct Survey {
  Verdict verdict;

  // Sizes, counted as tagtree counts them.
  std::uint64_t lines = 0;
  NameTable names;               // the distinct tags, by slot: order of first occurrence
  std::vector<NameFacts> facts;  // by slot
  std::uint64_t mostTags = 0;    // the most tag words in one line
  std::uint64_t mostTagsLine = 0;

  LineList blankLines;                      // lines without tags
  LineList crLines;                         // lines that end in a CR with no LF after it
  std::vector<OverfullLine> overfullLines;  // every line of more than 50 tags

  // Known only when the file is within tagtree's limits of lines, tags and tags in a
  // line, where the hierarchy can be inferred.
  bool hierarchyKnown = false;
  std::vector<CrowdedParent> crowdedParents;  // in slot order
  std::optional<std::uint32_t> badName;       // the first printed name that is not UTF-8
  std::vector<TagPlace> places;               // by slot, when tagtree succeeds

  // The tree tagtree would print without its limits, for every input: each tag's place
  // in it, its paths, and the tags with two or more parents. Within the limits its paths
  // are tagtree's.
  UnboundedTree unbounded;

  // What the file's bytes are, decided from all of them.
  EncodingDecision encoding;

  // What is seldom meant.
  std::vector<std::vector<std::uint32_t>> alikeNames;  // slots of names alike but for
                                                       // end spaces or letter case
  LineList commaLines;                    // lines without "; " whose one tag holds ", "
  LineList semicolonLines;                // lines without "; " whose one tag holds ';'
  LineList tabLines;                      // lines without "; " whose one tag holds a tab
  LineList nulLines;                      // lines with a NUL byte in a tag
  std::vector<std::uint32_t> badNames;    // every name that is not valid UTF-8
  std::vector<std::uint32_t> onceOnly;    // every tag that occurs once
  std::vector<std::uint32_t> slashNames;  // every name that holds '/'

  Fixes fixes;
};

// Surveys the bytes of `source`, read `readSize` bytes at a time, to their end. Throws
// what the source throws (the read failure), and std::bad_alloc.
Survey survey(ByteSource& source, std::size_t readSize = InputWindow::kDefaultReadSize);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_SURVEY_H_
