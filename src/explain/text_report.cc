// The text form: the model laid out for people, section by section. Every sentence is
// built from the model's data; what the file breaks, what a change would leave, where a
// tag ends up and why, and which fix mends what are the model's to decide. The rules of
// tagtree themselves are stated once, under the tags, not restated per tag.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "base/failure.h"
#include "explain/findings.h"
#include "explain/report.h"
#include "explain/shown_name.h"
#include "model/tag_group.h"
#include "pipeline/grouping.h"

namespace tagtree::explain {
namespace {

// The mark of a finding that --fix mends for certain.
constexpr std::string_view kFixable = " [*]";

class TextWriter {
 public:
  TextWriter(const Report& report, OutputSink& out)
      : report_(report), survey_(report.survey), out_(out) {}

  void write() {
    writeApplied();
    writeVerdict();
    writeSizes();
    writeBreaks();
    writeTags();
    writeWarnings();
    writePlan();
    if (cut_) {
      line();
      line("Lists of more than " + grouped(kListed) +
           " show their first here; --format=gnu or --format=json lists them all.");
    }
  }

 private:
  std::string tag(std::uint32_t slot) const { return report_.shown.quoted(slot); }
  std::uint64_t firstLine(std::uint32_t slot) const { return survey_.facts[slot].firstLine; }
  std::string tagAndLine(std::uint32_t slot) const {
    return tag(slot) + " (line " + grouped(firstLine(slot)) + ")";
  }

  void line(std::string_view words = {}) {
    out_.write(words);
    out_.write("\n");
  }
  // " [*]" after a finding --fix mends for certain.
  static std::string_view mark(const Finding& finding) {
    return isCertain(finding.fix) ? kFixable : "";
  }

  // Joins `items`, and says how many more of `total` there are.
  std::string listed(std::vector<std::string> items, std::uint64_t total) {
    if (total > items.size()) {
      items.push_back(grouped(total - items.size()) + " more");
      cut_ = true;
    }
    return joined(items);
  }

  // "line 4", "lines 4 and 9", "lines 1 to 10, 14 and 35 more lines": the first kListed
  // runs of the lines `finding` is about.
  std::string linesText(const Finding& finding) {
    std::vector<std::string> items;
    std::uint64_t shown = 0;
    forEachRun(report_, finding, [&](std::uint64_t first, std::uint64_t last) {
      if (items.size() == kListed) return;
      items.push_back(first == last ? grouped(first) : grouped(first) + " to " + grouped(last));
      shown += last - first + 1;
    });
    const std::uint64_t total = lineCount(report_, finding);
    if (total > shown) {
      items.push_back(counted(total - shown, "more line", "more lines"));
      cut_ = true;
    }
    return (total == 1 ? "line " : "lines ") + joined(items);
  }

  // The first kListed tags of `finding`, each with its first line, and how many more.
  std::string tagsText(const Finding& finding) {
    return listed(tagsWithLines(report_, finding.tags(), kListed), finding.tags().size());
  }

  // Why `finding` offers no command, as a sentence of its own after a space, or "".
  std::string whyText(const Finding& finding) const {
    std::string why = whyNoCommand(report_, finding);
    if (why.size() < 3) return "";
    why.erase(0, 2);  // "; " or ": "
    why[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(why[0])));
    return " " + why + ".";
  }

  std::string subject() const {
    return report_.standardInput() ? std::string("this input, as its files.in")
                                   : shownName(report_.fileName);
  }

  // What --fix did, before the report on its result.
  void writeApplied() {
    if (!report_.applied) return;
    std::vector<std::string> changes;
    for (const Applied& applied : *report_.applied) changes.push_back(appliedText(applied));
    line(changes.empty() ? "--fix changed nothing in " + subject() + "."
                         : "Fixed " + subject() + ": " + joined(changes) + ".");
    line();
  }

  void writeVerdict() {
    const VerdictFacts& verdict = report_.verdict;
    if (verdict.status == 0) {
      line("tagtree succeeds on " + subject() + ": it prints " +
           (verdict.paths == 0 ? std::string("nothing") : counted(verdict.paths, "path", "paths")) +
           " and exits with status 0.");
      return;
    }
    line("tagtree fails on " + subject() + ", with exit status " + std::to_string(verdict.status) +
         ". It prints:");
    line();
    line("    " + verdict.errorLine);
    line();
    if (const std::string words = stopText(verdict); !words.empty()) line(words);
  }

  // Where tagtree stops, and what it prints before.
  std::string stopText(const VerdictFacts& verdict) const {
    const std::string at = grouped(verdict.line);
    switch (verdict.stop) {
      case Stop::kAtTag:
        return "It stops on line " + at + ", where the " + grouped(kMaxTags + 1) +
               "st distinct tag, " + tag(verdict.tag) + ", first appears, and prints nothing else.";
      case Stop::kAtLineEnd:
        return "It stops at the end of line " + at + ", " +
               (verdict.outcome == Outcome::kTooManyLines
                    ? "the " + grouped(kMaxLines + 1) + "st"
                    : "which holds more than " + grouped(TagGroup::kCapacity) + " tags") +
               ", and prints nothing else.";
      case Stop::kBeforePrinting:
        if (verdict.tag == kNoTag) return "";
        return "It stops before it prints anything: " + tag(verdict.tag) +
               " would be the parent of " + grouped(verdict.children) + " tags.";
      case Stop::kAtName:
        if (verdict.tag == kNoTag) return "";
        return "It prints " +
               (verdict.paths == 0 ? "" : counted(verdict.paths, "path", "paths") + ", then ") +
               "the path of " + tagAndLine(verdict.tag) +
               " up to its first byte that is not UTF-8, and the error right after it.";
      case Stop::kNowhere:
      case Stop::kElsewhere:
        break;
    }
    return "";
  }

  void writeSizes() {
    line();
    line(isUtf16(survey_.encoding.encoding)
             ? "Sizes, counted as tagtree counts them, reading the file as UTF-8:"
             : "Sizes, counted as tagtree counts them:");
    for (const Size& size : report_.sizes) {
      std::string what;
      switch (size.what) {
        case Size::What::kLines:
          what = counted(size.value, "line", "lines");
          break;
        case Size::What::kDistinctTags:
          what = counted(size.value, "distinct tag", "distinct tags");
          break;
        case Size::What::kTagsInALine:
          what = counted(size.value, "tag", "tags") + " at most in one line" +
                 (size.line == 0 ? "" : ", line " + grouped(size.line));
          break;
      }
      line("  " + what + (size.over() ? ": over the limit of " : ": within the limit of ") +
           grouped(size.limit));
    }
  }

  void writeBreaks() {
    int breaks = 0;
    const auto heading = [&] {
      if (breaks++ > 0) return;
      line();
      line("Where the file breaks tagtree's limits:");
    };
    std::vector<std::string> overfull;  // the first kListed lines of too many tags
    std::uint64_t overfullLines = 0;
    for (const Finding& f : report_.findings) {
      switch (f.kind) {
        case Kind::kTooManyLines:
          heading();
          line("  " + counted(f.count, "line", "lines") + ", more than " + grouped(kMaxLines) +
               ": line " + grouped(f.line) + " is one too many.");
          break;
        case Kind::kBlankLines:
          line("    " + grouped(f.count) + (f.count == 1 ? " is blank, " : " are blank, ") +
               linesText(f) + "; without them, " + counted(f.left, "line", "lines") + ", " +
               against(f.left, kMaxLines) + "." + std::string(mark(f)));
          break;
        case Kind::kTooManyTags:
          heading();
          line("  " + counted(f.count, "distinct tag", "distinct tags") + ", more than " +
               grouped(kMaxTags) + ": the " + grouped(kMaxTags + 1) + "st, " + tag(f.tag) +
               ", first appears on line " + grouped(f.line) + ".");
          break;
        case Kind::kFixByteOrderMark:
          line("    Without the byte-order mark (see Warnings): " +
               counted(f.left, "distinct tag", "distinct tags") + ", within the limit.");
          break;
        case Kind::kFixAlikeTags:
          line("    With each group of alike tags (see Warnings) made one: " +
               counted(f.left, "distinct tag", "distinct tags") + ", within the limit.");
          break;
        case Kind::kOnceOnlyTags:
          line("    " + grouped(f.count) + (f.count == 1 ? " occurs" : " occur") + " once: " +
               tagsText(f) + "; without them, " + counted(f.left, "distinct tag", "distinct tags") +
               ", " + against(f.left, kMaxTags) + ".");
          break;
        case Kind::kOverfullLine:
          if (overfullLines++ == 0) heading();
          if (overfull.size() < kListed) overfull.push_back(overfullItem(f));
          break;
        case Kind::kTooManyChildren:
          heading();
          line("  More than " + grouped(TagGroup::kCapacity) + " children: " + tagAndLine(f.tag) +
               " would be the parent of " + grouped(f.count) + " tags.");
          break;
        case Kind::kUnprintableName:
          heading();
          line("  A name to print that is not valid UTF-8: " + tagAndLine(f.tag) + ".");
          break;
        default:
          break;
      }
    }
    if (overfullLines > 0) {
      line("  More than " + grouped(TagGroup::kCapacity) +
           " tags in one line: " + listed(overfull, overfullLines) + ".");
    }
    if (breaks == 0) return;
    // Each line of too many tags is a break of its own.
    const VerdictFacts& verdict = report_.verdict;
    if (breaks > 1 && verdict.line != 0) {
      line("tagtree stops at the first of these it meets, on line " + grouped(verdict.line) + ".");
    }
    if (!report_.hierarchyKnown) {
      line("Whether a tag would have more than " + grouped(TagGroup::kCapacity) +
           " children shows once the file is within these.");
    }
    if (report_.tree) writeTreeWithoutLimits(*report_.tree);
  }

  // What tagtree's rule gives the file without its limits, and why it leaves tags out.
  void writeTreeWithoutLimits(const TreeFacts& tree) {
    line();
    line("Without these limits, tagtree's rule gives " + treeSummary(tree) + ".");
    if (tree.mostHaveManyParents) {
      line(
          "A tag is left out where two or more tags take it as their child: most tags of a "
          "large file share a line with two that occur often enough to take them.");
    }
    if (tree.command.empty()) {
      line(
          "Its paths hold names that are not UTF-8, which no command prints: convert the file "
          "first (see Warnings).");
      return;
    }
    line("This prints those paths:");
    line("    " + tree.command);
  }

  // A line of too many tags: "line 3 (53 tags, 3 of them repeats: 50 without them, within
  // the limit)".
  static std::string overfullItem(const Finding& f) {
    std::string item = "line " + grouped(f.line) + " (" + grouped(f.count) + " tags";
    if (f.left != f.count) {
      item += ", " + grouped(f.count - f.left) + " of them repeats: " + grouped(f.left) +
              " without them, " + against(f.left, TagGroup::kCapacity);
    }
    return item + ")";
  }

  void writeTags() {
    if (report_.places.empty()) return;
    line();
    line("Tags, in order of first occurrence:");
    std::vector<std::string> shown, counts, paths;
    std::size_t nameWidth = 0, countWidth = 0, pathWidth = 0;
    for (std::uint32_t slot = 0; slot < report_.places.size(); ++slot) {
      shown.push_back(report_.shown.name(slot));
      counts.push_back(grouped(survey_.facts[slot].count));
      paths.push_back(path(slot));
      nameWidth = std::max(nameWidth, columns(shown.back()));
      countWidth = std::max(countWidth, counts.back().size());
      pathWidth = std::max(pathWidth, columns(paths.back()));
    }
    nameWidth = std::min<std::size_t>(nameWidth, 24);
    pathWidth = std::min<std::size_t>(pathWidth, 32);
    for (std::uint32_t slot = 0; slot < report_.places.size(); ++slot) {
      std::string row = "  " + padded(shown[slot], nameWidth);
      row += "  " + std::string(countWidth - counts[slot].size(), ' ') + counts[slot];
      row += survey_.facts[slot].count == 1 ? " time   " : " times  ";
      const std::string why = reason(report_.places[slot]);
      line(row + (paths[slot].empty() ? why : padded(paths[slot], pathWidth) + "  " + why));
    }
    line("A tag occurring n times takes as its children the tags on its lines that occur at most");
    line("n/2 + 1 times (n/2 rounded down); a tag no other takes is top level.");
  }

  // The path a tag is printed as, or "" when it is left out.
  std::string path(std::uint32_t slot) const {
    const PlacedTag& place = report_.places[slot];
    switch (place.placement) {
      case Placement::kTopLevel:
        return report_.shown.path(slot);
      case Placement::kChild:
        return report_.shown.path(place.parents.front().slot, slot);
      default:
        return "";
    }
  }

  // A parent, with the first line it shares with the tag: "news" (line 4).
  std::string parentText(const Parent& parent) const {
    return tag(parent.slot) + " (line " + grouped(parent.sharedLine) + ")";
  }

  // Why a tag is printed where it is, or left out.
  std::string reason(const PlacedTag& place) const {
    std::vector<std::string> parents, above;
    for (const Parent& parent : place.parents) parents.push_back(parentText(parent));
    for (const std::uint32_t grandparent : place.grandparents) above.push_back(tag(grandparent));
    switch (place.placement) {
      case Placement::kTopLevel:
        return "top level: no tag on its lines takes it";
      case Placement::kChild: {
        const Parent& parent = place.parents.front();
        return "parent " + counted(parent.count, "time", "times") + ", takes up to " +
               grouped(parent.takesUpTo) + "; line " + grouped(parent.sharedLine);
      }
      case Placement::kSeveralParents:
        return "left out: child of " + joined(parents);
      case Placement::kEachOther:
        return "left out: each other's child with " + parents.front();
      case Placement::kUnderChild:
        break;
    }
    return "left out: child of " + parents.front() + ", which is a child of " + joined(above);
  }

  // The columns a shown name takes: its characters, UTF-8 continuation bytes not counted.
  static std::size_t columns(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
  }
  static std::string padded(const std::string& text, std::size_t width) {
    const std::size_t taken = columns(text);
    return text + std::string(width > taken ? width - taken : 0, ' ');
  }

  // The code pages that read a file in one, those that read its names alike together, the
  // likeliest first, and the command that converts it from the likeliest.
  void writeCodePages(const Finding& f) {
    line(
        "    The file holds no UTF-8 beyond ASCII: it is in an 8-bit code page, which one is a "
        "guess. They read it so:");
    const std::vector<CodePageNames>& pages = report_.codePages;
    for (std::size_t from = 0; from < pages.size();) {
      std::vector<std::string> labels;
      std::size_t to = from;
      for (; to < pages.size() && pages[to].names == pages[from].names; ++to) {
        labels.push_back(std::string(pages[to].page.label) + (to == 0 ? " (the likeliest)" : ""));
      }
      std::vector<std::string> quoted;
      for (const std::string& name : pages[from].names) quoted.push_back(quotedName(name));
      line("      " + joined(labels) + ": " + listed(quoted, f.many.size()));
      from = to;
    }
    if (f.shownCommand.empty()) {
      line("    If it is " + std::string(pages.front().page.label) + ", --fix --from=" +
           std::string(pages.front().page.encoding) + " converts it" + whyText(f));
      return;
    }
    line("    If it is " + std::string(pages.front().page.label) + ", this converts it:");
    line("      " + f.shownCommand);
    if (const std::string note = placeholderText(report_, f.absent); !note.empty())
      line("    (" + note + ".)");
  }

  void writeWarnings() {
    bool any = false;
    const auto heading = [&] {
      if (any) return;
      any = true;
      line();
      line("Warnings:");
    };
    std::size_t alikeGroups = 0;
    for (std::size_t i = 0; i < report_.findings.size(); ++i) {
      const Finding& f = report_.findings[i];
      switch (f.kind) {
        case Kind::kUtf16:
          heading();
          line("  The file is " + std::string(encodingLabel(survey_.encoding.encoding)) +
               (survey_.encoding.utf16Mark != Utf16Mark::kNone ? ", as its byte-order mark says"
                                                               : "") +
               ", which tagtree reads as UTF-8." + std::string(mark(f)));
          break;
        case Kind::kByteOrderMark:
          heading();
          line(std::string(f.count == 1 ? "  The file starts with a UTF-8 byte-order mark"
                                        : "  The file starts with " + grouped(f.count) +
                                              " UTF-8 byte-order marks") +
               ", which becomes part of its first tag, " + tagAndLine(f.tag) + "." +
               std::string(mark(f)));
          break;
        case Kind::kNulBytes:
          heading();
          if (f.fix != Fix::kFromEncoding) {
            line("  NUL bytes in the tags of " + linesText(f) + ", but the file is not UTF-16" +
                 whyNoCommand(report_, f) + ".");
            break;
          }
          line("  NUL bytes in the tags of " + linesText(f) + ": the file decodes as " +
               std::string(report_.guess.label) +
               ", but too few of its bytes are NUL, as those of its ASCII characters, line ends "
               "and separators would be, to be sure it is." +
               (f.shownCommand.empty() ? whyText(f) : " If it is, this converts it:"));
          if (!f.shownCommand.empty()) line("    " + f.shownCommand);
          break;
        case Kind::kInvalidUtf8:
          heading();
          line("  Tags that are not valid UTF-8, which tagtree cannot print: " + tagsText(f) + "." +
               whyText(f));
          if (f.fix == Fix::kFromEncoding) writeCodePages(f);
          break;
        case Kind::kCrLineEnds:
          heading();
          line("  A CR alone ends " + linesText(f) +
               ", which most tools do not take for a line end." + std::string(mark(f)));
          break;
        case Kind::kAlikeTags:
          heading();
          if (alikeGroups == 0) {
            line(
                "  Tags alike but for letter case, compatible forms or spaces at their ends, "
                "which tagtree tells apart:");
          }
          if (alikeGroups++ < kListed) line("    " + tagsText(f));
          if (alikeGroups > kListed && (i + 1 == report_.findings.size() ||
                                        report_.findings[i + 1].kind != Kind::kAlikeTags)) {
            cut_ = true;
            line("    and " + counted(alikeGroups - kListed, "more group", "more groups"));
          }
          break;
        case Kind::kSlashInName:
          heading();
          line(
              "  Tags that hold \"/\", which tagtree prints between a parent and its child, so "
              "that their paths read as deeper ones: " +
              tagsText(f) + ".");
          break;
        case Kind::kCommaSeparated:
        case Kind::kSemicolonSeparated:
        case Kind::kTabSeparated:
          heading();
          line("  No \"; \" in " + linesText(f) + ", which " + (f.count == 1 ? "holds " : "hold ") +
               (f.kind == Kind::kCommaSeparated       ? "\", \""
                : f.kind == Kind::kSemicolonSeparated ? "\";\" with no space after it"
                                                      : "a tab") +
               ": tagtree takes such a line as one tag.");
          break;
        default:
          break;
      }
    }
  }

  // Everything --fix would do, in one place.
  void writePlan() {
    if (!report_.plan) return;
    const Plan& plan = *report_.plan;
    line();
    line("Fixes:");
    std::string text = planText(plan);
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (plan.shownCommand.empty()) {
      line("  " + text + ". But --fix cannot replace the file: " + report_.unreplaceable + ".");
    } else {
      line("  " + text + ". This does it all at once:");
      line("    " + plan.shownCommand);
      if (const std::string note = placeholderText(report_, plan.absent); !note.empty())
        line("  (" + note + ".)");
    }
    if (plan.marked) {
      line("  [*] marks what --fix mends for certain; --fix=NAME applies the fixes named alone,");
      line("  and --diff shows the change without making it.");
    } else {
      line("  --diff shows the change without making it.");
    }
  }

  const Report& report_;
  const Survey& survey_;
  OutputSink& out_;
  bool cut_ = false;  // a list was cut short
};

}  // namespace

void writeTextReport(const Report& report, OutputSink& out) { TextWriter(report, out).write(); }

}  // namespace tagtree::explain
