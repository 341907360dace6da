// The findings, in the order and words all three forms share. Messages are written as
// compilers write theirs: lower case, no final period, so that a line number or a list
// of lines may follow them.
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

// The other tags alike that a finding of one names.
constexpr std::size_t kNamedAlike = 10;

class Finder {
 public:
  Finder(const Survey& survey, std::string_view fileName) : survey_(survey), file_(fileName) {}

  std::vector<Finding> find() {
    verdict();
    limits();
    warnings();
    return std::move(findings_);
  }

 private:
  std::string tag(std::uint32_t slot) const { return quotedName(survey_.names.name(slot)); }
  std::uint64_t firstLine(std::uint32_t slot) const { return survey_.facts[slot].firstLine; }

  Finding& add(Severity severity, std::string kind, std::string message) {
    return findings_.emplace_back(
        Finding{severity, std::move(kind), std::move(message), {}, {}, {}});
  }
  Finding& addAt(std::uint64_t line, Severity severity, std::string kind, std::string message) {
    Finding& finding = add(severity, std::move(kind), std::move(message));
    finding.lines.add(line);
    return finding;
  }

  void verdict() {
    const Verdict& verdict = survey_.verdict;
    if (verdict.outcome == Outcome::kSucceeds) {
      add(Severity::kNote, "verdict",
          "tagtree succeeds: it prints " + (verdict.paths == 0
                                                ? std::string("nothing")
                                                : counted(verdict.paths, "path", "paths")));
      return;
    }
    std::uint64_t line = verdict.line;
    if (verdict.outcome == Outcome::kBadName && survey_.badName) line = firstLine(*survey_.badName);
    if (verdict.outcome == Outcome::kTooManyChildren && !survey_.crowdedParents.empty())
      line = firstLine(survey_.crowdedParents.front().slot);
    const std::string message = "tagtree fails" + std::string(line != 0 ? " here" : "") +
                                ", printing \"" + kErrorLinePrefix + verdict.message + "\"";
    if (line == 0) {
      add(Severity::kError, "verdict", message);
    } else {
      addAt(line, Severity::kError, "verdict", message);
    }
  }

  void limits() {
    const std::uint64_t distinct = survey_.names.size();
    if (survey_.lines > kMaxLines) {
      addAt(kMaxLines + 1, Severity::kError, "too-many-lines",
            grouped(survey_.lines) + " lines, more than " + grouped(kMaxLines) + ": this is the " +
                grouped(kMaxLines + 1) + "st");
      if (survey_.blankLines.total() > 0) {
        Finding& blank = add(Severity::kNote, "blank-lines",
                             "blank line: without the " +
                                 counted(survey_.blankLines.total(), "blank line", "blank lines") +
                                 ", " + counted(survey_.fixes.linesWithoutBlank, "line", "lines") +
                                 ", " + against(survey_.fixes.linesWithoutBlank, kMaxLines));
        blank.lines = survey_.blankLines;
        blank.command = deleteBlankLinesCommand(file_);
      }
    }
    if (distinct > kMaxTags) {
      addAt(firstLine(kMaxTags), Severity::kError, "too-many-tags",
            grouped(distinct) + " distinct tags, more than " + grouped(kMaxTags) + ": the " +
                grouped(kMaxTags + 1) + "st, " + tag(kMaxTags) + ", first appears here")
          .tags = {kMaxTags};
      tagFixes();
    }
    for (const OverfullLine& overfull : survey_.overfullLines) {
      std::string message = counted(overfull.tags, "tag", "tags") + " in one line, more than " +
                            grouped(TagGroup::kCapacity);
      if (overfull.repeats > 0) {
        const std::uint64_t distinctInLine = overfull.tags - overfull.repeats;
        message += "; " + grouped(overfull.repeats) +
                   " of them repeat a tag before them in the line, " + "without them " +
                   grouped(distinctInLine) + ", " + against(distinctInLine, TagGroup::kCapacity);
      }
      addAt(overfull.line, Severity::kError, "overfull-line", message);
    }
    for (const CrowdedParent& crowded : survey_.crowdedParents) {
      addAt(firstLine(crowded.slot), Severity::kError, "too-many-children",
            tag(crowded.slot) + " would be the parent of " + grouped(crowded.children) +
                " tags, more than " + grouped(TagGroup::kCapacity))
          .tags = {crowded.slot};
    }
    if (survey_.badName) invalidName(*survey_.badName, Severity::kError);
  }

  // Fixes for a file of more than 100 distinct tags.
  void tagFixes() {
    const Fixes& fixes = survey_.fixes;
    if (fixes.tagsWithoutByteOrderMark && *fixes.tagsWithoutByteOrderMark <= kMaxTags) {
      Finding& fix =
          addAt(1, Severity::kNote, "fix-byte-order-mark",
                "without the byte-order mark, " +
                    counted(*fixes.tagsWithoutByteOrderMark, "distinct tag", "distinct tags") +
                    ", within the limit");
      fix.command = removeByteOrderMarkCommand(file_);
    }
    if (!survey_.alikeNames.empty() && fixes.tagsMergingAlike <= kMaxTags) {
      add(Severity::kNote, "fix-alike-tags",
          "with each group of tags alike made one tag, " +
              counted(fixes.tagsMergingAlike, "distinct tag", "distinct tags") +
              ", within the limit");
    }
    if (fixes.tagsOnce == 0) return;
    const std::uint64_t left = survey_.names.size() - fixes.tagsOnce;
    add(Severity::kNote, "once-only-tags",
        grouped(fixes.tagsOnce) + " of the " + grouped(survey_.names.size()) +
            " distinct tags occur once; without them, " +
            counted(left, "distinct tag", "distinct tags") + ", " + against(left, kMaxTags));
    for (std::uint32_t slot = 0; slot < survey_.facts.size(); ++slot) {
      if (survey_.facts[slot].count != 1) continue;
      addAt(firstLine(slot), Severity::kNote, "once-only-tag", tag(slot) + " occurs once").tags = {
          slot};
    }
  }

  void invalidName(std::uint32_t slot, Severity severity) {
    Finding& finding = addAt(firstLine(slot), severity, "invalid-utf-8",
                             tag(slot) + " is not valid UTF-8, which tagtree cannot print");
    finding.tags = {slot};
    if (survey_.nulLines.total() == 0) finding.command = convertToUtf8Command("LATIN1", file_);
  }

  void warnings() {
    if (survey_.nulLines.total() > 0) {
      Finding& utf16 = add(Severity::kWarning, "nul-bytes",
                           "NUL bytes in the tags: the file is likely UTF-16, read by tagtree as "
                           "UTF-8");
      utf16.lines = survey_.nulLines;
      utf16.command = convertToUtf8Command(utf16Guess(survey_), file_);
    }
    if (survey_.byteOrderMark) {
      Finding& mark = addAt(1, Severity::kWarning, "byte-order-mark",
                            "the file starts with a UTF-8 byte-order mark, which becomes part of "
                            "its first tag, " +
                                tag(0));
      mark.tags = {0};
      mark.command = removeByteOrderMarkCommand(file_);
    }
    for (const std::vector<std::uint32_t>& alike : survey_.alikeNames) {
      // Names alike may be long and alike at both ends: the first of a group are shown with
      // where they differ. Each finding names at most kNamedAlike of the others, so that a
      // group of thousands, every spelling of one name in upper and lower case, costs
      // output in proportion to its size.
      std::vector<std::string_view> names;
      for (std::size_t i = 0; i < alike.size() && i <= kNamedAlike; ++i)
        names.push_back(survey_.names.name(alike[i]));
      const std::vector<std::string> shown = shownNamesApart(names, Quotes::kAlways);
      const auto shownAt = [&](std::size_t i) {
        return i < shown.size() ? shown[i] : tag(alike[i]);
      };
      for (std::size_t i = 0; i < alike.size(); ++i) {
        std::vector<std::string> others;
        for (std::size_t k = 0; k < alike.size() && others.size() < kNamedAlike; ++k) {
          if (k != i) others.push_back(shownAt(k) + " (line " + grouped(firstLine(alike[k])) + ")");
        }
        if (alike.size() - 1 > others.size()) {
          others.push_back(grouped(alike.size() - 1 - others.size()) + " more");
        }
        addAt(firstLine(alike[i]), Severity::kWarning, "alike-tags",
              shownAt(i) + " differs from " + joined(others) +
                  " only in letter case, compatible forms or end spaces, which tagtree tells apart")
            .tags = alike;
      }
    }
    // In a UTF-16 file no line holds "; ", and its separators show as ";" and NULs: the
    // NUL warning says why.
    if (survey_.nulLines.total() == 0) {
      separators(survey_.commaLines, "comma-separated", "\", \"");
      separators(survey_.semicolonLines, "semicolon-separated", "\";\" with no space after it");
      separators(survey_.tabLines, "tab-separated", "a tab");
    }
    for (const std::uint32_t slot : survey_.badNames) {
      if (slot != survey_.badName) invalidName(slot, Severity::kWarning);
    }
  }

  void separators(const LineList& lines, std::string kind, std::string_view what) {
    if (lines.total() == 0) return;
    add(Severity::kWarning, std::move(kind),
        "no \"; \" in the line, which holds " + std::string(what) +
            ": tagtree takes the whole line as one tag")
        .lines = lines;
  }

  const Survey& survey_;
  std::string_view file_;  // as the command line named it
  std::vector<Finding> findings_;
};

}  // namespace

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

std::vector<Finding> findingsOf(const Survey& survey, std::string_view fileName) {
  return Finder(survey, fileName).find();
}

std::string removeByteOrderMarkCommand(std::string_view fileName) {
  return "sed -i '1s/^\\xEF\\xBB\\xBF//' " + shellFileWord(fileName);
}

std::string convertToUtf8Command(std::string_view encoding, std::string_view fileName) {
  // The converted copy goes beside the file, under a name of its own.
  const std::string file = shellFileWord(fileName);
  const std::string copy =
      shellFileWord(std::string(fileName == "-" ? "FILE" : fileName) + ".utf8");
  return "iconv -f " + std::string(encoding) + " -t UTF-8 " + file + " > " + copy + " && mv " +
         copy + " " + file;
}

std::string deleteBlankLinesCommand(std::string_view fileName) {
  // A line without tags holds only empty words and words of one space: " ", then "; "
  // and " " over and over. A CR before the line's LF is allowed for CR LF files.
  return "sed -i -E '/^ ?(;  ?)*\\r?$/d' " + shellFileWord(fileName);
}

std::string utf16Guess(const Survey& survey) {
  const std::string_view start = survey.start;
  if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) return "UTF-16";
  return start.size() >= 2 && start[0] == '\0' && start[1] != '\0' ? "UTF-16BE" : "UTF-16LE";
}

}  // namespace tagtree::explain
