// A second, deliberately plain model of tagtree's rules, kept for testing only. It
// follows the rules word for word: linear scans of fixed slot arrays, names compared
// byte by byte, shared lines counted by scanning every line group, and UTF-8 checked one
// character at a time while writing. It shares no code with the tool, so the two can
// be compared on any input: a fast path that is subtly wrong shows up as a difference.
#ifndef TAGTREE_TESTS_REFERENCE_LITERAL_MODEL_H_
#define TAGTREE_TESTS_REFERENCE_LITERAL_MODEL_H_

#include <string>
#include <string_view>

namespace tagtree::reference {

struct ModelResult {
  std::string output;  // everything written to standard output, error line included
  int status = 0;      // exit status: 0 on success, 1 on failure
};

// Returns what the tool writes and its exit status when files.in holds `input`.
ModelResult runLiteralModel(std::string_view input);

// Returns what the tool would write, and its exit status, when files.in holds `input`,
// if it had no capacities: no limit of tags, lines, tags in a line or children. Every
// ordered pair of tags is tried, as the tool tries them, so it suits files of a few
// thousand lines and hundreds of tags.
ModelResult runUnboundedModel(std::string_view input);

}  // namespace tagtree::reference

#endif  // TAGTREE_TESTS_REFERENCE_LITERAL_MODEL_H_
