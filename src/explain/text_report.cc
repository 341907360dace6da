// The text form, section by section. Every sentence is built from the survey's facts; the
// rules of tagtree themselves are stated once, under the tags, not restated per tag.
#include <algorithm>
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

// Lists show this many entries, then say how many more there are.
constexpr std::size_t kListed = 10;

class TextWriter {
 public:
  TextWriter(const Survey& survey, std::string_view fileName, OutputSink& out)
      : survey_(survey), fileName_(fileName), out_(out) {}

  void write() {
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
  std::string tag(std::uint32_t slot) const { return quotedName(survey_.names.name(slot)); }
  std::uint64_t firstLine(std::uint32_t slot) const { return survey_.facts[slot].firstLine; }
  std::string tagAndLine(std::uint32_t slot) const {
    return tag(slot) + " (line " + grouped(firstLine(slot)) + ")";
  }

  void line(std::string_view words = {}) {
    out_.write(words);
    out_.write("\n");
  }

  // Joins the first kListed of `items`, and says how many more there are.
  std::string listed(std::vector<std::string> items, std::uint64_t total) {
    if (total > items.size()) {
      items.push_back(grouped(total - items.size()) + " more");
      cut_ = true;
    }
    return joined(items);
  }

  // "line 4", "lines 4 and 9", "lines 1, 2, ..., 10 and 35 more".
  std::string linesText(const LineList& lines) {
    std::vector<std::string> items;
    for (const std::uint64_t number : lines.first(kListed)) items.push_back(grouped(number));
    return (lines.total() == 1 ? "line " : "lines ") + listed(items, lines.total());
  }

  // The tags in `slots`, each with its first line.
  std::string tagsText(const std::vector<std::uint32_t>& slots) {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < slots.size() && i < kListed; ++i)
      items.push_back(tagAndLine(slots[i]));
    return listed(items, slots.size());
  }

  // A command on a line of its own, to copy.
  void command(const std::string& text) { line("    " + text); }

  std::string subject() const {
    return fileName_ == "-" ? std::string("this input, as its files.in") : shownName(fileName_);
  }

  void writeVerdict() {
    const Verdict& verdict = survey_.verdict;
    if (verdict.outcome == Outcome::kSucceeds) {
      line("tagtree succeeds on " + subject() + ": it prints " +
           (verdict.paths == 0 ? std::string("nothing") : counted(verdict.paths, "path", "paths")) +
           " and exits with status 0.");
      return;
    }
    line("tagtree fails on " + subject() + ", with exit status " + std::to_string(verdict.status) +
         ". It prints:");
    line();
    line("    " + std::string(kErrorLinePrefix) + verdict.message);
    line();
    if (const std::string words = meaning(); !words.empty()) line(words);
  }

  std::string meaning() const {
    const Verdict& verdict = survey_.verdict;
    const std::string at = grouped(verdict.line);
    switch (verdict.outcome) {
      case Outcome::kTooManyTags:
        return "It stops on line " + at + ", where the " + grouped(kMaxTags + 1) +
               "st distinct tag, " + tag(kMaxTags) + ", first appears, and prints nothing else.";
      case Outcome::kTooManyLines:
        return "It stops at the end of line " + at + ", the " + grouped(kMaxLines + 1) +
               "st, and prints nothing else.";
      case Outcome::kOverfullLine:
        return "It stops at the end of line " + at + ", which holds more than " +
               grouped(TagGroup::kCapacity) + " tags, and prints nothing else.";
      case Outcome::kTooManyChildren:
        if (survey_.crowdedParents.empty()) return "";
        return "It stops before it prints anything: " + tag(survey_.crowdedParents.front().slot) +
               " would be the parent of " + grouped(survey_.crowdedParents.front().children) +
               " tags.";
      case Outcome::kBadName: {
        if (!survey_.badName) return "";
        return "It prints " +
               (verdict.paths == 0 ? "" : counted(verdict.paths, "path", "paths") + ", then ") +
               "the path of " + tagAndLine(*survey_.badName) +
               " up to its first byte that is not UTF-8, and the error right after it.";
      }
      default:
        return "";
    }
  }

  void writeSizes() {
    line();
    line(survey_.nulLines.total() > 0
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
    const std::uint64_t distinct = survey_.names.size();
    const Fixes& fixes = survey_.fixes;
    bool any = false;
    const auto heading = [&] {
      if (any) return;
      any = true;
      line();
      line("Where the file breaks tagtree's limits:");
    };
    int breaks = 0;
    if (survey_.lines > kMaxLines) {
      heading();
      ++breaks;
      line("  " + counted(survey_.lines, "line", "lines") + ", more than " + grouped(kMaxLines) +
           ": line " + grouped(kMaxLines + 1) + " is one too many.");
      const std::uint64_t blank = survey_.blankLines.total();
      if (blank > 0) {
        line("    " + grouped(blank) + (blank == 1 ? " is blank, " : " are blank, ") +
             linesText(survey_.blankLines) + "; without them, " +
             counted(fixes.linesWithoutBlank, "line", "lines") + ", " +
             against(fixes.linesWithoutBlank, kMaxLines) + ". This deletes them:");
        line("      " + deleteBlankLinesCommand(fileName_));
      }
    }
    if (distinct > kMaxTags) {
      heading();
      ++breaks;
      line("  " + counted(distinct, "distinct tag", "distinct tags") + ", more than " +
           grouped(kMaxTags) + ": the " + grouped(kMaxTags + 1) + "st, " + tag(kMaxTags) +
           ", first appears on line " + grouped(firstLine(kMaxTags)) + ".");
      if (fixes.tagsWithoutByteOrderMark && *fixes.tagsWithoutByteOrderMark <= kMaxTags) {
        line("    Without the byte-order mark (see Warnings): " +
             counted(*fixes.tagsWithoutByteOrderMark, "distinct tag", "distinct tags") +
             ", within the limit.");
      }
      if (!survey_.alikeNames.empty() && fixes.tagsMergingAlike <= kMaxTags) {
        line("    With each group of alike tags (see Warnings) made one: " +
             counted(fixes.tagsMergingAlike, "distinct tag", "distinct tags") +
             ", within the limit.");
      }
      if (fixes.tagsOnce > 0) {
        std::vector<std::uint32_t> once;
        for (std::uint32_t slot = 0; slot < survey_.facts.size() && once.size() < kListed; ++slot) {
          if (survey_.facts[slot].count == 1) once.push_back(slot);
        }
        std::vector<std::string> items;
        for (const std::uint32_t slot : once) items.push_back(tagAndLine(slot));
        const std::uint64_t left = distinct - fixes.tagsOnce;
        line("    " + grouped(fixes.tagsOnce) + (fixes.tagsOnce == 1 ? " occurs" : " occur") +
             " once: " + listed(items, fixes.tagsOnce) + "; without them, " +
             counted(left, "distinct tag", "distinct tags") + ", " + against(left, kMaxTags) + ".");
      }
    }
    if (!survey_.overfullLines.empty()) {
      heading();
      ++breaks;
      std::vector<std::string> items;
      for (const OverfullLine& overfull : survey_.overfullLines) {
        if (items.size() == kListed) break;
        std::string item =
            "line " + grouped(overfull.line) + " (" + grouped(overfull.tags) + " tags";
        if (overfull.repeats > 0) {
          const std::uint64_t left = overfull.tags - overfull.repeats;
          item += ", " + grouped(overfull.repeats) + " of them repeats: " + grouped(left) +
                  " without them, " + against(left, TagGroup::kCapacity);
        }
        items.push_back(item + ")");
      }
      line("  More than " + grouped(TagGroup::kCapacity) +
           " tags in one line: " + listed(items, survey_.overfullLines.size()) + ".");
    }
    for (const CrowdedParent& crowded : survey_.crowdedParents) {
      heading();
      ++breaks;
      line("  More than " + grouped(TagGroup::kCapacity) +
           " children: " + tagAndLine(crowded.slot) + " would be the parent of " +
           grouped(crowded.children) + " tags.");
    }
    if (survey_.badName) {
      heading();
      ++breaks;
      line("  A name to print that is not valid UTF-8: " + tagAndLine(*survey_.badName) + ".");
    }
    if (!any) return;
    if (breaks > 1 && survey_.verdict.line != 0) {
      line("tagtree stops at the first of these it meets, on line " +
           grouped(survey_.verdict.line) + ".");
    }
    if (!survey_.hierarchyKnown) {
      line("Whether a tag would have more than " + grouped(TagGroup::kCapacity) +
           " children shows once the file is within these.");
    }
  }

  void writeTags() {
    if (survey_.places.empty()) return;
    line();
    line("Tags, in order of first occurrence:");
    std::vector<std::string> shown, counts, paths;
    std::size_t nameWidth = 0, countWidth = 0, pathWidth = 0;
    for (std::uint32_t slot = 0; slot < survey_.places.size(); ++slot) {
      shown.push_back(shownName(survey_.names.name(slot)));
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
    const std::string_view own = survey_.names.name(slot);
    if (!place.printedUnder) return shownPath(own);
    return shownPath(survey_.names.name(*place.printedUnder), own);
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
    const bool utf16 = survey_.nulLines.total() > 0;
    if (utf16) {
      heading();
      line("  NUL bytes in the tags of " + linesText(survey_.nulLines) +
           ": the file is likely UTF-16, which tagtree reads as UTF-8. This converts it:");
      command(convertToUtf8Command(utf16Guess(survey_), fileName_));
    }
    if (survey_.byteOrderMark) {
      heading();
      line("  The file starts with a UTF-8 byte-order mark, which becomes part of its first tag, " +
           tag(0) + " (line 1). This removes it:");
      command(removeByteOrderMarkCommand(fileName_));
    }
    if (!survey_.alikeNames.empty()) {
      heading();
      line(
          "  Tags alike but for letter case, compatible forms or spaces at their ends, which "
          "tagtree tells apart:");
      for (std::size_t group = 0; group < survey_.alikeNames.size() && group < kListed; ++group) {
        // Names alike may be long and alike at both ends: each is shown with where it differs.
        const std::vector<std::uint32_t>& alike = survey_.alikeNames[group];
        std::vector<std::string_view> names;
        for (std::size_t i = 0; i < alike.size() && i < kListed; ++i)
          names.push_back(survey_.names.name(alike[i]));
        const std::vector<std::string> shown = shownNamesApart(names, Quotes::kAlways);
        std::vector<std::string> items;
        for (std::size_t i = 0; i < shown.size(); ++i)
          items.push_back(shown[i] + " (line " + grouped(firstLine(alike[i])) + ")");
        line("    " + listed(items, alike.size()));
      }
      if (survey_.alikeNames.size() > kListed) {
        cut_ = true;
        line("    and " +
             counted(survey_.alikeNames.size() - kListed, "more group", "more groups"));
      }
    }
    if (!utf16) {  // in UTF-16 no line holds "; ": the NUL warning says why
      const auto separator = [&](const LineList& lines, std::string_view what) {
        if (lines.total() == 0) return;
        heading();
        line("  No \"; \" in " + linesText(lines) + ", which " +
             (lines.total() == 1 ? "holds " : "hold ") + std::string(what) +
             ": tagtree takes such a line as one tag.");
      };
      separator(survey_.commaLines, "\", \"");
      separator(survey_.semicolonLines, "\";\" with no space after it");
      separator(survey_.tabLines, "a tab");
    }
    if (!survey_.badNames.empty()) {
      heading();
      line("  Tags that are not valid UTF-8, which tagtree cannot print: " +
           tagsText(survey_.badNames) + "." +
           (utf16 ? "" : " If the file is Latin-1, this converts it to UTF-8:"));
      if (!utf16) command(convertToUtf8Command("LATIN1", fileName_));
    }
  }

  const Survey& survey_;
  std::string_view fileName_;
  OutputSink& out_;
  bool cut_ = false;  // a list was cut short
};

}  // namespace

void writeTextReport(const Survey& survey, std::string_view fileName, OutputSink& out) {
  TextWriter(survey, fileName, out).write();
}

}  // namespace tagtree::explain
