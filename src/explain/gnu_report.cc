// The GNU form: every finding on every one of its lines, as compilers write theirs, so
// that an editor's list of errors or a CI annotation jumps to each.
#include <string>

#include "explain/findings.h"
#include "explain/report.h"

namespace tagtree::explain {

void writeGnuReport(const Survey& survey, std::string_view fileName, OutputSink& out) {
  const std::string file = fileName == "-" ? "<stdin>" : std::string(fileName);
  for (const Finding& finding : findingsOf(survey, fileName)) {
    std::string rest = ": ";
    rest += severityName(finding.severity);
    rest += ": " + finding.message;
    if (!finding.command.empty()) rest += "; to fix: " + finding.command;
    rest += '\n';
    if (finding.lines.total() == 0) {
      out.write(file);
      out.write(rest);
      continue;
    }
    finding.lines.forEach([&](std::uint64_t line) {
      out.write(file);
      out.write(":");
      out.write(std::to_string(line));
      out.write(rest);
    });
  }
}

}  // namespace tagtree::explain
