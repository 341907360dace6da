// The text form: the findings laid out for people, section by section. Every sentence is
// built from a finding's data; what the file breaks, what a change would leave and which
// command fixes it are the findings' to decide. The rules of tagtree themselves are stated
// once, under the tags, not restated per tag.
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
  // A command on a line of its own, to copy, indented by `indent` spaces.
  void command(const Finding& finding, std::size_t indent) {
    line(std::string(indent, ' ') + commandOf(finding.fix, report_.fileName));
  }

  // Joins `items`, and says how many more of `total` there are.
  std::string listed(std::vector<std::string> items, std::uint64_t total) {
    if (total > items.size()) {
      items.push_back(grouped(total - items.size()) + " more");
      cut_ = true;
    }
    return joined(items);
  }

  // "line 4", "lines 4 and 9", "lines 1 to 10, 14 and 35 more": the first kListed runs of
  // the lines `finding` is about.
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
      items.push_back(grouped(total - shown) + " more");
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
    const Verdict& verdict = survey_.verdict;
    const Finding& finding = *report_.find(Kind::kVerdict);
    if (verdict.status == 0) {
      line("tagtree succeeds on " + subject() + ": it prints " +
           (finding.count == 0 ? std::string("nothing") : counted(finding.count, "path", "paths")) +
           " and exits with status 0.");
      return;
    }
    line("tagtree fails on " + subject() + ", with exit status " + std::to_string(verdict.status) +
         ". It prints:");
    line();
    line("    " + std::string(kErrorLinePrefix) + verdict.message);
    line();
    if (const std::string words = meaning(finding); !words.empty()) line(words);
  }

  // What the failure of the verdict `finding` means.
  std::string meaning(const Finding& finding) const {
    const std::string at = grouped(finding.line);
    switch (survey_.verdict.outcome) {
      case Outcome::kTooManyTags:
        return "It stops on line " + at + ", where the " + grouped(kMaxTags + 1) +
               "st distinct tag, " + tag(finding.tag) + ", first appears, and prints nothing else.";
      case Outcome::kTooManyLines:
        return "It stops at the end of line " + at + ", the " + grouped(kMaxLines + 1) +
               "st, and prints nothing else.";
      case Outcome::kOverfullLine:
        return "It stops at the end of line " + at + ", which holds more than " +
               grouped(TagGroup::kCapacity) + " tags, and prints nothing else.";
      case Outcome::kTooManyChildren: {
        const Finding* crowded = report_.find(Kind::kTooManyChildren);
        if (crowded == nullptr) return "";
        return "It stops before it prints anything: " + tag(crowded->tag) +
               " would be the parent of " + grouped(crowded->count) + " tags.";
      }
      case Outcome::kBadName:
        if (finding.tag == kNoTag) return "";
        return "It prints " +
               (finding.count == 0 ? "" : counted(finding.count, "path", "paths") + ", then ") +
               "the path of " + tagAndLine(finding.tag) +
               " up to its first byte that is not UTF-8, and the error right after it.";
      default:
        return "";
    }
  }

  void writeSizes() {
    line();
    const Finding* nul = report_.find(Kind::kNulBytes);
    line(nul != nullptr && nul->fix != Fix::kNone
             ? "Sizes, counted as tagtree counts them, reading the file as UTF-8:"
             : "Sizes, counted as tagtree counts them:");
    const auto size = [&](const std::string& what, std::uint64_t n, std::uint64_t limit) {
      line("  " + what + (n > limit ? ": over the limit of " : ": within the limit of ") +
           grouped(limit));
    };
    size(counted(survey_.lines, "line", "lines"), survey_.lines, kMaxLines);
    size(counted(survey_.names.size(), "distinct tag", "distinct tags"), survey_.names.size(),
         kMaxTags);
    size(counted(survey_.mostTags, "tag", "tags") + " at most in one line" +
             (survey_.mostTags == 0 ? "" : ", line " + grouped(survey_.mostTagsLine)),
         survey_.mostTags, TagGroup::kCapacity);
  }

  void writeBreaks() {
    const Finding& verdict = *report_.find(Kind::kVerdict);
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
               against(f.left, kMaxLines) +
               (f.fix != Fix::kNone ? ". This deletes them:" : "." + whyText(f)));
          if (f.fix != Fix::kNone) command(f, 6);
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
        default:
          break;
      }
    }
    if (overfullLines > 0) {
      line("  More than " + grouped(TagGroup::kCapacity) +
           " tags in one line: " + listed(overfull, overfullLines) + ".");
    }
    if (survey_.verdict.outcome == Outcome::kBadName && verdict.tag != kNoTag) {
      heading();
      line("  A name to print that is not valid UTF-8: " + tagAndLine(verdict.tag) + ".");
    }
    if (breaks == 0) return;
    // Each line of too many tags is a break of its own.
    if (breaks > 1 && verdict.line != 0 && survey_.verdict.outcome != Outcome::kBadName) {
      line("tagtree stops at the first of these it meets, on line " + grouped(verdict.line) + ".");
    }
    if (!survey_.hierarchyKnown) {
      line("Whether a tag would have more than " + grouped(TagGroup::kCapacity) +
           " children shows once the file is within these.");
    }
    if (report_.find(Kind::kTreeWithoutLimits) != nullptr) writeTreeWithoutLimits();
  }

  // What tagtree's rule gives the file without its limits, and why it leaves tags out.
  void writeTreeWithoutLimits() {
    line();
    line("Without these limits, tagtree's rule gives " + treeSummary(report_) + ".");
    const TreeCounts tree = treeCounts(survey_.unbounded);
    if (tree.manyParents > tree.topLevel + tree.children) {
      line(
          "A tag is left out where two or more tags take it as their child: most tags of a "
          "large file share a line with two that occur often enough to take them.");
    }
    line("This prints those paths:");
    line("    " + treeCommand(report_.fileName));
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
    if (survey_.places.empty()) return;
    line();
    line("Tags, in order of first occurrence:");
    std::vector<std::string> shown, counts, paths;
    std::size_t nameWidth = 0, countWidth = 0, pathWidth = 0;
    for (std::uint32_t slot = 0; slot < survey_.places.size(); ++slot) {
      shown.push_back(report_.shown.name(slot));
      counts.push_back(grouped(survey_.facts[slot].count));
      paths.push_back(path(slot));
      nameWidth = std::max(nameWidth, columns(shown.back()));
      countWidth = std::max(countWidth, counts.back().size());
      pathWidth = std::max(pathWidth, columns(paths.back()));
    }
    nameWidth = std::min<std::size_t>(nameWidth, 24);
    pathWidth = std::min<std::size_t>(pathWidth, 32);
    for (std::uint32_t slot = 0; slot < survey_.places.size(); ++slot) {
      std::string row = "  " + padded(shown[slot], nameWidth);
      row += "  " + std::string(countWidth - counts[slot].size(), ' ') + counts[slot];
      row += survey_.facts[slot].count == 1 ? " time   " : " times  ";
      const std::string why = reason(slot);
      line(row + (paths[slot].empty() ? why : padded(paths[slot], pathWidth) + "  " + why));
    }
    line("A tag occurring n times takes as its children the tags on its lines that occur at most");
    line("n/2 + 1 times (n/2 rounded down); a tag no other takes is top level.");
  }

  // The path a tag is printed as, or "" when it is left out.
  std::string path(std::uint32_t slot) const {
    const TagPlace& place = survey_.places[slot];
    if (!place.printed) return "";
    if (!place.printedUnder) return report_.shown.path(slot);
    return report_.shown.path(*place.printedUnder, slot);
  }

  // A parent, with the first line it shares with the tag: "news" (line 4).
  std::string parentText(const ParentLink& parent) const {
    return tag(parent.slot) + " (line " + grouped(parent.sharedLine) + ")";
  }

  // Why the tag in `slot` is printed where it is, or left out.
  std::string reason(std::uint32_t slot) const {
    const TagPlace& place = survey_.places[slot];
    if (place.printed && !place.printedUnder) return "top level: no tag on its lines takes it";
    if (place.printed) {
      const ParentLink& parent = place.parents.front();
      const std::uint64_t count = survey_.facts[parent.slot].count;
      return "parent " + counted(count, "time", "times") + ", takes up to " +
             grouped(count / 2 + 1) + "; line " + grouped(parent.sharedLine);
    }
    std::vector<std::string> parents;
    for (const ParentLink& parent : place.parents) parents.push_back(parentText(parent));
    if (place.parents.size() != 1) return "left out: child of " + joined(parents);
    const std::uint32_t parent = place.parents.front().slot;
    std::vector<std::string> above;
    for (const ParentLink& grandparent : survey_.places[parent].parents) {
      if (grandparent.slot == slot) return "left out: each other's child with " + parents.front();
      above.push_back(tag(grandparent.slot));
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
        case Kind::kByteOrderMark:
          heading();
          line(
              "  The file starts with a UTF-8 byte-order mark, which becomes part of its first "
              "tag, " +
              tagAndLine(f.tag) + ". This removes it:");
          command(f, 4);
          break;
        case Kind::kNulBytes:
          heading();
          if (f.fix != Fix::kNone) {
            line("  NUL bytes in the tags of " + linesText(f) +
                 ": the file is UTF-16, which tagtree reads as UTF-8. This converts it:");
            command(f, 4);
          } else {
            line("  NUL bytes in the tags of " + linesText(f) + ", but the file is not UTF-16" +
                 whyNoCommand(report_, f) + ".");
          }
          break;
        case Kind::kInvalidUtf8:
          heading();
          line("  Tags that are not valid UTF-8, which tagtree cannot print: " + tagsText(f) + "." +
               (f.fix == Fix::kFromWindows1252
                    ? " The file holds no other UTF-8 beyond ASCII, and bytes of the euro sign, "
                      "curly quotes or dashes of Windows-1252: if it is Windows-1252, this "
                      "converts it:"
                : f.fix != Fix::kNone ? " The file holds no other UTF-8 beyond ASCII, so if it is "
                                        "Latin-1, this converts it:"
                                      : whyText(f)));
          if (f.fix != Fix::kNone) command(f, 4);
          break;
        case Kind::kCrLineEnds:
          heading();
          line("  A CR alone ends " + linesText(f) +
               ", which sed and most tools do not take for a line end. This ends them with LF:");
          command(f, 4);
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

  const Report& report_;
  const Survey& survey_;
  OutputSink& out_;
  bool cut_ = false;  // a list was cut short
};

}  // namespace

void writeTextReport(const Report& report, OutputSink& out) { TextWriter(report, out).write(); }

}  // namespace tagtree::explain
