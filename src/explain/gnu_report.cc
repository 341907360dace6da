// The GNU form: a line for each place of each finding, as compilers write theirs, so that
// an editor's list of errors or a CI annotation jumps to each. A run of consecutive lines
// is one place, and a finding's command, or why it has none, stands once, on its first
// line. What --fix did comes first, and what it would do last, as notes on the whole file.
#include <string>

#include "explain/findings.h"
#include "explain/report.h"
#include "explain/shown_name.h"
#include "explain/unicode_text.h"

namespace tagtree::explain {
namespace {

// Returns the file's name as GNU lines give it: as it is, so that an editor opens it, but
// where it holds a character a terminal does not show as it is (a line end, which would
// break the line, a control or format character, white space other than a space), with
// each byte of such characters as \xHH and each backslash doubled, as C would write it.
std::string gnuFileName(std::string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  const auto shown = [&](std::size_t at, std::size_t& length) {
    const char32_t code = decodeAt(name.substr(at), length);
    return code == kNotUtf8 || isShownAsItIs(code);
  };
  bool plain = true;
  for (std::size_t at = 0, length = 0; at < name.size() && plain; at += length)
    plain = shown(at, length);
  if (plain) return std::string(name);
  std::string text;
  for (std::size_t at = 0, length = 0; at < name.size(); at += length) {
    if (shown(at, length)) {
      for (const char c : name.substr(at, length)) text += c == '\\' ? "\\\\" : std::string(1, c);
      continue;
    }
    for (const char c : name.substr(at, length)) {
      const auto byte = static_cast<unsigned char>(c);
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 0xF];
    }
  }
  return text;
}

class GnuWriter {
 public:
  GnuWriter(const Report& report, OutputSink& out)
      : report_(report),
        out_(out),
        file_(report.standardInput() ? "<stdin>" : gnuFileName(report.fileName)) {}

  void write() {
    if (report_.applied) {
      if (report_.applied->empty()) note("--fix changed nothing");
      for (const Applied& applied : *report_.applied) note("fixed: " + appliedText(applied));
    }
    for (const Finding& finding : report_.findings) {
      first_ = true;
      switch (finding.kind) {
        case Kind::kBlankLines:
        case Kind::kNulBytes:
        case Kind::kCrLineEnds:
        case Kind::kCommaSeparated:
        case Kind::kSemicolonSeparated:
        case Kind::kTabSeparated:
          forEachRun(report_, finding, [&](std::uint64_t first, std::uint64_t last) {
            const LineList::Run run{first, last};
            entry(finding, first, messageOf(report_, finding, &run, first_));
          });
          break;
        case Kind::kOnceOnlyTags:
          entry(finding, 0, messageOf(report_, finding));
          for (const std::uint32_t slot : finding.many)
            entry(finding, line(slot), tagsMessageOf(report_, finding, {&slot, 1}, false));
          break;
        case Kind::kInvalidUtf8:
          for (const std::uint32_t slot : finding.many)
            entry(finding, line(slot), tagsMessageOf(report_, finding, {&slot, 1}, first_));
          break;
        case Kind::kAlikeTags:
        case Kind::kSlashInName:
          // A line for each run of consecutive lines its tags first appear on, so that a
          // group costs a short line a run, not a line a tag.
          forEachTagRun(
              report_, finding.many,
              [&](std::span<const std::uint32_t> tags, std::uint64_t first, std::uint64_t) {
                entry(finding, first, tagsMessageOf(report_, finding, tags, first_));
              });
          break;
        default:
          entry(finding, finding.line, messageOf(report_, finding));
          break;
      }
    }
    if (report_.plan) {
      const Plan& plan = *report_.plan;
      note(planText(plan) + (plan.shownCommand.empty()
                                 ? "; --fix cannot replace the file: " + report_.unreplaceable
                                 : "; to fix: " + plan.shownCommand));
    }
  }

 private:
  std::uint64_t line(std::uint32_t slot) const { return report_.survey.facts[slot].firstLine; }

  // Writes "FILE:LINE: SEVERITY: TEXT", without ":LINE" for line 0.
  void write(std::uint64_t line, Severity severity, const std::string& text) {
    out_.write(file_);
    if (line != 0) {
      out_.write(":");
      out_.write(std::to_string(line));
    }
    out_.write(": ");
    out_.write(severityName(severity));
    out_.write(": ");
    out_.write(text);
    out_.write("\n");
  }

  // A note on the whole file.
  void note(const std::string& text) { write(0, Severity::kNote, text); }

  // An entry of `finding`, with its command after its first.
  void entry(const Finding& finding, std::uint64_t line, const std::string& text) {
    const bool first = first_;
    first_ = false;
    if (!first || finding.fix == Fix::kNone) return write(line, finding.severity, text);
    write(line, finding.severity,
          text + (finding.shownCommand.empty() ? whyNoCommand(report_, finding)
                                               : "; to fix: " + finding.shownCommand));
  }

  const Report& report_;
  OutputSink& out_;
  std::string file_;
  bool first_ = true;  // the next entry is its finding's first
};

}  // namespace

void writeGnuReport(const Report& report, OutputSink& out) { GnuWriter(report, out).write(); }

}  // namespace tagtree::explain
