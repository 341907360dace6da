// The three forms of tagtree-explain's report, each a writer over one model of it (see
// findings.h): text for people, one line a place as GNU tools write them for editors, and
// JSON for scripts.
#ifndef TAGTREE_EXPLAIN_REPORT_H_
#define TAGTREE_EXPLAIN_REPORT_H_

#include "base/output_sink.h"
#include "explain/findings.h"

namespace tagtree::explain {

// Writes to `out` the report for people: tagtree's verdict first, then the input's sizes
// against tagtree's limits, where it breaks them and what would bring it within them,
// every tag's place and why when tagtree succeeds, and warnings about what is seldom
// meant, with the commands that fix it. Long lists show their first kListed entries and
// say how many more there are. Throws what `out` throws.
void writeTextReport(const Report& report, OutputSink& out);

// Writes to `out` a line for each place of each finding, "FILE:LINE: SEVERITY: MESSAGE",
// or "FILE: SEVERITY: MESSAGE" for a finding about the whole file: tagtree's verdict
// first. A run of consecutive lines is one place. Standard input is named "<stdin>".
// Throws what `out` throws.
void writeGnuReport(const Report& report, OutputSink& out);

// The version of the JSON report's layout, which changes when a member changes meaning
// or goes away.
inline constexpr int kJsonReportVersion = 3;

// Writes to `out` the report as one JSON document (see tagtree-explain(1) for its
// members), every name that is not UTF-8 as its bytes in hexadecimal. Throws what `out`
// throws, and std::bad_alloc.
void writeJsonReport(const Report& report, OutputSink& out);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_REPORT_H_
