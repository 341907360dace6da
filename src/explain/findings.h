// What a survey finds, in the terms all three forms of tagtree-explain's report share:
// tagtree's verdict, every limit the file breaks, what in it is seldom meant, and the
// one change that would bring a limit within bounds, each with its severity, the lines it
// is on, and the command that fixes it where one does. The text form lays them out for
// people; the GNU form writes one line a finding and line; the JSON form carries them as
// they are.
#ifndef TAGTREE_EXPLAIN_FINDINGS_H_
#define TAGTREE_EXPLAIN_FINDINGS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "explain/survey.h"

namespace tagtree::explain {

enum class Severity { kError, kWarning, kNote };

// Returns "error", "warning" or "note".
std::string_view severityName(Severity severity);

struct Finding {
  Severity severity;
  std::string kind;                 // a stable name, such as "too-many-lines", for scripts
  std::string message;              // one sentence for a person, without its line numbers
  LineList lines;                   // where it is: none for the file as a whole
  std::vector<std::uint32_t> tags;  // the slots of the tags it is about, if any
  std::string command;              // a shell command that fixes it, or ""
};

// Returns the findings of `survey` of the file called `fileName` ("-" for standard
// input), in the order a person should read them: tagtree's verdict, the limits broken
// and their fixes, then the warnings, the cause of others before them.
std::vector<Finding> findingsOf(const Survey& survey, std::string_view fileName);

// Returns `n` and the noun for it: "1 time", "2 times", "1,024 times".
std::string counted(std::uint64_t n, std::string_view one, std::string_view many);

// Returns `items` joined as a person would: "a", "a and b", "a, b and c".
std::string joined(const std::vector<std::string>& items);

// Returns "within the limit" where `n` is at most `limit`, else "still over the limit of
// LIMIT".
std::string against(std::uint64_t n, std::uint64_t limit);

// The commands the findings suggest, for the file `fileName` as the command line named it
// ("-" for standard input, which they call FILE), quoted for a shell and never taken for
// an option: removing a byte-order mark, converting
// the file from `encoding` to UTF-8 in place, and deleting its lines without tags.
std::string removeByteOrderMarkCommand(std::string_view fileName);
std::string convertToUtf8Command(std::string_view encoding, std::string_view fileName);
std::string deleteBlankLinesCommand(std::string_view fileName);

// The encoding iconv is to read a file with NUL bytes in: UTF-16 where it starts with a
// UTF-16 byte-order mark, else the byte order its first character suggests.
std::string utf16Guess(const Survey& survey);

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_FINDINGS_H_
