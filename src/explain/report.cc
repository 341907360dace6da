// The report, section by section. Every sentence is built from the survey's facts; the
// rules of tagtree themselves are not restated here, only their outcome.
#include "explain/report.h"

#include <algorithm>
#include <vector>

#include "base/failure.h"
#include "explain/shown_name.h"
#include "model/tag_group.h"
#include "pipeline/grouping.h"

namespace tagtree::explain {
namespace {

// "1 time", "2 times".
std::string counted(std::uint64_t n, std::string_view one, std::string_view many) {
  return grouped(n) + " " + std::string(n == 1 ? one : many);
}

// Joins `items` as a person would: "a", "a and b", "a, b and c".
std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  return text;
}

// "line 4", "lines 4 and 9", and past kLinesNamed "lines 1, 2, ..., 10 and 35 more".
std::string linesText(const LineList& lines) {
  std::vector<std::string> items;
  for (const std::uint64_t line : lines.named()) items.push_back(grouped(line));
  if (lines.total() > lines.named().size()) {
    items.push_back(grouped(lines.total() - lines.named().size()) + " more");
  }
  return (lines.total() == 1 ? "line " : "lines ") + joined(items);
}

// Returns `word` as one word for a POSIX shell: as it is when it holds only characters
// that need no quoting, else in single quotes.
std::string shellWord(std::string_view word) {
  const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-' || c == '/' || c == '+' || c == ',';
  });
  if (plain && word.front() != '-') return std::string(word);
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class Writer {
 public:
  Writer(const Survey& survey, std::string_view fileName)
      : survey_(survey),
        fileName_(fileName == "-" ? "standard input" : shownName(fileName)),
        fileWord_(fileName == "-" ? "FILE" : shellWord(fileName)) {}

  std::string write() {
    writeVerdict();
    writeSizes();
    writeBreaks();
    writeTags();
    writeWarnings();
    return text_;
  }

 private:
  std::string name(std::uint32_t slot) const { return shownName(survey_.names[slot].name); }

  std::string names(const std::vector<std::uint32_t>& slots) const {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < slots.size() && i < kLinesNamed; ++i)
      items.push_back(name(slots[i]));
    if (slots.size() > kLinesNamed) items.push_back(grouped(slots.size() - kLinesNamed) + " more");
    return joined(items);
  }

  void line(std::string_view words = {}) {
    text_ += words;
    text_ += '\n';
  }

  void writeVerdict() {
    const Verdict& verdict = survey_.verdict;
    if (verdict.outcome == Outcome::kSucceeds) {
      line("tagtree succeeds on " + fileName_ + ": it prints " +
           (verdict.paths == 0 ? "nothing" : counted(verdict.paths, "path", "paths")) +
           " and exits with status 0.");
      return;
    }
    line("tagtree fails on " + fileName_ + ", with exit status " + std::to_string(verdict.status) +
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
        return "The file has more than " + grouped(kMaxTags) + " distinct tags: the " +
               grouped(kMaxTags + 1) + "st, " + name(kMaxTags) + ", first appears on line " + at +
               ": tagtree stops there, and prints nothing else.";
      case Outcome::kTooManyLines:
        return "The file has more than " + grouped(kMaxLines) +
               " lines: tagtree stops at the end of line " + at + ", and prints nothing else.";
      case Outcome::kOverfullLine:
        return "Line " + at + " holds more than " + grouped(TagGroup::kCapacity) +
               " tags: tagtree stops at its end, and prints nothing else.";
      case Outcome::kTooManyChildren:
        if (survey_.crowdedParents.empty()) return "";
        return "The tag " + name(survey_.crowdedParents.front().slot) + " would be the parent of " +
               grouped(survey_.crowdedParents.front().children) + " tags, more than " +
               grouped(TagGroup::kCapacity) + ": tagtree stops before it prints anything.";
      case Outcome::kBadName: {
        if (!survey_.badName) return "";
        const std::uint32_t bad = *survey_.badName;
        return "The name " + name(bad) + ", first on line " +
               grouped(survey_.names[bad].firstLine) + ", is not valid UTF-8: tagtree prints " +
               (verdict.paths == 0 ? "" : counted(verdict.paths, "path", "paths") + ", then ") +
               "the path that holds it up to its first bad byte, and the error right after it.";
      }
      default:
        return "";
    }
  }

  void writeSizes() {
    line();
    line("Sizes, counted as tagtree counts them:");
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
    std::vector<std::string> breaks;
    if (survey_.lines > kMaxLines) {
      breaks.push_back("More than " + grouped(kMaxLines) + " lines: line " +
                       grouped(kMaxLines + 1) + " is the " + grouped(kMaxLines + 1) + "st of " +
                       grouped(survey_.lines) + " lines.");
    }
    if (survey_.names.size() > kMaxTags) {
      breaks.push_back("More than " + grouped(kMaxTags) + " distinct tags: the " +
                       grouped(kMaxTags + 1) + "st, " + name(kMaxTags) +
                       ", first appears on line " + grouped(survey_.names[kMaxTags].firstLine) +
                       ", and there are " + grouped(survey_.names.size()) + " in all.");
    }
    if (survey_.overfullLineCount > 0) {
      std::vector<std::string> items;
      for (const OverfullLine& overfull : survey_.overfullLines) {
        items.push_back("line " + grouped(overfull.line) + " (" + grouped(overfull.tags) +
                        " tags)");
      }
      const std::uint64_t more = survey_.overfullLineCount - survey_.overfullLines.size();
      if (more > 0) items.push_back(counted(more, "more line", "more lines"));
      breaks.push_back("More than " + grouped(TagGroup::kCapacity) +
                       " tags in one line: " + joined(items) + ".");
    }
    for (const CrowdedParent& crowded : survey_.crowdedParents) {
      breaks.push_back("More than " + grouped(TagGroup::kCapacity) +
                       " children: " + name(crowded.slot) + " would be the parent of " +
                       grouped(crowded.children) + " tags.");
    }
    if (survey_.badName) {
      breaks.push_back("A name to print that is not valid UTF-8: " + name(*survey_.badName) +
                       ", first on line " + grouped(survey_.names[*survey_.badName].firstLine) +
                       ".");
    }
    if (breaks.empty()) return;
    line();
    line("Where the file breaks tagtree's limits:");
    for (const std::string& item : breaks) line("  " + item);
    if (breaks.size() > 1 && survey_.verdict.line != 0) {
      line("tagtree stops at the first of these it meets, on line " +
           grouped(survey_.verdict.line) + ".");
    }
    if (!survey_.hierarchyKnown) {
      line("Tags of more than " + grouped(TagGroup::kCapacity) +
           " children, and names tagtree cannot print, show once the file is within these.");
    }
  }

  void writeTags() {
    if (survey_.places.empty()) return;
    line();
    line("Tags, in order of first occurrence:");
    std::vector<std::string> shown, counts;
    std::size_t nameWidth = 0, countWidth = 0;
    for (std::uint32_t slot = 0; slot < survey_.places.size(); ++slot) {
      shown.push_back(name(slot));
      counts.push_back(grouped(survey_.names[slot].count));
      nameWidth = std::max(nameWidth, columns(shown.back()));
      countWidth = std::max(countWidth, counts.back().size());
    }
    nameWidth = std::min<std::size_t>(nameWidth, 24);
    for (std::uint32_t slot = 0; slot < survey_.places.size(); ++slot) {
      const std::size_t width = columns(shown[slot]);
      std::string row =
          "  " + shown[slot] + std::string(nameWidth > width ? nameWidth - width : 0, ' ');
      row += "  " + std::string(countWidth - counts[slot].size(), ' ') + counts[slot];
      row += survey_.names[slot].count == 1 ? " time   " : " times  ";
      line(row + place(slot));
    }
  }

  // Returns what the listing holds for the tag in `slot`, or why it holds nothing.
  std::string place(std::uint32_t slot) const {
    const TagPlace& place = survey_.places[slot];
    const std::string_view own = survey_.names[slot].name;
    if (place.printed) {
      if (!place.printedUnder) return shownPath(own);
      return shownPath(survey_.names[*place.printedUnder].name, own);
    }
    if (place.parents.size() != 1) return "left out: child of " + names(place.parents);
    const std::uint32_t parent = place.parents.front();
    const std::vector<std::uint32_t>& grandparents = survey_.places[parent].parents;
    const bool mutual =
        std::find(grandparents.begin(), grandparents.end(), slot) != grandparents.end();
    return "left out: child of " + name(parent) + ", which is a child of " + names(grandparents) +
           (mutual ? "; each is the other's child" : "");
  }

  // The columns a shown name takes: its characters, UTF-8 continuation bytes not counted.
  static std::size_t columns(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
  }

  void writeWarnings() {
    std::vector<std::string> warnings;
    if (survey_.byteOrderMark) {
      warnings.push_back(
          "The file starts with a UTF-8 byte-order mark, which becomes part of its first tag, " +
          name(0) + " (line 1). This removes it: sed -i '1s/^\\xEF\\xBB\\xBF//' " + fileWord_);
    }
    std::size_t groups = 0;
    for (const std::vector<std::uint32_t>& alike : survey_.alikeNames) {
      if (++groups > kLinesNamed) break;
      std::vector<std::string> items;
      for (std::size_t i = 0; i < alike.size() && i < kLinesNamed; ++i) {
        items.push_back(name(alike[i]) + " (line " + grouped(survey_.names[alike[i]].firstLine) +
                        ")");
      }
      if (alike.size() > kLinesNamed)
        items.push_back(grouped(alike.size() - kLinesNamed) + " more");
      warnings.push_back(
          "Tags alike but for spaces at their ends or letter case, which tagtree "
          "tells apart: " +
          joined(items) + ".");
    }
    if (survey_.alikeNames.size() > kLinesNamed) {
      warnings.push_back(
          counted(survey_.alikeNames.size() - kLinesNamed, "more group", "more groups") +
          " of tags alike but for spaces at their ends or letter case.");
    }
    const auto separator = [&](const LineList& lines, std::string_view what) {
      if (lines.total() == 0) return;
      warnings.push_back(
          "No \"; \" in " + linesText(lines) + ", which " +
          (lines.total() == 1 ? "holds " : "hold ") + std::string(what) +
          ": tagtree takes such a line as one tag, since only \"; \" separates tags.");
    };
    separator(survey_.commaLines, "\", \"");
    separator(survey_.semicolonLines, "\";\" with no space after it");
    separator(survey_.tabLines, "a tab");
    if (survey_.nulLines.total() > 0) {
      warnings.push_back("NUL bytes in the tags of " + linesText(survey_.nulLines) +
                         ": the file is likely UTF-16. This converts it to UTF-8: iconv -f " +
                         utf16Guess() + " -t UTF-8 " + fileWord_ + " > utf8.in && mv utf8.in " +
                         fileWord_);
    }
    if (survey_.badNameCount > 0) {
      std::vector<std::string> items;
      for (const std::uint32_t slot : survey_.badNames) {
        items.push_back(name(slot) + " (line " + grouped(survey_.names[slot].firstLine) + ")");
      }
      const std::uint64_t more = survey_.badNameCount - survey_.badNames.size();
      if (more > 0) items.push_back(grouped(more) + " more");
      std::string warning =
          "Tags that are not valid UTF-8, which tagtree cannot print: " + joined(items) + ".";
      if (survey_.nulLines.total() == 0) {
        warning += " If the file is Latin-1, this converts it to UTF-8: iconv -f LATIN1 -t UTF-8 " +
                   fileWord_ + " > utf8.in && mv utf8.in " + fileWord_;
      }
      warnings.push_back(warning);
    }
    if (warnings.empty()) return;
    line();
    line("Warnings:");
    for (const std::string& warning : warnings) line("  " + warning);
  }

  // The encoding iconv is to read the file in: UTF-16 where it starts with a UTF-16
  // byte-order mark, else the byte order its first character suggests.
  std::string utf16Guess() const {
    const std::string_view start = survey_.start;
    if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) return "UTF-16";
    return start.size() >= 2 && start[0] == '\0' && start[1] != '\0' ? "UTF-16BE" : "UTF-16LE";
  }

  const Survey& survey_;
  std::string fileName_;  // as the report names it
  std::string fileWord_;  // as a command names it
  std::string text_;
};

}  // namespace

std::string report(const Survey& survey, std::string_view fileName) {
  return Writer(survey, fileName).write();
}

}  // namespace tagtree::explain
