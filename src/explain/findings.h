// The report of tagtree-explain as one model: what a survey finds, each thing decided
// once, as data, for the three forms to lay out. A finding has its severity and kind, the
// lines and tags it is about, what it counts, what a change would leave and whether that
// alone brings a limit within bounds, how many of its tags a list shows, and the fix
// that mends it with the command that applies it, or why there is none. Beside the
// findings the report holds tagtree's verdict, the sizes against the limits, each tag's
// place and why, the tree without the limits, the code pages that read a file that is
// not UTF-8, and everything --fix would do. The text form words them for people, the GNU
// form writes a line for each place, the JSON form carries them as they are; none of them
// decides anything the model decides.
#ifndef TAGTREE_EXPLAIN_FINDINGS_H_
#define TAGTREE_EXPLAIN_FINDINGS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "explain/code_page.h"
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
  kUnprintableName,     // the first name tagtree would print that is not UTF-8
  kTreeWithoutLimits,   // what tagtree's rule gives a file past its limits, without them
  kUtf16,               // the file is UTF-16, which tagtree reads as UTF-8
  kByteOrderMark,       // the input starts with a UTF-8 byte-order mark
  kNulBytes,            // NUL bytes in tags of a file that is not UTF-16
  kInvalidUtf8,         // names that are not valid UTF-8
  kCrLineEnds,          // lines that end in a CR alone
  kAlikeTags,           // one group of tags alike but for letter case, forms or end spaces
  kSlashInName,         // names that hold '/', whose paths read as deeper ones
  kCommaSeparated,      // lines without "; " that hold ", "
  kSemicolonSeparated,  // lines without "; " that hold ';'
  kTabSeparated,        // lines without "; " that hold a tab
};

// Returns the stable name of `kind`, such as "too-many-lines", for scripts.
std::string_view kindName(Kind kind);

// The fixes --fix applies, in the order it applies them. All but kFromEncoding are
// certain: they lose no tag and change no character. Which 8-bit code page a file is in,
// or whether one without the signs of UTF-16 is UTF-16 all the same, is a guess, applied
// only where the person names the encoding.
enum class Fix : std::uint8_t {
  kNone,
  kRemoveByteOrderMark,  // removes the UTF-8 byte-order marks that start the file
  kFromUtf16,            // converts the file from UTF-16 of the byte order decided
  kFromEncoding,         // converts the file from the encoding named
  kCrToLf,               // ends with LF the lines that end in a CR alone
  kDeleteBlankLines,     // deletes the lines without tags
};

// The fixes in the order --fix applies them.
inline constexpr Fix kFixOrder[] = {Fix::kRemoveByteOrderMark, Fix::kFromUtf16, Fix::kFromEncoding,
                                    Fix::kCrToLf, Fix::kDeleteBlankLines};

// Returns the stable name of `fix`, such as "delete-blank-lines", for scripts and for
// --fix=NAME.
std::string_view fixName(Fix fix);

// Returns whether the result of `fix` is certain, not a guess.
inline bool isCertain(Fix fix) { return fix != Fix::kNone && fix != Fix::kFromEncoding; }

// Why a finding that a fix might mend carries no command that runs as written.
enum class NoCommand : std::uint8_t {
  kNone,
  kNotUtf16,         // NUL bytes, but the file does not decode as UTF-16
  kMixedEncodings,   // the file holds valid UTF-8 beyond ASCII too: converting it whole
                     // from a code page would garble that
  kNulBytes,         // the file holds NUL bytes, which no 8-bit text has
  kNoCodePage,       // no 8-bit code page reads the file cleanly
  kOtherCommand,     // the fix of another finding mends it
  kStandardInput,    // the input is standard input, which --fix cannot replace
  kFileNameLineEnd,  // the file's name ends in a line end, which the command's word for
                     // it, printf's output, would lose
  kNotReplaceable,   // --fix cannot replace the file (a FIFO, a read-only file, one of
                     // several hard links): the report says why
};

// Returns the stable name of `why`, such as "mixed-encodings", for scripts.
std::string_view noCommandName(NoCommand why);

// A fix that --fix applied, or would apply, and what it counts: the lines it mended or
// deleted, the marks it removed; and the encoding it converted from, as people write it.
struct Applied {
  Fix fix = Fix::kNone;
  std::uint64_t count = 0;
  std::string encoding;  // "UTF-16LE", "Windows-1252"
};

// Returns what `applied` did, as a person reads it: "deleted 3 blank lines".
std::string appliedText(const Applied& applied);

// Returns what `applied` would do: "delete 3 blank lines".
std::string plannedText(const Applied& applied);

struct Finding {
  Severity severity = Severity::kNote;
  Kind kind = Kind::kVerdict;
  Fix fix = Fix::kNone;  // the fix that mends it
  // The command that applies the fix as it runs, or "" where none does; and as a person
  // is shown it, with FILE standing for a file it cannot name, or "" where no command can
  // apply the fix at all.
  std::string command, shownCommand;
  NoCommand absent = NoCommand::kNone;  // why the command does not run as written, or
                                        // why there is no fix
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

// Where tagtree stops, as its verdict tells it.
enum class Stop : std::uint8_t {
  kNowhere,         // it succeeds
  kAtTag,           // on the line where the 101st distinct tag first appears
  kAtLineEnd,       // at the end of the 51st line, or of a line of too many tags
  kBeforePrinting,  // after reading the file, at a tag with too many children
  kAtName,          // in the path of a name that is not UTF-8, after printing those before
  kElsewhere,       // any other failure
};

// What tagtree does with the file.
struct VerdictFacts {
  Outcome outcome = Outcome::kSucceeds;
  int status = 0;
  std::string errorLine;  // what it prints last, "Error: ...", or "" where it succeeds
  Stop stop = Stop::kNowhere;
  std::uint64_t line = 0;      // the line where it stops, or 0
  std::uint32_t tag = kNoTag;  // the tag it stops at: the 101st, the parent of too many
                               // children, the name not UTF-8
  std::uint64_t paths = 0;     // the paths it prints whole
  std::uint64_t children = 0;  // the children of the parent of too many
};

// One of the file's sizes against its limit.
struct Size {
  enum class What : std::uint8_t { kLines, kDistinctTags, kTagsInALine } what;
  std::uint64_t value;
  std::uint64_t limit;
  std::uint64_t line;  // kTagsInALine: the line that holds them, or 0
  bool over() const { return value > limit; }
};

// Where a tag ends up when tagtree succeeds, and why.
enum class Placement : std::uint8_t {
  kTopLevel,        // no tag on its lines takes it
  kChild,           // one top-level tag takes it
  kSeveralParents,  // two or more tags take it: left out
  kUnderChild,      // one tag takes it, which another takes: left out
  kEachOther,       // one tag takes it, and it takes that one: left out
};

// A tag that takes another as its child: its count, the most a child of it may occur,
// and the first line the two share.
struct Parent {
  std::uint32_t slot;
  std::uint64_t count;
  std::uint64_t takesUpTo;
  std::uint64_t sharedLine;
};

struct PlacedTag {
  Placement placement = Placement::kTopLevel;
  std::vector<Parent> parents;  // every tag that takes it
  // kUnderChild: the tags that take its parent.
  std::vector<std::uint32_t> grandparents;
};

// The tree tagtree's rule gives the file without its limits, where tagtree stops at one.
struct TreeFacts {
  std::uint64_t topLevel = 0, children = 0, manyParents = 0, underChild = 0;
  // Most of its tags are left out for having two or more parents: why, in a sentence.
  bool mostHaveManyParents = false;
  // The command that prints its paths, or "" where a path holds a name that is not UTF-8,
  // so that the command would stop there: the file must be converted first.
  std::string command;
};

// An 8-bit code page that reads every byte of the file, and the first names that are not
// UTF-8 as it reads them, in UTF-8.
struct CodePageNames {
  CodePage page;
  std::vector<std::string> names;  // of the first kListed such tags
};

// Everything --fix would do, in order, and what tagtree would then do.
struct Plan {
  std::vector<Applied> fixes;
  CodePage from;       // the code page it names, the likeliest, where it converts from one
  bool guess = false;  // it converts from a code page, which is a guess
  std::string command, shownCommand;    // the command that does it all, as for a finding
  NoCommand absent = NoCommand::kNone;  // why the command does not run as written
  VerdictFacts after;                   // tagtree's verdict on the file then
  bool marked = false;                  // some finding of the report is one it mends for certain
};

// The report: the survey's findings, in the order a person should read them: tagtree's
// verdict, the limits broken and what would bring each within bounds, then the warnings,
// the causes of others before them; and what the findings decide beside them. Findings
// point into the survey, which must outlive the report.
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

  VerdictFacts verdict;
  std::vector<Size> sizes;
  bool hierarchyKnown = false;           // whether a tag's children are known: the file is within
                                         // the limits of lines, tags and tags in a line
  std::vector<PlacedTag> places;         // by slot, where tagtree succeeds
  std::optional<TreeFacts> tree;         // where tagtree stops at a limit
  std::vector<CodePageNames> codePages;  // the code pages that read the file, likeliest first
  // The encoding a guess would convert the file from: the likeliest code page, or UTF-16
  // where the file decodes as it but shows too few of its signs; none where no guess is
  // offered.
  CodePage guess;
  std::optional<Plan> plan;  // where --fix would change the file
  // Why --fix cannot replace the file, in a phrase, or "" where it can.
  std::string unreplaceable;

  // Returns the finding of `kind`, the first where there are several, or null.
  const Finding* find(Kind kind) const;
  // Returns whether the input is standard input.
  bool standardInput() const { return fileName == "-"; }
};

// What --fix is asked to do: which certain fixes, and the code page to convert from.
struct FixRequest {
  std::vector<Fix> only;  // the certain fixes named with --fix=NAME; empty for all
  std::string from;       // the encoding named with --from, as iconv knows it; "" for none

  // Returns whether the fix `fix` (certain) may be applied.
  bool allows(Fix fix) const;
};

// Returns the report on `survey` of the input called `fileName` ("-" for standard
// input), after `applied` where --fix applied those fixes; `unreplaceable` says, in a
// phrase, why --fix cannot replace the file, if it cannot. Throws std::bad_alloc.
Report reportOf(const Survey& survey, std::string_view fileName,
                std::optional<std::vector<Applied>> applied = std::nullopt,
                std::string_view unreplaceable = {});

// Returns whether `report` offers a fix: whether planning --fix is worth reading the file
// again.
bool offersFix(const Report& report);

// Gives `report` the plan `plan` of what --fix would do, with its command.
void setPlan(Report& report, Plan plan);

// Calls `visit(tags, first, last)` for each run of `slots` (in slot order) whose first
// lines are consecutive or the same, with the run's tags and its first and last line.
template <typename Visit>
void forEachTagRun(const Report& report, std::span<const std::uint32_t> slots, Visit&& visit) {
  // Slots are in order of first occurrence, so their first lines never go down.
  std::size_t from = 0;
  for (std::size_t to = 1; to <= slots.size(); ++to) {
    const std::uint64_t last = report.survey.facts[slots[to - 1]].firstLine;
    if (to < slots.size() && report.survey.facts[slots[to]].firstLine <= last + 1) continue;
    visit(slots.subspan(from, to - from), report.survey.facts[slots[from]].firstLine, last);
    from = to;
  }
}

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
  forEachTagRun(report, finding.tags(),
                [&](std::span<const std::uint32_t> tags, std::uint64_t first, std::uint64_t last) {
                  (void)tags;
                  visit(first, last);
                });
}

// Returns what the tree without tagtree's limits of the report's file holds: "15 paths: 4
// top-level tags and 11 children under them; it leaves out 189 tags, 150 with two or more
// parents and 39 whose one parent is itself a child", or "5 paths: 5 top-level tags and no
// child; ...".
std::string treeSummary(const TreeFacts& tree);

// Returns what tagtree does after --fix: "succeeds and prints 3 paths", "still fails,
// printing \"Error: ...\"".
std::string afterText(const VerdictFacts& after);

// Returns everything the plan does, as a sentence without its final period: "--fix would
// remove the byte-order mark, end 56 lines with LF and delete 55 blank lines; tagtree then
// succeeds and prints 3 paths".
std::string planText(const Plan& plan);

// Returns the number of lines `finding` is about.
std::uint64_t lineCount(const Report& report, const Finding& finding);

// Returns the sentence that says what `finding` finds, for the GNU and JSON forms: lower
// case, no final period, names quoted, at most kListed of them. `run` narrows a finding
// about lines to one run of them, as the GNU form writes a line for each; `whole` adds
// what it says beyond its lines: what a change would leave, why no command is offered.
std::string messageOf(const Report& report, const Finding& finding,
                      const LineList::Run* run = nullptr, bool whole = true);

// Returns the sentence of the GNU form for the tags `tags` of `finding`, a finding about
// tags that writes a line for each tag or run of them, `first` being its first such line:
// "\"caf\\xE9\" is not valid UTF-8, which tagtree cannot print".
std::string tagsMessageOf(const Report& report, const Finding& finding,
                          std::span<const std::uint32_t> tags, bool first);

// Returns why `finding` offers no command, after "; ", or "" where that is not the case.
std::string whyNoCommand(const Report& report, const Finding& finding);

// Returns what FILE stands for in a command shown for the report's file, where `absent`
// says it stands for one: "FILE stands for the file this input came from", or "".
std::string placeholderText(const Report& report, NoCommand absent);

// Returns the command that applies `fix` alone (with `from`, the code page, for
// kFromEncoding) to the file `fileName` as the command line named it ("-" for standard
// input, which it calls FILE), quoted for a POSIX shell and never taken for an option.
std::string fixCommand(Fix fix, std::string_view from, std::string_view fileName);

// Returns `fileName` as one word for a POSIX shell that no command takes for an option:
// as it is where it needs no quoting, in single quotes where it does, as
// "$(printf '...')" with octal escapes where it is not UTF-8 or holds a control
// character; "./" before a name that starts with '-'; "FILE", for the person to fill in,
// for standard input ("-") and for a name that ends in a line end, which a command's
// output loses.
std::string shellWord(std::string_view fileName);

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

// Returns the encoding decided for the file as a person writes it: "UTF-16LE".
std::string_view encodingLabel(TextEncoding encoding);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_FINDINGS_H_
