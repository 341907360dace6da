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

constexpr std::string_view kAlike =
    " only in letter case, compatible forms or end spaces, which tagtree tells apart";

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
          alike(finding.many);
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

  // A group of alike tags: its first member with the others, each other, briefly, with the
  // first, so that a large group costs a short line a member.
  void alike(std::span<const std::uint32_t> members) {
    // The first and those named with it are shown where they differ from each other.
    const std::span<const std::uint32_t> named =
        members.first(std::min(members.size(), kListed + 1));
    const std::vector<std::string> shown = report_.shown.apart(named, Quotes::kAlways);
    std::vector<std::string> others;
    for (std::size_t i = 1; i < shown.size(); ++i)
      others.push_back(shown[i] + " (line " + grouped(line(named[i])) + ")");
    if (members.size() > named.size())
      others.push_back(grouped(members.size() - named.size()) + " more");
    entry(line(members[0]), shown[0] + " differs from " + joined(others) + std::string(kAlike));
    const std::string first = shown[0] + " (line " + grouped(line(members[0])) + ")";
    for (const std::uint32_t slot : members.subspan(1)) {
      const std::uint32_t pair[] = {slot, members[0]};
      entry(line(slot), report_.shown.apart(pair, Quotes::kAlways)[0] + " is alike to " + first +
                            ", which tagtree tells apart");
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
