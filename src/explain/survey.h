// A survey of an input, for tagtree-explain: what tagtree does with it, found by running
// tagtree's own code on it, and what a person needs to know about it besides: its sizes
// against tagtree's limits, every place it breaks them, why each tag is printed where it
// is or left out, and what in it is seldom meant. Unlike tagtree, the survey reads the
// whole input, past the limits, in one pass and in memory that grows with its distinct
// names, not with its size.
#ifndef TAGTREE_EXPLAIN_SURVEY_H_
#define TAGTREE_EXPLAIN_SURVEY_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_source.h"
#include "explain/name_store.h"
#include "pipeline/input_window.h"

namespace tagtree::explain {

// Lists of lines name at most this many of them, and count the rest.
inline constexpr std::size_t kLinesNamed = 10;

// Line numbers, counted from 1: the first kLinesNamed of them, and how many in all.
class LineList {
 public:
  // Adds `line`, unless it is the last one added.
  void add(std::uint64_t line);
  const std::vector<std::uint64_t>& named() const { return named_; }
  std::uint64_t total() const { return total_; }

 private:
  std::vector<std::uint64_t> named_;
  std::uint64_t total_ = 0;
  std::uint64_t last_ = 0;
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

// What the survey learns of each distinct name.
struct NameFacts {
  std::string_view name;
  std::uint64_t count = 0;      // occurrences as a tag word
  std::uint64_t firstLine = 0;  // where it first occurs
  bool hasNul = false;          // holds a NUL byte
  bool hasCommaSpace = false;   // holds ", "
  bool hasSemicolon = false;    // holds ';', which no space follows in a tag
  bool hasTab = false;          // holds a tab
};

// Where a tag ends up, when tagtree succeeds.
struct TagPlace {
  bool printed = false;
  std::optional<std::uint32_t> printedUnder;  // the parent whose path it is printed in
  std::vector<std::uint32_t> parents;         // every tag that took it as a child
};

// A line of more than 50 tags.
struct OverfullLine {
  std::uint64_t line;
  std::uint64_t tags;
};

// A tag that would get more than 50 children.
struct CrowdedParent {
  std::uint32_t slot;
  std::uint64_t children;
};

struct Survey {
  Verdict verdict;

  // Sizes, counted as tagtree counts them.
  std::uint64_t lines = 0;
  std::vector<NameFacts> names;  // in order of first occurrence: the slots
  std::uint64_t mostTags = 0;    // the most tag words in one line
  std::uint64_t mostTagsLine = 0;

  // Every line of more than 50 tags: the first kLinesNamed, and how many in all.
  std::vector<OverfullLine> overfullLines;
  std::uint64_t overfullLineCount = 0;

  // Known only when the file is within tagtree's limits of lines, tags and tags in a
  // line, where the hierarchy can be inferred.
  bool hierarchyKnown = false;
  std::vector<CrowdedParent> crowdedParents;  // in slot order
  std::optional<std::uint32_t> badName;       // the first printed name that is not UTF-8
  std::vector<TagPlace> places;               // by slot, when tagtree succeeds

  // What is seldom meant.
  bool byteOrderMark = false;  // the input starts with a UTF-8 byte-order mark
  std::string start;           // the first bytes of the input's first word, up to 4
  std::vector<std::vector<std::uint32_t>> alikeNames;  // slots of names alike but for
                                                       // end spaces or ASCII case
  LineList commaLines;                  // lines without "; " whose one tag holds ", "
  LineList semicolonLines;              // lines without "; " whose one tag holds ';'
  LineList tabLines;                    // lines without "; " whose one tag holds a tab
  LineList nulLines;                    // lines with a NUL byte in a tag
  std::vector<std::uint32_t> badNames;  // the first kLinesNamed names not valid UTF-8
  std::uint64_t badNameCount = 0;       // and how many in all

  NameStore store;  // the bytes of the names
};

// Surveys the bytes of `source`, read `readSize` bytes at a time, to their end. Throws
// what the source throws (the read failure), and std::bad_alloc.
Survey survey(ByteSource& source, std::size_t readSize = InputWindow::kDefaultReadSize);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_SURVEY_H_
