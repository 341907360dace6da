// The report of tagtree-explain as one model: what a survey finds, each finding decided
// once, as data, for the three forms to lay out. A finding has its severity and kind, the
// lines and tags it is about, what it counts, what a change would leave and whether that
// alone brings a limit within bounds, how many of its tags a list shows, and the command
// that fixes it, or why none is offered. The text form words them for people, the GNU form
// writes a line for each place, the JSON form carries them as they are; none of them
// decides anything a finding decides.
#ifndef TAGTREE_EXPLAIN_FINDINGS_H_
#define TAGTREE_EXPLAIN_FINDINGS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "explain/shown_name.h"
#include "explain/survey.h"

namespace tagtree::explain {

enum class Severity : std::uint8_t { kError, kWarning, kNote };

// Returns "error", "warning" or "note".
std::string_view severityName(Severity severity);

// What a finding is about, in the order the report tells them.
enum class Kind : std::uint8_t {
  kVerdict,             // what tagtree does: succeeds, or fails here
  kTooManyLines,        // more than 50 lines
  kBlankLines,          // the blank lines of a file of too many lines
  kTooManyTags,         // more than 100 distinct tags
  kFixByteOrderMark,    // removing the byte-order mark alone brings the tags within the limit
  kFixAlikeTags,        // making each group of alike tags one alone does
  kOnceOnlyTags,        // the tags that occur once, in a file of too many tags
  kOverfullLine,        // a line of more than 50 tags
  kTooManyChildren,     // a tag that would have more than 50 children
  kTreeWithoutLimits,   // what tagtree's rule gives a file past its limits, without them
  kByteOrderMark,       // the input starts with a UTF-8 byte-order mark
  kNulBytes,            // NUL bytes in tags: UTF-16, or stray ones
  kInvalidUtf8,         // names that are not valid UTF-8
  kCrLineEnds,          // lines that end in a CR alone
  kAlikeTags,           // one group of tags alike but for letter case, forms or end spaces
  kCommaSeparated,      // lines without "; " that hold ", "
  kSemicolonSeparated,  // lines without "; " that hold ';'
  kTabSeparated,        // lines without "; " that hold a tab
};

// Returns the stable name of `kind`, such as "too-many-lines", for scripts.
std::string_view kindName(Kind kind);

// The commands the report offers, each a change that loses no tag.
enum class Fix : std::uint8_t {
  kNone,
  kDeleteBlankLines,     // deletes the lines without tags
  kRemoveByteOrderMark,  // removes the UTF-8 byte-order mark
  kFromUtf16,            // converts the file from UTF-16 with a byte-order mark to UTF-8
  kFromUtf16Le,          // converts the file from UTF-16LE to UTF-8
  kFromUtf16Be,          // converts the file from UTF-16BE to UTF-8
  kFromLatin1,           // converts the whole file from Latin-1 to UTF-8
  kFromWindows1252,      // converts the whole file from Windows-1252 to UTF-8
  kCrToLf,               // ends with LF the lines that end in a CR alone
};

// Why a finding that a command could fix offers none.
enum class NoFix : std::uint8_t {
  kNone,
  kNotUtf16,        // the NUL bytes are not where UTF-16 puts them, or the file holds
                    // UTF-8 text too: converting it from UTF-16 would garble it
  kMixedEncodings,  // the file holds valid UTF-8 beyond ASCII too: converting it whole
                    // from Latin-1 would garble that
  kNulBytes,        // the file holds NUL bytes: Latin-1 text has none
  kLineEndsFirst,   // the lines, as sed reads them, are not tagtree's until the line ends
                    // or the encoding are fixed first
  kOtherCommand,    // the command of another finding fixes it
};

// Returns the stable name of `fix`, such as "delete-blank-lines", for scripts.
std::string_view fixName(Fix fix);

// A fix that --fix applied, and the lines it mended or deleted, where it counts them.
struct Applied {
  Fix fix;
  std::uint64_t lines;
};

// Returns what `applied` did, as a person reads it: "deleted 3 blank lines".
std::string appliedText(const Applied& applied);

// Returns the stable name of `why`, such as "mixed-encodings", for scripts.
std::string_view noFixName(NoFix why);

struct Finding {
  Severity severity = Severity::kNote;
  Kind kind = Kind::kVerdict;
  Fix fix = Fix::kNone;             // the command that fixes it
  NoFix noFix = NoFix::kNone;       // why there is none, where there might be
  bool withinLimit = false;         // the change `left` counts after brings the limit within bounds
  std::uint64_t line = 0;           // its one line, or 0: see forEachRun
  const LineList* lines = nullptr;  // or its lines
  std::uint32_t tag = kNoTag;       // its one tag, or kNoTag
  std::span<const std::uint32_t> many;  // or its tags, each once, in slot order
  std::uint64_t count = 0;              // what it counts: lines, tags, tags in a line, children
  std::uint64_t left = 0;               // what is left of that count after the change it is about
  std::uint32_t evidence = kNoTag;      // the tag that shows why no command is offered

  // The tags the finding is about: its one tag, or its many.
  std::span<const std::uint32_t> tags() const {
    return tag != kNoTag ? std::span<const std::uint32_t>(&tag, 1) : many;
  }
};

// A list in the text form shows this many of its items, then says how many more there
// are; the GNU and JSON forms list all, but a sentence names at most this many.
inline constexpr std::size_t kListed = 10;

// The report: the survey's findings, in the order a person should read them: tagtree's
// verdict, the limits broken and what would bring each within bounds, then the warnings,
// the causes of others before them. Findings point into the survey, which must outlive it.
struct Report {
  Report(const Survey& surveyed, std::string_view file,
         std::optional<std::vector<Applied>> fixesApplied)
      : survey(surveyed), fileName(file), shown(surveyed.names), applied(std::move(fixesApplied)) {}

  const Survey& survey;
  std::string_view fileName;  // as the command line named it: "-" for standard input
  ShownNames shown;           // the survey's names as every form but JSON shows them
  std::vector<Finding> findings;
  // What --fix did to the file before it was surveyed; none without --fix.
  std::optional<std::vector<Applied>> applied;

  // Returns the finding of `kind`, the first where there are several, or null.
  const Finding* find(Kind kind) const;
  // Returns whether the input is standard input.
  bool standardInput() const { return fileName == "-"; }
};

// Returns the report on `survey` of the input called `fileName` ("-" for standard input).
// Throws std::bad_alloc.
Report reportOf(const Survey& survey, std::string_view fileName,
                std::optional<std::vector<Applied>> applied = std::nullopt);

// Calls `visit(first, last)` for each run of consecutive lines `finding` is about, in order:
// its one line, its lines, or the first lines of its tags.
template <typename Visit>
void forEachRun(const Report& report, const Finding& finding, Visit&& visit) {
  if (finding.lines != nullptr) {
    for (const LineList::Run& run : finding.lines->runs()) visit(run.first, run.last);
    return;
  }
  if (finding.line != 0) {
    visit(finding.line, finding.line);
    return;
  }
  // Slots are in order of first occurrence, so their first lines never go down.
  std::uint64_t first = 0, last = 0;
  for (const std::uint32_t slot : finding.tags()) {
    const std::uint64_t line = report.survey.facts[slot].firstLine;
    if (first != 0 && line <= last + 1) {
      last = line;
      continue;
    }
    if (first != 0) visit(first, last);
    first = last = line;
  }
  if (first != 0) visit(first, last);
}

// The tags of the tree without tagtree's limits, by their place in it.
struct TreeCounts {
  std::uint64_t topLevel = 0, children = 0, manyParents = 0, underChild = 0;
};
TreeCounts treeCounts(const UnboundedTree& tree);

// Returns what the tree without tagtree's limits of the report's file holds: "15 paths: 4
// top-level tags and 11 children under them; it leaves out 189 tags, 150 with two or more
// parents and 39 whose one parent is itself a child", or "5 paths: 5 top-level tags and no
// child; ...".
std::string treeSummary(const Report& report);

// Returns the number of lines `finding` is about.
std::uint64_t lineCount(const Report& report, const Finding& finding);

// Returns the sentence that says what `finding` finds, for the GNU and JSON forms: lower
// case, no final period, names quoted, at most kListed of them. `run` narrows a finding
// about lines to one run of them, as the GNU form writes a line for each; `whole` adds
// what it says beyond its lines: what a change would leave, why no command is offered.
std::string messageOf(const Report& report, const Finding& finding,
                      const LineList::Run* run = nullptr, bool whole = true);

// Returns why `finding` offers no command, after "; ", or "" where that is not the case.
std::string whyNoCommand(const Report& report, const Finding& finding);

// Returns the shell command of `fix` for the file `fileName` as the command line named it
// ("-" for standard input, which it calls FILE), quoted for a POSIX shell and never taken
// for an option; "" for Fix::kNone.
std::string commandOf(Fix fix, std::string_view fileName);

// Returns the command that prints the tree without tagtree's limits of the file
// `fileName`, named as commandOf names it.
std::string treeCommand(std::string_view fileName);

// Returns `n` and the noun for it: "1 time", "2 times", "1,024 times".
std::string counted(std::uint64_t n, std::string_view one, std::string_view many);

// Returns `items` joined as a person would: "a", "a and b", "a, b and c".
std::string joined(const std::vector<std::string>& items);

// Returns "within the limit" where `n` is at most `limit`, else "still over the limit of
// LIMIT".
std::string against(std::uint64_t n, std::uint64_t limit);

// Returns the first `n` tags of `slots`, each quoted with its first line, "a" (line 3), and
// shown so that where they differ from each other stays visible.
std::vector<std::string> tagsWithLines(const Report& report, std::span<const std::uint32_t> slots,
                                       std::size_t n);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_FINDINGS_H_
