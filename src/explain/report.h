// The three forms of tagtree-explain's report, each a writer over one survey: text for
// people, one line a finding as GNU tools write them for editors, and JSON for scripts.
#ifndef TAGTREE_EXPLAIN_REPORT_H_
#define TAGTREE_EXPLAIN_REPORT_H_

#include <string_view>

#include "base/output_sink.h"
#include "explain/survey.h"

namespace tagtree::explain {

// Writes to `out` the report for people on `survey` of the input called `fileName` ("-"
// for standard input): tagtree's verdict first, then the input's sizes against tagtree's
// limits, where it breaks them and what would bring it within them, every tag's place and
// why when tagtree succeeds, and warnings about what is seldom meant. Long lists show
// their first entries and say how many more there are. Throws what `out` throws.
void writeTextReport(const Survey& survey, std::string_view fileName, OutputSink& out);

// Writes to `out` one line a finding and line, "FILE:LINE: SEVERITY: MESSAGE", or
// "FILE: SEVERITY: MESSAGE" for a finding about the whole file, with every line of every
// finding: tagtree's verdict first. Standard input is named "<stdin>". Throws what `out`
// throws.
void writeGnuReport(const Survey& survey, std::string_view fileName, OutputSink& out);

// The version of the JSON report's layout, which changes when a member changes meaning
// or goes away.
inline constexpr int kJsonReportVersion = 1;

// Writes to `out` the survey as one JSON document (see tagtree-explain(1) for its
// members), every name as valid UTF-8 that reads back to one name. Throws what `out`
// throws, and std::bad_alloc.
void writeJsonReport(const Survey& survey, std::string_view fileName, OutputSink& out);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_REPORT_H_
