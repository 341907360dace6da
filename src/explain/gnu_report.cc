// The GNU form: a line for each place of each finding, as compilers write theirs, so that
// an editor's list of errors or a CI annotation jumps to each. A run of consecutive lines
// is one place, and a finding's command, or why it has none, stands once, on its first
// line.
#include <string>

#include "explain/findings.h"
#include "explain/report.h"
#include "explain/shown_name.h"

namespace tagtree::explain {
namespace {

class GnuWriter {
 public:
  GnuWriter(const Report& report, OutputSink& out)
      : report_(report), out_(out), file_(report.standardInput() ? "<stdin>" : report.fileName) {}

  void write() {
    if (report_.applied) {
      // What --fix did comes first, as notes on the whole file.
      const Finding note;
      finding_ = &note;
      if (report_.applied->empty()) entry(0, "--fix changed nothing");
      for (const Applied& applied : *report_.applied) entry(0, "fixed: " + appliedText(applied));
    }
    for (const Finding& finding : report_.findings) {
      finding_ = &finding;
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
            entry(first, messageOf(report_, finding, &run, first_));
          });
          break;
        case Kind::kOnceOnlyTags:
          entry(0, messageOf(report_, finding));
          for (const std::uint32_t slot : finding.many)
            entry(line(slot), tag(slot) + " occurs once");
          break;
        case Kind::kInvalidUtf8:
          for (const std::uint32_t slot : finding.many) {
            entry(line(slot), tag(slot) + " is not valid UTF-8, which tagtree cannot print" +
                                  (first_ ? whyNoCommand(report_, finding) : ""));
          }
          break;
        case Kind::kAlikeTags:
          alike(finding);
          break;
        default:
          entry(finding.line, messageOf(report_, finding));
          break;
      }
    }
  }

 private:
  std::uint64_t line(std::uint32_t slot) const { return report_.survey.facts[slot].firstLine; }
  std::string tag(std::uint32_t slot) const { return report_.shown.quoted(slot); }

  // Writes "FILE:LINE: SEVERITY: TEXT", without ":LINE" for line 0, with the finding's
  // command after its first.
  void entry(std::uint64_t line, const std::string& text) {
    std::string rest = ": ";
    rest += severityName(finding_->severity);
    rest += ": " + text;
    if (first_ && finding_->fix != Fix::kNone) {
      rest += "; to fix: " + commandOf(finding_->fix, report_.fileName);
    }
    rest += '\n';
    first_ = false;
    out_.write(file_);
    if (line != 0) {
      out_.write(":");
      out_.write(std::to_string(line));
    }
    out_.write(rest);
  }

  // A group of alike tags: a line for each run of consecutive lines its members first
  // occur on, the first naming the group, each other naming its own members and the
  // group's first, so that a group costs a short line a run, not a line a member.
  void alike(const Finding& finding) {
    const std::span<const std::uint32_t> members = finding.many;
    bool first = true;
    std::string firstShown;
    for (std::size_t from = 0; from < members.size();) {
      std::size_t to = from + 1;  // the members of this run: [from, to)
      while (to < members.size() && line(members[to]) <= line(members[to - 1]) + 1) ++to;
      if (first) {
        entry(line(members[from]), messageOf(report_, finding));
        firstShown = tagsWithLines(report_, members.first(1), 1).front();
        first = false;
      } else {
        const std::vector<std::string> shown =
            tagsWithLines(report_, members.subspan(from, to - from), kListed);
        std::vector<std::string> items = shown;
        if (to - from > shown.size()) items.push_back(grouped(to - from - shown.size()) + " more");
        entry(line(members[from]), joined(items) + (to - from == 1 ? " is" : " are") +
                                       " alike to " + firstShown + ", which tagtree tells apart");
      }
      from = to;
    }
  }

  const Report& report_;
  OutputSink& out_;
  std::string file_;
  const Finding* finding_ = nullptr;
  bool first_ = true;  // the next entry is the finding's first
};

}  // namespace

void writeGnuReport(const Report& report, OutputSink& out) { GnuWriter(report, out).write(); }

}  // namespace tagtree::explain
