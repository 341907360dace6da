// The findings, decided once from the survey and the encoding decision, and the
// sentences the GNU and JSON forms share. Messages are written as compilers write theirs:
// lower case, no final period, so that a line number or a list of lines may follow them.
#include "explain/findings.h"

#include <algorithm>

#include "base/failure.h"
#include "explain/shown_name.h"
#include "explain/unicode_text.h"
#include "model/tag_group.h"
#include "pipeline/grouping.h"
#include "pipeline/utf8.h"

namespace tagtree::explain {
namespace {

// Returns whether `c` may stand in a shell word unquoted.
bool plainInShell(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-' || c == '/' || c == '+' || c == ',';
}

// Returns whether `text` is UTF-8 that a terminal shows as it is: without control
// characters (C0 or C1), format characters (such as a bidirectional override, which would
// turn the rest of a command around) or white space other than U+0020.
bool printableUtf8(std::string_view text) {
  for (std::size_t at = 0, length = 0; at < text.size(); at += length) {
    const char32_t code = decodeAt(text.substr(at), length);
    if (!isShownAsItIs(code)) return false;
  }
  return true;
}

// Returns why no command that fixes the report's file runs as written, or kNone.
NoCommand commandAbsent(const Report& report) {
  if (report.standardInput()) return NoCommand::kStandardInput;
  if (!report.unreplaceable.empty()) return NoCommand::kNotReplaceable;
  if (report.fileName.ends_with('\n')) return NoCommand::kFileNameLineEnd;
  return NoCommand::kNone;
}

class Finder {
 public:
  Finder(Report& report, std::string_view fileName)
      : report_(report),
        survey_(report.survey),
        encoding_(report.survey.encoding),
        utf8_(encoding_.encoding == TextEncoding::kUtf8),
        fileName_(fileName) {}

  void find() {
    verdict();
    sizes();
    limits();
    places();
    warnings();
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

  // Adds `finding`, with the command of its fix, if any.
  void add(Finding finding) {
    if (finding.fix != Fix::kNone) {
      finding.absent = commandAbsent(report_);
      finding.shownCommand = fixCommand(finding.fix, from_.encoding, fileName_);
      if (finding.absent == NoCommand::kNotReplaceable) finding.shownCommand.clear();
      if (finding.absent == NoCommand::kNone) finding.command = finding.shownCommand;
    }
    report_.findings.push_back(std::move(finding));
  }

  static Finding of(Severity severity, Kind kind) {
    Finding finding;
    finding.severity = severity;
    finding.kind = kind;
    return finding;
  }

  void verdict() {
    const Verdict& verdict = survey_.verdict;
    VerdictFacts& facts = report_.verdict;
    facts.outcome = verdict.outcome;
    facts.status = verdict.status;
    facts.errorLine = verdict.status == 0 ? "" : std::string(kErrorLinePrefix) + verdict.message;
    facts.line = verdict.line;
    facts.paths = verdict.paths;
    switch (verdict.outcome) {
      case Outcome::kSucceeds:
        facts.stop = Stop::kNowhere;
        break;
      case Outcome::kTooManyTags:
        facts.stop = Stop::kAtTag;
        facts.tag = kMaxTags;
        break;
      case Outcome::kTooManyLines:
      case Outcome::kOverfullLine:
        facts.stop = Stop::kAtLineEnd;
        break;
      case Outcome::kTooManyChildren:
        facts.stop = Stop::kBeforePrinting;
        if (!survey_.crowdedParents.empty()) {
          facts.tag = survey_.crowdedParents.front().slot;
          facts.children = survey_.crowdedParents.front().children;
        }
        break;
      case Outcome::kBadName:
        facts.stop = Stop::kAtName;
        if (survey_.badName) facts.tag = *survey_.badName;
        break;
      case Outcome::kOtherFailure:
        facts.stop = Stop::kElsewhere;
        break;
    }
    Finding finding = of(verdict.status == 0 ? Severity::kNote : Severity::kError, Kind::kVerdict);
    finding.count = verdict.paths;
    finding.line = verdict.line;
    if (verdict.outcome != Outcome::kOverfullLine && verdict.outcome != Outcome::kTooManyLines)
      finding.tag = facts.tag;
    if (finding.line == 0 && finding.tag != kNoTag) finding.line = firstLine(finding.tag);
    add(std::move(finding));
  }

  void sizes() {
    report_.sizes = {
        {Size::What::kLines, survey_.lines, kMaxLines, 0},
        {Size::What::kDistinctTags, survey_.names.size(), kMaxTags, 0},
        {Size::What::kTagsInALine, survey_.mostTags, TagGroup::kCapacity,
         survey_.mostTags == 0 ? 0 : survey_.mostTagsLine},
    };
    report_.hierarchyKnown = survey_.hierarchyKnown;
  }

  void limits() {
    const Fixes& fixes = survey_.fixes;
    const std::uint64_t distinct = survey_.names.size();
    if (survey_.lines > kMaxLines) {
      Finding lines = of(Severity::kError, Kind::kTooManyLines);
      lines.line = kMaxLines + 1;
      lines.count = survey_.lines;
      add(std::move(lines));
      // Blank lines are lines of UTF-8 text; in a file in another encoding they are not
      // yet known.
      if (survey_.blankLines.total() > 0 && utf8_) {
        Finding blank = of(Severity::kNote, Kind::kBlankLines);
        blank.lines = &survey_.blankLines;
        blank.count = survey_.blankLines.total();
        blank.left = fixes.linesWithoutBlank;
        blank.withinLimit = blank.left <= kMaxLines;
        blank.fix = Fix::kDeleteBlankLines;
        add(std::move(blank));
      }
    }
    if (distinct > kMaxTags) {
      Finding tags = of(Severity::kError, Kind::kTooManyTags);
      tags.tag = kMaxTags;
      tags.line = firstLine(kMaxTags);
      tags.count = distinct;
      add(std::move(tags));
      if (fixes.tagsWithoutByteOrderMark && *fixes.tagsWithoutByteOrderMark <= kMaxTags) {
        Finding mark = of(Severity::kNote, Kind::kFixByteOrderMark);
        mark.line = 1;
        mark.count = distinct;
        mark.left = *fixes.tagsWithoutByteOrderMark;
        mark.withinLimit = true;
        mark.absent = NoCommand::kOtherCommand;  // the byte-order mark's warning has it
        add(std::move(mark));
      }
      if (!survey_.alikeNames.empty() && fixes.tagsMergingAlike <= kMaxTags) {
        Finding alike = of(Severity::kNote, Kind::kFixAlikeTags);
        alike.count = distinct;
        alike.left = fixes.tagsMergingAlike;
        alike.withinLimit = true;
        add(std::move(alike));
      }
      if (!survey_.onceOnly.empty()) {
        Finding once = of(Severity::kNote, Kind::kOnceOnlyTags);
        once.many = survey_.onceOnly;
        once.count = survey_.onceOnly.size();
        once.left = distinct - once.count;
        once.withinLimit = once.left <= kMaxTags;
        add(std::move(once));
      }
    }
    for (const OverfullLine& overfull : survey_.overfullLines) {
      Finding line = of(Severity::kError, Kind::kOverfullLine);
      line.line = overfull.line;
      line.count = overfull.tags;
      line.left = overfull.tags - overfull.repeats;
      line.withinLimit = line.left <= TagGroup::kCapacity;
      add(std::move(line));
    }
    for (const CrowdedParent& crowded : survey_.crowdedParents) {
      Finding parent = of(Severity::kError, Kind::kTooManyChildren);
      parent.tag = crowded.slot;
      parent.line = firstLine(crowded.slot);
      parent.count = crowded.children;
      add(std::move(parent));
    }
    if (report_.verdict.stop == Stop::kAtName && report_.verdict.tag != kNoTag) {
      Finding name = of(Severity::kError, Kind::kUnprintableName);
      name.tag = report_.verdict.tag;
      name.line = firstLine(name.tag);
      add(std::move(name));
    }
    // Where tagtree stops at a limit, what its rule gives without them.
    switch (survey_.verdict.outcome) {
      case Outcome::kTooManyTags:
      case Outcome::kTooManyLines:
      case Outcome::kOverfullLine:
      case Outcome::kTooManyChildren:
        tree();
        break;
      default:
        break;
    }
  }

  void tree() {
    const UnboundedTree& unbounded = survey_.unbounded;
    TreeFacts facts;
    bool printable = true;
    for (std::uint32_t slot = 0; slot < unbounded.spots.size(); ++slot) {
      switch (unbounded.spots[slot].place) {
        case TreePlace::kTopLevel:
          ++facts.topLevel;
          break;
        case TreePlace::kChild:
          ++facts.children;
          break;
        case TreePlace::kManyParents:
          ++facts.manyParents;
          continue;
        case TreePlace::kUnderChild:
          ++facts.underChild;
          continue;
      }
      printable = printable && survey_.facts[slot].validUtf8;
    }
    facts.mostHaveManyParents = facts.manyParents > facts.topLevel + facts.children;
    // Paths of a file in another encoding are those of bytes misread: it must be converted.
    if (printable && utf8_) facts.command = "tagtree-explain --tree " + shellWord(fileName_);
    report_.tree = std::move(facts);
    Finding finding = of(Severity::kNote, Kind::kTreeWithoutLimits);
    finding.count = unbounded.paths;
    add(std::move(finding));
  }

  // Each tag's place, and why, where tagtree succeeds.
  void places() {
    const std::vector<TagPlace>& surveyed = survey_.places;
    report_.places.resize(surveyed.size());
    for (std::uint32_t slot = 0; slot < surveyed.size(); ++slot) {
      const TagPlace& place = surveyed[slot];
      PlacedTag& placed = report_.places[slot];
      for (const ParentLink& link : place.parents) {
        const std::uint64_t count = survey_.facts[link.slot].count;
        placed.parents.push_back({link.slot, count, count / 2 + 1, link.sharedLine});
      }
      if (place.printed) {
        placed.placement = place.printedUnder ? Placement::kChild : Placement::kTopLevel;
      } else if (place.parents.size() != 1) {
        placed.placement = Placement::kSeveralParents;
      } else {
        placed.placement = Placement::kUnderChild;
        for (const ParentLink& grandparent : surveyed[place.parents.front().slot].parents) {
          if (grandparent.slot == slot) placed.placement = Placement::kEachOther;
          placed.grandparents.push_back(grandparent.slot);
        }
        if (placed.placement == Placement::kEachOther) placed.grandparents.clear();
      }
    }
  }

  void warnings() {
    const bool utf16 = isUtf16(encoding_.encoding);
    if (utf16) {
      Finding finding = of(Severity::kWarning, Kind::kUtf16);
      finding.fix = Fix::kFromUtf16;
      add(std::move(finding));
    }
    if (encoding_.utf8Marks > 0 && !utf16) {
      Finding mark = of(Severity::kWarning, Kind::kByteOrderMark);
      mark.line = 1;
      mark.tag = 0;
      mark.count = encoding_.utf8Marks;
      mark.fix = Fix::kRemoveByteOrderMark;
      add(std::move(mark));
    }
    if (survey_.nulLines.total() > 0 && !utf16) {
      Finding bytes = of(Severity::kWarning, Kind::kNulBytes);
      bytes.lines = &survey_.nulLines;
      bytes.absent = NoCommand::kNotUtf16;
      // UTF-8 text with stray NULs: a tag of it shows that.
      if (utf8_) {
        bytes.evidence =
            firstSlot([](const NameFacts& facts) { return facts.validUtf8 && !facts.hasNul; });
      }
      // It decodes whole as UTF-16, but shows too few NULs to be sure: a guess.
      if (encoding_.notUtf16 == Utf16Flaw::kTooFewNuls && encoding_.utf16LineEnds) {
        const bool big = encoding_.utf16Order == Utf16Mark::kBigEndian;
        from_ = big ? CodePage{"utf-16be", "UTF-16BE"} : CodePage{"utf-16le", "UTF-16LE"};
        report_.guess = from_;
        bytes.fix = Fix::kFromEncoding;
      }
      add(std::move(bytes));
    }
    if (!survey_.badNames.empty()) invalidNames();
    if (utf16) return;  // its lines and names are those of the file misread
    if (utf8_ && survey_.crLines.total() > 0) {
      Finding cr = of(Severity::kWarning, Kind::kCrLineEnds);
      cr.lines = &survey_.crLines;
      cr.count = survey_.crLines.total();
      cr.fix = Fix::kCrToLf;
      add(std::move(cr));
    }
    for (const std::vector<std::uint32_t>& alike : survey_.alikeNames) {
      Finding group = of(Severity::kWarning, Kind::kAlikeTags);
      group.many = alike;
      group.count = alike.size();
      add(std::move(group));
    }
    if (!survey_.slashNames.empty()) {
      Finding slash = of(Severity::kWarning, Kind::kSlashInName);
      slash.many = survey_.slashNames;
      slash.count = survey_.slashNames.size();
      add(std::move(slash));
    }
    if (!utf8_) return;
    separators(survey_.commaLines, Kind::kCommaSeparated);
    separators(survey_.semicolonLines, Kind::kSemicolonSeparated);
    separators(survey_.tabLines, Kind::kTabSeparated);
  }

  void invalidNames() {
    // A warning: where tagtree stops at one of them, that is an error of its own.
    Finding names = of(Severity::kWarning, Kind::kInvalidUtf8);
    names.many = survey_.badNames;
    names.count = survey_.badNames.size();
    switch (encoding_.encoding) {
      case TextEncoding::kUtf16Le:
      case TextEncoding::kUtf16Be:
        names.absent = NoCommand::kOtherCommand;
        break;
      case TextEncoding::kCodePage:
        codePages();
        if (report_.codePages.empty()) {
          names.absent = NoCommand::kNoCodePage;
        } else {
          from_ = report_.codePages.front().page;
          report_.guess = from_;
          names.fix = Fix::kFromEncoding;
        }
        break;
      case TextEncoding::kMixed:
        names.absent = NoCommand::kMixedEncodings;
        names.evidence = firstSlot([](const NameFacts& facts) { return facts.beyondAscii; });
        break;
      case TextEncoding::kUnknown:
      case TextEncoding::kUtf8:  // a file of valid UTF-8 has no such name
        names.absent =
            report_.guess.encoding.empty() ? NoCommand::kNulBytes : NoCommand::kOtherCommand;
        break;
    }
    add(std::move(names));
  }

  // The code pages that read the file cleanly, each with the first names that are not
  // UTF-8 as it reads them.
  void codePages() {
    const std::span<const std::uint32_t> bad(survey_.badNames);
    for (const CodePageGuess& guess : guessCodePages(encoding_.highBytes)) {
      CodePageNames& reading = report_.codePages.emplace_back();
      reading.page = guess.codePage;
      for (const std::uint32_t slot : bad.first(std::min(kListed, bad.size()))) {
        const std::string_view name = survey_.names.name(slot);
        reading.names.push_back(readAs(guess.codePage.encoding, name).value_or(std::string(name)));
      }
    }
  }

  void separators(const LineList& lines, Kind kind) {
    if (lines.total() == 0) return;
    Finding finding = of(Severity::kWarning, kind);
    finding.lines = &lines;
    finding.count = lines.total();
    add(std::move(finding));
  }

  Report& report_;
  const Survey& survey_;
  const EncodingDecision& encoding_;
  const bool utf8_;  // the file is UTF-8, so its lines are settled
  std::string_view fileName_;
  CodePage from_;  // the likeliest code page of a file in one
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
      case Kind::kUnprintableName:
        return tag(f.tag) +
               " is the first name tagtree prints that is not valid UTF-8: it stops "
               "there";
      case Kind::kTreeWithoutLimits:
        return "without its limits, tagtree's rule gives " + treeSummary(*report_.tree) +
               treeCommandText();
      case Kind::kUtf16:
        return "the file is " + std::string(encodingLabel(survey_.encoding.encoding)) +
               (survey_.encoding.utf16Mark != Utf16Mark::kNone ? ", as its byte-order mark says"
                                                               : "") +
               ", which tagtree reads as UTF-8";
      case Kind::kByteOrderMark:
        return (f.count == 1
                    ? std::string("the file starts with a UTF-8 byte-order mark")
                    : "the file starts with " + grouped(f.count) + " UTF-8 byte-order marks") +
               ", which becomes part of its first tag, " + tag(f.tag);
      case Kind::kNulBytes:
        return "NUL bytes in " + (run_ != nullptr ? lines() + size() : "the tags") +
               (!whole_ ? ""
                : f.fix == Fix::kFromEncoding
                    ? ": the file decodes as " + std::string(report_.guess.label) +
                          ", but too few of its bytes are NUL, as those of its ASCII "
                          "characters, line ends and separators would be, to be sure it is"
                    : ", but the file is not UTF-16" + why(f));
      case Kind::kInvalidUtf8:
        return invalid(f);
      case Kind::kCrLineEnds:
        return (run_ != nullptr ? lines() + (one() ? " ends" : " end")
                : f.count == 1  ? std::string("1 line ends")
                                : grouped(f.count) + " lines end") +
               " in a CR alone, which most tools do not take for a line end";
      case Kind::kAlikeTags:
        return joined(listed(f.many, f.many.size())) +
               " differ only in letter case, compatible forms or end spaces, which tagtree "
               "tells apart";
      case Kind::kSlashInName:
        return slash(f);
      case Kind::kCommaSeparated:
      case Kind::kSemicolonSeparated:
      case Kind::kTabSeparated:
        return separators(f);
    }
    return "";
  }

  // The sentence of one tag, or run of tags, of a finding about tags.
  std::string ofTags(const Finding& f, std::span<const std::uint32_t> tags, bool first) const {
    switch (f.kind) {
      case Kind::kOnceOnlyTags:
        return tag(tags.front()) + " occurs once";
      case Kind::kInvalidUtf8:
        return tag(tags.front()) + " is not valid UTF-8, which tagtree cannot print" +
               (first ? codePagesText(f) + whyNone(f) : "");
      case Kind::kAlikeTags:
      case Kind::kSlashInName: {
        if (first) return of(f);
        std::vector<std::string> items = tagsWithLines(report_, tags, kListed);
        if (tags.size() > items.size())
          items.push_back(grouped(tags.size() - items.size()) + " more");
        const std::string are = tags.size() == 1 ? " is" : " are";
        if (f.kind == Kind::kSlashInName)
          return joined(items) + (tags.size() == 1 ? " holds" : " hold") +
                 " \"/\" too, which tagtree prints between a parent and its child";
        return joined(items) + are + " alike to " +
               tagsWithLines(report_, f.many.first(1), 1).front() + ", which tagtree tells apart";
      }
      default:
        return of(f);
    }
  }

  // Why no fix mends `f`, where none does: why(f), or "".
  std::string whyNone(const Finding& f) const { return f.fix == Fix::kNone ? why(f) : ""; }

  // Why no command fixes `f`, after "; " or ": ", or "".
  std::string why(const Finding& f) const {
    switch (f.absent) {
      case NoCommand::kNone:
      case NoCommand::kStandardInput:
      case NoCommand::kFileNameLineEnd:
        return "";
      case NoCommand::kNotReplaceable:
        return "; --fix cannot replace the file: " + report_.unreplaceable;
      case NoCommand::kNotUtf16:
        return ": " +
               (f.evidence != kNoTag
                    ? "it is UTF-8 text with stray NUL bytes, such as " + tagAndLine(f.evidence)
                    : utf16Flaw()) +
               "; no command is offered, for converting the file from UTF-16 would garble it";
      case NoCommand::kMixedEncodings:
        // The bytes that decide it may be a byte-order mark that is no mark, as a second
        // one on a line of its own is: no tag of its own shows it then.
        return "; the file also holds valid UTF-8 beyond ASCII" +
               (f.evidence != kNoTag ? ", such as " + tagAndLine(f.evidence) : std::string()) +
               ", which converting the whole file from a code page would garble: no command is "
               "offered";
      case NoCommand::kNulBytes:
        return "; the file holds NUL bytes, which no 8-bit text has: no command is offered";
      case NoCommand::kNoCodePage:
        return "; no 8-bit code page reads every byte of the file as a character a name "
               "means: no command is offered";
      case NoCommand::kOtherCommand:
        if (f.kind != Kind::kInvalidUtf8) return "";
        return isUtf16(survey_.encoding.encoding)
                   ? "; converting the file from UTF-16 mends them"
                   : "; if the file is " + std::string(report_.guess.label) +
                         ", converting it from that mends them (see the NUL bytes)";
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
    const VerdictFacts& verdict = report_.verdict;
    if (verdict.status == 0) {
      return "tagtree succeeds: it prints " +
             (f.count == 0 ? std::string("nothing") : counted(f.count, "path", "paths"));
    }
    return "tagtree fails" + std::string(f.line != 0 ? " here" : "") + ", printing \"" +
           verdict.errorLine + "\"";
  }

  std::string treeCommandText() const {
    if (!whole_) return "";
    if (!report_.tree->command.empty()) return "";
    return "; the file must be converted to UTF-8 before its paths can be printed";
  }

  std::string blank(const Finding& f) const {
    std::string text = run_ == nullptr ? counted(f.count, "blank line", "blank lines")
                                       : lines() + (one() ? " is blank" : " are blank") + size();
    if (!whole_) return text;
    return text + "; without " +
           (run_ == nullptr ? std::string("them")
                            : "the " + counted(f.count, "blank line", "blank lines")) +
           ", " + counted(f.left, "line", "lines") + ", " + against(f.left, kMaxLines);
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
           joined(listed(f.many, f.many.size())) + codePagesText(f) + whyNone(f);
  }

  // The code pages that read a file in one: the likeliest, with its first name as that
  // reads it, and how many others do.
  std::string codePagesText(const Finding& f) const {
    if (f.fix != Fix::kFromEncoding || report_.codePages.empty()) return "";
    const CodePageNames& likeliest = report_.codePages.front();
    const std::size_t others = report_.codePages.size() - 1;
    return "; the file is in an 8-bit code page: as " + std::string(likeliest.page.label) +
           ", the likeliest, " + tag(f.many.front()) + " reads " +
           quotedName(likeliest.names.front()) +
           (others == 0
                ? std::string()
                : ", and " + counted(others, "other code page reads", "other code pages read") +
                      " the file too");
  }

  std::string slash(const Finding& f) const {
    return joined(listed(f.many, f.many.size())) + (f.many.size() == 1 ? " holds" : " hold") +
           " \"/\", which tagtree prints between a parent and its child: a path of " +
           (f.many.size() == 1 ? "it reads" : "them reads") + " as a deeper one";
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
    switch (survey_.encoding.notUtf16) {
      case Utf16Flaw::kOddLength:
        return "it has an odd number of bytes";
      case Utf16Flaw::kLoneSurrogate:
        return "it holds half a surrogate pair";
      case Utf16Flaw::kLastLineEnd:
        return "its last line end is none in UTF-16";
      case Utf16Flaw::kNoNulAtStart:
        return "its first " + grouped(Utf16Reading::kLookAhead) +
               " bytes hold no NUL, as those of UTF-16 text do";
      case Utf16Flaw::kNoOrder:
        return "its NUL bytes suggest neither byte order";
      case Utf16Flaw::kUtf8Text:
        return "it reads as UTF-8, and too few of its bytes are NUL for UTF-16";
      case Utf16Flaw::kTooFewNuls:
        return "too few of its bytes are NUL for UTF-16";
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

std::string commandPrefix(Fix fix, std::string_view from) {
  if (fix == Fix::kFromEncoding) return "tagtree-explain --fix --from=" + std::string(from);
  return "tagtree-explain --fix=" + std::string(fixName(fix));
}

}  // namespace

bool FixRequest::allows(Fix fix) const {
  return only.empty() || std::find(only.begin(), only.end(), fix) != only.end();
}

const Finding* Report::find(Kind kind) const {
  for (const Finding& finding : findings) {
    if (finding.kind == kind) return &finding;
  }
  return nullptr;
}

Report reportOf(const Survey& survey, std::string_view fileName,
                std::optional<std::vector<Applied>> applied, std::string_view unreplaceable) {
  Report report(survey, fileName, std::move(applied));
  report.unreplaceable = unreplaceable;
  Finder(report, fileName).find();
  return report;
}

std::string placeholderText(const Report& report, NoCommand absent) {
  switch (absent) {
    case NoCommand::kStandardInput:
      return "FILE stands for the file this input came from";
    case NoCommand::kFileNameLineEnd:
      return "FILE stands for " + shownName(report.fileName) +
             ", whose name ends in a line end, which no command here can name";
    default:
      return "";
  }
}

bool offersFix(const Report& report) {
  return std::any_of(report.findings.begin(), report.findings.end(),
                     [](const Finding& finding) { return finding.fix != Fix::kNone; });
}

void setPlan(Report& report, Plan plan) {
  plan.absent = commandAbsent(report);
  if (plan.absent != NoCommand::kNotReplaceable) {
    plan.shownCommand =
        "tagtree-explain --fix" +
        (plan.guess ? " --from=" + std::string(plan.from.encoding) : std::string()) + " " +
        shellWord(report.fileName);
  }
  if (plan.absent == NoCommand::kNone) plan.command = plan.shownCommand;
  plan.marked = std::any_of(report.findings.begin(), report.findings.end(),
                            [](const Finding& finding) { return isCertain(finding.fix); });
  report.plan = std::move(plan);
}

std::string treeSummary(const TreeFacts& tree) {
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

std::string afterText(const VerdictFacts& after) {
  if (after.status == 0) {
    return "succeeds and prints " +
           (after.paths == 0 ? std::string("nothing") : counted(after.paths, "path", "paths"));
  }
  return "still fails, printing \"" + after.errorLine + "\"";
}

std::string planText(const Plan& plan) {
  std::vector<std::string> steps;
  for (const Applied& fix : plan.fixes) steps.push_back(plannedText(fix));
  return (plan.guess ? "if the file is " + std::string(plan.from.label) +
                           ", --fix --from=" + std::string(plan.from.encoding)
                     : std::string("--fix")) +
         " would " + joined(steps) + "; tagtree then " + afterText(plan.after);
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

std::string tagsMessageOf(const Report& report, const Finding& finding,
                          std::span<const std::uint32_t> tags, bool first) {
  return Messages(report, nullptr, true).ofTags(finding, tags, first);
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

std::string shellWord(std::string_view fileName) {
  if (fileName == "-" || fileName.ends_with('\n')) return "FILE";
  const std::string path =
      fileName.starts_with("-") ? "./" + std::string(fileName) : std::string(fileName);
  if (!path.empty() && std::all_of(path.begin(), path.end(), plainInShell)) return path;
  if (printableUtf8(path)) {
    std::string quoted = "'";
    for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  // printf reads its format's backslash escapes and % conversions; every other byte but
  // the plain ones goes as a three-digit octal escape, which it turns back into the byte.
  std::string format;
  for (const char c : path) {
    if (plainInShell(c) || c == ' ') {
      format += c;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    format += '\\';
    format += static_cast<char>('0' + (byte >> 6));
    format += static_cast<char>('0' + (byte >> 3 & 7));
    format += static_cast<char>('0' + (byte & 7));
  }
  return "\"$(printf '" + format + "')\"";
}

std::string fixCommand(Fix fix, std::string_view from, std::string_view fileName) {
  if (fix == Fix::kNone) return "";
  return commandPrefix(fix, from) + " " + shellWord(fileName);
}

std::string_view encodingLabel(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf8:
      return "UTF-8";
    case TextEncoding::kUtf16Le:
      return "UTF-16LE";
    case TextEncoding::kUtf16Be:
      return "UTF-16BE";
    case TextEncoding::kCodePage:
      return "an 8-bit code page";
    case TextEncoding::kMixed:
      return "UTF-8 mixed with another encoding";
    case TextEncoding::kUnknown:
      break;
  }
  return "of no encoding known";
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
    case Kind::kUnprintableName:
      return "unprintable-name";
    case Kind::kTreeWithoutLimits:
      return "tree-without-limits";
    case Kind::kUtf16:
      return "utf-16";
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
    case Kind::kSlashInName:
      return "slash-in-name";
    case Kind::kCommaSeparated:
      return "comma-separated";
    case Kind::kSemicolonSeparated:
      return "semicolon-separated";
    case Kind::kTabSeparated:
      break;
  }
  return "tab-separated";
}

std::string_view noCommandName(NoCommand why) {
  switch (why) {
    case NoCommand::kNone:
      return "";
    case NoCommand::kNotUtf16:
      return "not-utf-16";
    case NoCommand::kMixedEncodings:
      return "mixed-encodings";
    case NoCommand::kNulBytes:
      return "nul-bytes";
    case NoCommand::kNoCodePage:
      return "no-code-page";

    case NoCommand::kOtherCommand:
      return "other-command";
    case NoCommand::kStandardInput:
      return "standard-input";
    case NoCommand::kFileNameLineEnd:
      return "file-name-ends-in-line-end";
    case NoCommand::kNotReplaceable:
      break;
  }
  return "not-replaceable";
}

std::string_view fixName(Fix fix) {
  switch (fix) {
    case Fix::kNone:
      return "";
    case Fix::kRemoveByteOrderMark:
      return "remove-byte-order-mark";
    case Fix::kFromUtf16:
      return "from-utf-16";
    case Fix::kFromEncoding:
      return "from-encoding";
    case Fix::kCrToLf:
      return "cr-to-lf";
    case Fix::kDeleteBlankLines:
      break;
  }
  return "delete-blank-lines";
}

std::string appliedText(const Applied& applied) {
  switch (applied.fix) {
    case Fix::kNone:
      return "";
    case Fix::kRemoveByteOrderMark:
      return applied.count == 1 ? "removed the byte-order mark"
                                : "removed " + grouped(applied.count) + " byte-order marks";
    case Fix::kFromUtf16:
    case Fix::kFromEncoding:
      return "converted it from " + applied.encoding + " to UTF-8";
    case Fix::kCrToLf:
      return "ended with LF the " + counted(applied.count, "line", "lines") +
             " that ended in a CR alone";
    case Fix::kDeleteBlankLines:
      break;
  }
  return "deleted " + counted(applied.count, "blank line", "blank lines");
}

std::string plannedText(const Applied& applied) {
  switch (applied.fix) {
    case Fix::kNone:
      return "";
    case Fix::kRemoveByteOrderMark:
      return applied.count == 1 ? "remove the byte-order mark"
                                : "remove " + grouped(applied.count) + " byte-order marks";
    case Fix::kFromUtf16:
    case Fix::kFromEncoding:
      return "convert the file from " + applied.encoding + " to UTF-8";
    case Fix::kCrToLf:
      return "end " + counted(applied.count, "line", "lines") + " with LF";
    case Fix::kDeleteBlankLines:
      break;
  }
  return "delete " + counted(applied.count, "blank line", "blank lines");
}

}  // namespace tagtree::explain
