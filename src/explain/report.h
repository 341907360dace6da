// The report of tagtree-explain: a survey put into words for people.
#ifndef TAGTREE_EXPLAIN_REPORT_H_
#define TAGTREE_EXPLAIN_REPORT_H_

#include <string>
#include <string_view>

#include "explain/survey.h"

namespace tagtree::explain {

// Returns the report on `survey` of the input called `fileName` ("-" for standard
// input): tagtree's verdict first, then the input's sizes against tagtree's limits,
// where it breaks them, every tag's place when tagtree succeeds, and warnings about what
// is seldom meant.
std::string report(const Survey& survey, std::string_view fileName);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_REPORT_H_
