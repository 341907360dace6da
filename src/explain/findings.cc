// The findings, decided once from the survey, and the sentences the GNU and JSON forms
// share. Messages are written as compilers write theirs: lower case, no final period, so
// that a line number or a list of lines may follow them.
#include "explain/findings.h"

#include <algorithm>

#include "base/failure.h"
#include "explain/shown_name.h"
#include "model/tag_group.h"
#include "pipeline/grouping.h"

namespace tagtree::explain {
namespace {

// Returns `fileName` as one word for a POSIX shell that no command takes for an option:
// as it is where it needs no quoting, else in single quotes, with "./" before a name
// that starts with '-'. Standard input ("-") is "FILE", for the user to fill in.
std::string shellFileWord(std::string_view fileName) {
  if (fileName == "-") return "FILE";
  const bool plain = !fileName.empty() && std::all_of(fileName.begin(), fileName.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-' || c == '/' || c == '+' || c == ',';
  });
  const std::string path =
      fileName.starts_with("-") ? "./" + std::string(fileName) : std::string(fileName);
  if (plain) return path;
  std::string quoted = "'";
  for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Converts the file in place with iconv from `encoding`: the copy goes beside the file,
// under a name of its own, and replaces it only where iconv succeeds.
std::string convertCommand(std::string_view encoding, std::string_view fileName) {
  const std::string file = shellFileWord(fileName);
  const std::string copy =
      shellFileWord(std::string(fileName == "-" ? "FILE" : fileName) + ".utf8");
  return "iconv -f " + std::string(encoding) + " -t UTF-8 " + file + " > " + copy + " && mv " +
         copy + " " + file;
}

class Finder {
 public:
  explicit Finder(Report& report) : report_(report), survey_(report.survey) {}

  void find() {
    utf16_ = fromUtf16();
    verdict();
    limits();
    warnings();
  }

  // The conversion from UTF-16 that the file's bytes bear out, or Fix::kNone. The file must
  // decode whole as UTF-16 of one byte order to text: no NUL character, every surrogate
  // paired. A UTF-16 byte-order mark, which no UTF-8 text starts with, names the order and
  // settles it. Without one, the order is the one whose high bytes hold more NULs, as
  // those of ASCII characters do; and since a UTF-8 file with a stray NUL might decode
  // too, none of its tags may read as UTF-8 text without a NUL.
  Fix fromUtf16() {
    if (survey_.nulLines.total() == 0 || survey_.byteOrderMark) return Fix::kNone;
    const bool little = survey_.utf16Little == Utf16Flaw::kNone;
    const bool big = survey_.utf16Big == Utf16Flaw::kNone;
    switch (survey_.utf16Mark) {
      case Utf16Mark::kLittleEndian:
        return little ? Fix::kFromUtf16 : Fix::kNone;
      case Utf16Mark::kBigEndian:
        return big ? Fix::kFromUtf16 : Fix::kNone;
      case Utf16Mark::kNone:
        break;
    }
    utf8Text_ = firstSlot([](const NameFacts& facts) { return facts.validUtf8 && !facts.hasNul; });
    if (utf8Text_ != kNoTag) return Fix::kNone;
    switch (survey_.utf16Order) {
      case Utf16Mark::kLittleEndian:
        return little ? Fix::kFromUtf16Le : Fix::kNone;
      case Utf16Mark::kBigEndian:
        return big ? Fix::kFromUtf16Be : Fix::kNone;
      case Utf16Mark::kNone:
        break;
    }
    return Fix::kNone;
  }

 private:
  std::uint64_t firstLine(std::uint32_t slot) const { return survey_.facts[slot].firstLine; }

  // Returns the first slot whose facts `test` holds for, or kNoTag.
  template <typename Test>
  std::uint32_t firstSlot(Test test) const {
    for (std::uint32_t slot = 0; slot < survey_.facts.size(); ++slot) {
      if (test(survey_.facts[slot])) return slot;
    }
    return kNoTag;
  }

  Finding& add(Severity severity, Kind kind) {
    Finding& finding = report_.findings.emplace_back();
    finding.severity = severity;
    finding.kind = kind;
    return finding;
  }

  void verdict() {
    const Verdict& verdict = survey_.verdict;
    Finding& finding =
        add(verdict.status == 0 ? Severity::kNote : Severity::kError, Kind::kVerdict);
    finding.count = verdict.paths;
    finding.line = verdict.line;
    switch (verdict.outcome) {
      case Outcome::kTooManyTags:
        finding.tag = kMaxTags;
        break;
      case Outcome::kBadName:
        if (survey_.badName) finding.tag = *survey_.badName;
        break;
      case Outcome::kTooManyChildren:
        if (!survey_.crowdedParents.empty()) finding.tag = survey_.crowdedParents.front().slot;
        break;
      default:
        break;
    }
    if (finding.line == 0 && finding.tag != kNoTag) finding.line = firstLine(finding.tag);
  }

  void limits() {
    const Fixes& fixes = survey_.fixes;
    const std::uint64_t distinct = survey_.names.size();
    if (survey_.lines > kMaxLines) {
      Finding& lines = add(Severity::kError, Kind::kTooManyLines);
      lines.line = kMaxLines + 1;
      lines.count = survey_.lines;
      if (survey_.blankLines.total() > 0) {
        Finding& blank = add(Severity::kNote, Kind::kBlankLines);
        blank.lines = &survey_.blankLines;
        blank.count = survey_.blankLines.total();
        blank.left = fixes.linesWithoutBlank;
        blank.withinLimit = blank.left <= kMaxLines;
        // sed reads lines at LF alone, and a UTF-16 file's lines only once converted.
        const bool linesAsSed = survey_.crLines.total() == 0 && utf16_ == Fix::kNone;
        blank.fix = linesAsSed ? Fix::kDeleteBlankLines : Fix::kNone;
        blank.noFix = linesAsSed ? NoFix::kNone : NoFix::kLineEndsFirst;
      }
    }
    if (distinct > kMaxTags) {
      Finding& tags = add(Severity::kError, Kind::kTooManyTags);
      tags.tag = kMaxTags;
      tags.line = firstLine(kMaxTags);
      tags.count = distinct;
      if (fixes.tagsWithoutByteOrderMark && *fixes.tagsWithoutByteOrderMark <= kMaxTags) {
        Finding& mark = add(Severity::kNote, Kind::kFixByteOrderMark);
        mark.line = 1;
        mark.count = distinct;
        mark.left = *fixes.tagsWithoutByteOrderMark;
        mark.withinLimit = true;
        mark.noFix = NoFix::kOtherCommand;  // the byte-order mark's warning has it
      }
      if (!survey_.alikeNames.empty() && fixes.tagsMergingAlike <= kMaxTags) {
        Finding& alike = add(Severity::kNote, Kind::kFixAlikeTags);
        alike.count = distinct;
        alike.left = fixes.tagsMergingAlike;
        alike.withinLimit = true;
      }
      if (!survey_.onceOnly.empty()) {
        Finding& once = add(Severity::kNote, Kind::kOnceOnlyTags);
        once.many = survey_.onceOnly;
        once.count = survey_.onceOnly.size();
        once.left = distinct - once.count;
        once.withinLimit = once.left <= kMaxTags;
      }
    }
    for (const OverfullLine& overfull : survey_.overfullLines) {
      Finding& line = add(Severity::kError, Kind::kOverfullLine);
      line.line = overfull.line;
      line.count = overfull.tags;
      line.left = overfull.tags - overfull.repeats;
      line.withinLimit = line.left <= TagGroup::kCapacity;
    }
    for (const CrowdedParent& crowded : survey_.crowdedParents) {
      Finding& parent = add(Severity::kError, Kind::kTooManyChildren);
      parent.tag = crowded.slot;
      parent.line = firstLine(crowded.slot);
      parent.count = crowded.children;
    }
    // Where tagtree stops at a limit, what its rule gives without them.
    switch (survey_.verdict.outcome) {
      case Outcome::kTooManyTags:
      case Outcome::kTooManyLines:
      case Outcome::kOverfullLine:
      case Outcome::kTooManyChildren:
        add(Severity::kNote, Kind::kTreeWithoutLimits).count = survey_.unbounded.paths;
        break;
      default:
        break;
    }
  }

  void warnings() {
    if (survey_.byteOrderMark) {
      Finding& mark = add(Severity::kWarning, Kind::kByteOrderMark);
      mark.line = 1;
      mark.tag = 0;
      mark.fix = Fix::kRemoveByteOrderMark;
    }
    const bool nul = survey_.nulLines.total() > 0;
    if (nul) {
      Finding& bytes = add(Severity::kWarning, Kind::kNulBytes);
      bytes.lines = &survey_.nulLines;
      bytes.fix = utf16_;
      bytes.noFix = utf16_ == Fix::kNone ? NoFix::kNotUtf16 : NoFix::kNone;
      bytes.evidence = utf8Text_;
    }
    if (!survey_.badNames.empty()) {
      Finding& names =
          add(survey_.verdict.outcome == Outcome::kBadName ? Severity::kError : Severity::kWarning,
              Kind::kInvalidUtf8);
      names.many = survey_.badNames;
      // Latin-1 text has no NUL bytes, and converting the whole file garbles the UTF-8 in it.
      names.evidence = firstSlot([](const NameFacts& facts) { return facts.beyondAscii; });
      names.fix = nul || names.evidence != kNoTag ? Fix::kNone : fromLatin1();
      names.noFix = utf16_ != Fix::kNone       ? NoFix::kOtherCommand
                    : nul                      ? NoFix::kNulBytes
                    : names.evidence != kNoTag ? NoFix::kMixedEncodings
                                               : NoFix::kNone;
    }
    // A UTF-16 file read as UTF-8 ends its lines in a CR and a NUL, and holds no "; ": the
    // NUL warning says why.
    if (utf16_ != Fix::kNone) return;
    if (survey_.crLines.total() > 0) {
      Finding& cr = add(Severity::kWarning, Kind::kCrLineEnds);
      cr.lines = &survey_.crLines;
      cr.fix = Fix::kCrToLf;
    }
    for (const std::vector<std::uint32_t>& alike : survey_.alikeNames) {
      Finding& group = add(Severity::kWarning, Kind::kAlikeTags);
      group.many = alike;
      group.count = alike.size();
    }
    separators(survey_.commaLines, Kind::kCommaSeparated);
    separators(survey_.semicolonLines, Kind::kSemicolonSeparated);
    separators(survey_.tabLines, Kind::kTabSeparated);
  }

  void separators(const LineList& lines, Kind kind) {
    if (lines.total() == 0) return;
    Finding& finding = add(Severity::kWarning, kind);
    finding.lines = &lines;
    finding.count = lines.total();
  }

  // The conversion of a file that is Latin-1 or its Windows form throughout: Windows-1252
  // where its names hold bytes 0x80 to 0x9F, which Latin-1 reads as control characters and
  // Windows-1252 as the euro sign, curly quotes and dashes, unless one is a byte it leaves
  // unassigned.
  Fix fromLatin1() const {
    bool c1 = false, unassigned = false;
    for (const std::uint32_t slot : survey_.badNames) {
      c1 = c1 || survey_.facts[slot].hasC1;
      unassigned = unassigned || survey_.facts[slot].notWindows1252;
    }
    return c1 && !unassigned ? Fix::kFromWindows1252 : Fix::kFromLatin1;
  }

  Report& report_;
  const Survey& survey_;
  Fix utf16_ = Fix::kNone;           // the conversion of a UTF-16 file
  std::uint32_t utf8Text_ = kNoTag;  // the first tag that is UTF-8 text without a NUL
};

// The sentences of the messages, kind by kind.
class Messages {
 public:
  Messages(const Report& report, const LineList::Run* run, bool whole)
      : report_(report), survey_(report.survey), run_(run), whole_(whole) {}

  std::string of(const Finding& f) const {
    switch (f.kind) {
      case Kind::kVerdict:
        return verdict(f);
      case Kind::kTooManyLines:
        return grouped(f.count) + " lines, more than " + grouped(kMaxLines) + ": this is the " +
               grouped(kMaxLines + 1) + "st";
      case Kind::kBlankLines:
        return blank(f);
      case Kind::kTooManyTags:
        return grouped(f.count) + " distinct tags, more than " + grouped(kMaxTags) + ": the " +
               grouped(kMaxTags + 1) + "st, " + tag(f.tag) + ", first appears here";
      case Kind::kFixByteOrderMark:
        return "without the byte-order mark, " + distinctTags(f.left) + ", within the limit";
      case Kind::kFixAlikeTags:
        return "with each group of tags alike made one tag, " + distinctTags(f.left) +
               ", within the limit";
      case Kind::kOnceOnlyTags:
        return grouped(f.count) + " of the " + grouped(survey_.names.size()) +
               " distinct tags occur once; without them, " + distinctTags(f.left) + ", " +
               against(f.left, kMaxTags);
      case Kind::kOverfullLine:
        return overfull(f);
      case Kind::kTooManyChildren:
        return tag(f.tag) + " would be the parent of " + grouped(f.count) + " tags, more than " +
               grouped(TagGroup::kCapacity);
      case Kind::kTreeWithoutLimits:
        return "without its limits, tagtree's rule gives " + treeSummary(report_);
      case Kind::kByteOrderMark:
        return "the file starts with a UTF-8 byte-order mark, which becomes part of its first "
               "tag, " +
               tag(f.tag);
      case Kind::kNulBytes:
        return "NUL bytes in " + (run_ != nullptr ? lines() + size() : "the tags") +
               (!whole_               ? ""
                : f.fix != Fix::kNone ? ": the file is UTF-16, read by tagtree as UTF-8"
                                      : ", but the file is not UTF-16" + why(f));
      case Kind::kInvalidUtf8:
        return invalid(f);
      case Kind::kCrLineEnds:
        return (run_ != nullptr         ? lines() + (one() ? " ends" : " end")
                : f.lines->total() == 1 ? std::string("1 line ends")
                                        : grouped(f.lines->total()) + " lines end") +
               " in a CR alone, which sed and most tools do not take for a line end";
      case Kind::kAlikeTags:
        return joined(listed(f.many, f.many.size())) +
               " differ only in letter case, compatible forms or end spaces, which tagtree "
               "tells apart";
      case Kind::kCommaSeparated:
      case Kind::kSemicolonSeparated:
      case Kind::kTabSeparated:
        return separators(f);
    }
    return "";
  }

  // Why no command fixes `f`, after "; " or ": ", or "".
  std::string why(const Finding& f) const {
    switch (f.noFix) {
      case NoFix::kNone:
        return "";
      case NoFix::kLineEndsFirst:
        return "; no command deletes them until " +
               std::string(report_.find(Kind::kCrLineEnds) != nullptr
                               ? "the lines that end in a CR alone end in LF"
                               : "the file is converted to UTF-8");
      case NoFix::kNotUtf16:
        return ": " +
               (f.evidence != kNoTag
                    ? "it holds UTF-8 text without a NUL, such as " + tagAndLine(f.evidence)
                    : utf16Flaw()) +
               "; no command is offered, for converting the file from UTF-16 would garble it";
      case NoFix::kMixedEncodings:
        return "; the file also holds valid UTF-8 beyond ASCII, such as " + tagAndLine(f.evidence) +
               ", which converting the whole file from Latin-1 would garble: no command is "
               "offered";
      case NoFix::kNulBytes:
        return "; the file holds NUL bytes, which Latin-1 text has none of: no command is offered";
      case NoFix::kOtherCommand:
        return f.kind == Kind::kInvalidUtf8
                   ? "; converting the file from UTF-16 mends them (see the NUL bytes)"
                   : "";
    }
    return "";
  }

 private:
  std::string tag(std::uint32_t slot) const { return report_.shown.quoted(slot); }
  std::string tagAndLine(std::uint32_t slot) const {
    return tag(slot) + " (line " + grouped(survey_.facts[slot].firstLine) + ")";
  }
  static std::string distinctTags(std::uint64_t n) {
    return counted(n, "distinct tag", "distinct tags");
  }
  bool one() const { return run_->first == run_->last; }
  // The run: "line 7", or "lines 3-9", with the numbers as the GNU form writes them.
  std::string lines() const {
    if (one()) return "line " + std::to_string(run_->first);
    return "lines " + std::to_string(run_->first) + "-" + std::to_string(run_->last);
  }
  // The size of a run of more than one line: " (7 lines)".
  std::string size() const {
    return one() ? "" : " (" + counted(run_->last - run_->first + 1, "line", "lines") + ")";
  }
  // The first kListed of `slots` with their lines, and how many more there are of `total`.
  std::vector<std::string> listed(std::span<const std::uint32_t> slots, std::uint64_t total) const {
    std::vector<std::string> items = tagsWithLines(report_, slots, kListed);
    if (total > items.size()) items.push_back(grouped(total - items.size()) + " more");
    return items;
  }

  std::string verdict(const Finding& f) const {
    const Verdict& verdict = survey_.verdict;
    if (verdict.status == 0) {
      return "tagtree succeeds: it prints " +
             (f.count == 0 ? std::string("nothing") : counted(f.count, "path", "paths"));
    }
    return "tagtree fails" + std::string(f.line != 0 ? " here" : "") + ", printing \"" +
           kErrorLinePrefix + verdict.message + "\"";
  }

  std::string blank(const Finding& f) const {
    std::string text = run_ == nullptr ? counted(f.count, "blank line", "blank lines")
                                       : lines() + (one() ? " is blank" : " are blank") + size();
    if (!whole_) return text;
    return text + "; without " +
           (run_ == nullptr ? std::string("them")
                            : "the " + counted(f.count, "blank line", "blank lines")) +
           ", " + counted(f.left, "line", "lines") + ", " + against(f.left, kMaxLines) + why(f);
  }

  std::string overfull(const Finding& f) const {
    std::string message =
        counted(f.count, "tag", "tags") + " in one line, more than " + grouped(TagGroup::kCapacity);
    if (f.left == f.count) return message;
    return message + "; " + grouped(f.count - f.left) +
           " of them repeat a tag before them in the line, without them " + grouped(f.left) + ", " +
           against(f.left, TagGroup::kCapacity);
  }

  std::string invalid(const Finding& f) const {
    return (f.many.size() == 1 ? "1 tag is" : grouped(f.many.size()) + " tags are") +
           " not valid UTF-8, which tagtree cannot print: " +
           joined(listed(f.many, f.many.size())) + why(f);
  }

  std::string separators(const Finding& f) const {
    const std::string_view what = f.kind == Kind::kCommaSeparated ? "\", \""
                                  : f.kind == Kind::kSemicolonSeparated
                                      ? "\";\" with no space after it"
                                      : "a tab";
    if (run_ != nullptr ? one() : f.count == 1) {
      return "no \"; \" in the line, which holds " + std::string(what) +
             ": tagtree takes the whole line as one tag";
    }
    return "no \"; \" in " +
           (run_ != nullptr ? lines() + size() : counted(f.count, "line", "lines")) +
           ", which hold " + std::string(what) + ": tagtree takes each such line as one tag";
  }

  // What keeps the file from decoding as UTF-16 in the byte order its mark or its NUL
  // bytes suggest.
  std::string utf16Flaw() const {
    const Utf16Mark order =
        survey_.utf16Mark != Utf16Mark::kNone ? survey_.utf16Mark : survey_.utf16Order;
    if (order == Utf16Mark::kNone) return "its NUL bytes suggest neither byte order";
    switch (order == Utf16Mark::kBigEndian ? survey_.utf16Big : survey_.utf16Little) {
      case Utf16Flaw::kOddLength:
        return "it has an odd number of bytes";
      case Utf16Flaw::kLoneSurrogate:
        return "it holds half a surrogate pair";
      case Utf16Flaw::kLastLineEnd:
        return "its last line end is none in UTF-16";
      case Utf16Flaw::kNoNulAtStart:
        return "its first " + grouped(Utf16Reading::kLookAhead) +
               " bytes hold no NUL, as those of UTF-16 text do";
      case Utf16Flaw::kStrayNul:
      case Utf16Flaw::kNone:
        break;
    }
    return "it holds a NUL character, which no text has";
  }

  const Report& report_;
  const Survey& survey_;
  const LineList::Run* run_;
  bool whole_;
};

}  // namespace

const Finding* Report::find(Kind kind) const {
  for (const Finding& finding : findings) {
    if (finding.kind == kind) return &finding;
  }
  return nullptr;
}

Report reportOf(const Survey& survey, std::string_view fileName,
                std::optional<std::vector<Applied>> applied) {
  Report report(survey, fileName, std::move(applied));
  Finder(report).find();
  return report;
}

TreeCounts treeCounts(const UnboundedTree& tree) {
  TreeCounts counts;
  for (const TreeSpot& spot : tree.spots) {
    switch (spot.place) {
      case TreePlace::kTopLevel:
        ++counts.topLevel;
        break;
      case TreePlace::kChild:
        ++counts.children;
        break;
      case TreePlace::kManyParents:
        ++counts.manyParents;
        break;
      case TreePlace::kUnderChild:
        ++counts.underChild;
        break;
    }
  }
  return counts;
}

std::string treeSummary(const Report& report) {
  const TreeCounts tree = treeCounts(report.survey.unbounded);
  std::string text = counted(tree.topLevel + tree.children, "path", "paths") + ": " +
                     counted(tree.topLevel, "top-level tag", "top-level tags") +
                     (tree.children == 0 ? " and no child"
                                         : " and " + counted(tree.children, "child", "children") +
                                               (tree.topLevel == 1 ? " under it" : " under them"));
  const std::uint64_t leftOut = tree.manyParents + tree.underChild;
  if (leftOut == 0) return text;
  const std::string many = " with two or more parents",
                    under = " whose one parent is itself a child";
  return text + "; it leaves out " + counted(leftOut, "tag", "tags") + ", " +
         (tree.underChild == 0 ? (leftOut == 1 ? "" : "all") + many
          : tree.manyParents == 0
              ? (leftOut == 1 ? "" : "all") + under
              : grouped(tree.manyParents) + many + " and " + grouped(tree.underChild) + under);
}

std::uint64_t lineCount(const Report& report, const Finding& finding) {
  std::uint64_t lines = 0;
  forEachRun(report, finding,
             [&](std::uint64_t first, std::uint64_t last) { lines += last - first + 1; });
  return lines;
}

std::string messageOf(const Report& report, const Finding& finding, const LineList::Run* run,
                      bool whole) {
  return Messages(report, run, whole).of(finding);
}

std::string whyNoCommand(const Report& report, const Finding& finding) {
  return Messages(report, nullptr, true).why(finding);
}

std::string counted(std::uint64_t n, std::string_view one, std::string_view many) {
  return grouped(n) + " " + std::string(n == 1 ? one : many);
}

std::string against(std::uint64_t n, std::uint64_t limit) {
  return n <= limit ? "within the limit" : "still over the limit of " + grouped(limit);
}

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  return text;
}

std::vector<std::string> tagsWithLines(const Report& report, std::span<const std::uint32_t> slots,
                                       std::size_t n) {
  std::vector<std::string> shown =
      report.shown.apart(slots.first(std::min(n, slots.size())), Quotes::kAlways);
  for (std::size_t i = 0; i < shown.size(); ++i)
    shown[i] += " (line " + grouped(report.survey.facts[slots[i]].firstLine) + ")";
  return shown;
}

std::string_view severityName(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "error";
    case Severity::kWarning:
      return "warning";
    case Severity::kNote:
      break;
  }
  return "note";
}

std::string_view kindName(Kind kind) {
  switch (kind) {
    case Kind::kVerdict:
      return "verdict";
    case Kind::kTooManyLines:
      return "too-many-lines";
    case Kind::kBlankLines:
      return "blank-lines";
    case Kind::kTooManyTags:
      return "too-many-tags";
    case Kind::kFixByteOrderMark:
      return "fix-byte-order-mark";
    case Kind::kFixAlikeTags:
      return "fix-alike-tags";
    case Kind::kOnceOnlyTags:
      return "once-only-tags";
    case Kind::kOverfullLine:
      return "overfull-line";
    case Kind::kTooManyChildren:
      return "too-many-children";
    case Kind::kTreeWithoutLimits:
      return "tree-without-limits";
    case Kind::kByteOrderMark:
      return "byte-order-mark";
    case Kind::kNulBytes:
      return "nul-bytes";
    case Kind::kInvalidUtf8:
      return "invalid-utf-8";
    case Kind::kCrLineEnds:
      return "cr-line-ends";
    case Kind::kAlikeTags:
      return "alike-tags";
    case Kind::kCommaSeparated:
      return "comma-separated";
    case Kind::kSemicolonSeparated:
      return "semicolon-separated";
    case Kind::kTabSeparated:
      break;
  }
  return "tab-separated";
}

std::string_view noFixName(NoFix why) {
  switch (why) {
    case NoFix::kNone:
      return "";
    case NoFix::kNotUtf16:
      return "not-utf-16";
    case NoFix::kMixedEncodings:
      return "mixed-encodings";
    case NoFix::kNulBytes:
      return "nul-bytes";
    case NoFix::kLineEndsFirst:
      return "line-ends-first";
    case NoFix::kOtherCommand:
      break;
  }
  return "other-command";
}

std::string treeCommand(std::string_view fileName) {
  return "tagtree-explain --tree " + shellFileWord(fileName);
}

std::string commandOf(Fix fix, std::string_view fileName) {
  const std::string file = shellFileWord(fileName);
  switch (fix) {
    case Fix::kNone:
      return "";
    case Fix::kDeleteBlankLines:
      // A line without tags holds only empty words and words of one space: " ", then "; "
      // and " " over and over. A CR before the line's LF is allowed for CR LF files.
      return "sed -i -E '/^ ?(;  ?)*\\r?$/d' " + file;
    case Fix::kRemoveByteOrderMark:
      return "sed -i '1s/^\\xEF\\xBB\\xBF//' " + file;
    case Fix::kFromUtf16:  // iconv reads the byte order from the mark, and drops it
      return convertCommand("UTF-16", fileName);
    case Fix::kFromUtf16Le:
      return convertCommand("UTF-16LE", fileName);
    case Fix::kFromUtf16Be:
      return convertCommand("UTF-16BE", fileName);
    case Fix::kFromLatin1:
      return convertCommand("LATIN1", fileName);
    case Fix::kFromWindows1252:
      return convertCommand("WINDOWS-1252", fileName);
    case Fix::kCrToLf:
      // perl reads lines at LF, so a CR LF pair stays whole, and a file of CR line ends
      // is one line whose CRs all turn into LF.
      break;
  }
  return "perl -pi -e 's/\\r(?!\\n)/\\n/g' " + file;
}

std::string_view fixName(Fix fix) {
  switch (fix) {
    case Fix::kNone:
      return "";
    case Fix::kDeleteBlankLines:
      return "delete-blank-lines";
    case Fix::kRemoveByteOrderMark:
      return "remove-byte-order-mark";
    case Fix::kFromUtf16:
    case Fix::kFromUtf16Le:
    case Fix::kFromUtf16Be:
      return "from-utf-16";
    case Fix::kFromLatin1:
      return "from-latin-1";
    case Fix::kFromWindows1252:
      return "from-windows-1252";
    case Fix::kCrToLf:
      break;
  }
  return "cr-to-lf";
}

std::string appliedText(const Applied& applied) {
  switch (applied.fix) {
    case Fix::kNone:
      return "";
    case Fix::kDeleteBlankLines:
      return "deleted " + counted(applied.lines, "blank line", "blank lines");
    case Fix::kRemoveByteOrderMark:
      return "removed the byte-order mark";
    case Fix::kFromUtf16:
    case Fix::kFromUtf16Le:
    case Fix::kFromUtf16Be:
      return "converted it from UTF-16 to UTF-8";
    case Fix::kFromLatin1:
      return "converted it from Latin-1 to UTF-8";
    case Fix::kFromWindows1252:
      return "converted it from Windows-1252 to UTF-8";
    case Fix::kCrToLf:
      break;
  }
  return "ended with LF the " + counted(applied.lines, "line", "lines") +
         " that ended in a CR alone";
}

}  // namespace tagtree::explain
