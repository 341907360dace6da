// tagtree-explain's frame: arguments as GNU tools take them, the file or standard input
// read through the same InputFile as tagtree's, and every failure turned into one line
// on standard error and status 2.
#include "explain/explain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "base/fd_sink.h"
#include "base/input_file.h"
#include "explain/fix.h"
#include "explain/replace_file.h"
#include "explain/report.h"
#include "explain/survey.h"
#include "explain/tree_output.h"

namespace tagtree::explain {
namespace {

constexpr std::string_view kProgram = "tagtree-explain";

constexpr std::string_view kHelp =
    "Usage: tagtree-explain [OPTION]... [FILE]\n"
    "Explain what tagtree does with FILE, files.in by default, or standard input\n"
    "when FILE is -: whether it succeeds, or the exact error it prints; the file's\n"
    "sizes against tagtree's limits, every place it breaks them, and what one change\n"
    "would bring it within them; why each tag is printed where it is, or left out;\n"
    "and warnings about what is seldom meant, with the commands that fix it.\n"
    "\n"
    "      --format=FORM  write the report as FORM: 'text' for people (the\n"
    "                     default), 'gnu' for editors and CI, a FILE:LINE: line a\n"
    "                     finding, or 'json' for scripts, one JSON document;\n"
    "                     with --tree, 'text' (the default) or 'dot', a Graphviz\n"
    "                     graph of the tree\n"
    "      --fix          first apply to FILE every fix that loses no tag: remove\n"
    "                     a byte-order mark, convert UTF-16, Latin-1 or\n"
    "                     Windows-1252 to UTF-8, end with LF the lines that end\n"
    "                     in a CR alone, delete the blank lines of a file of too\n"
    "                     many; then report on it\n"
    "      --tree         write, instead of the report, the paths tagtree would\n"
    "                     print without its limits of 100 tags, 50 lines, 50 tags\n"
    "                     in a line and 50 children, as tagtree prints them; on a\n"
    "                     file within the limits, exactly what tagtree prints\n"
    "  -q, --quiet, --silent\n"
    "                     write nothing; the exit status alone tells\n"
    "      --help         display this help and exit\n"
    "      --version      output version information and exit\n"
    "\n"
    "Exit status: 0 if tagtree succeeds on the file, 1 if it fails, 2 if\n"
    "tagtree-explain cannot read the file or is used wrongly. So\n"
    "'tagtree-explain -q && tagtree' runs tagtree only where it succeeds.\n"
    "With --fix, 2 also if FILE is standard input or cannot be replaced; it is\n"
    "then left as it was.\n"
    "With --tree: 0, or 1 if a path holds a name that is not UTF-8, as tagtree\n"
    "would without its limits.\n"
    "\n"
    "To draw the tree with Graphviz:\n"
    "  tagtree-explain --tree --format=dot FILE | dot -Tsvg > tree.svg\n"
    "\n"
    "Full documentation: man tagtree-explain\n";

constexpr std::string_view kVersion =
    "tagtree-explain (tagtree) " TAGTREE_VERSION
    "\n"
    "License MIT: <https://opensource.org/licenses/MIT>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// Writes "tagtree-explain: " and `parts` as one line on standard error.
void complain(std::initializer_list<std::string_view> parts) {
  std::string line(kProgram);
  line += ": ";
  for (const std::string_view part : parts) line += part;
  line += '\n';
  writeFully(STDERR_FILENO, line.data(), line.size());
}

// Complains of a wrong command line, and says where help is.
int usageError(std::initializer_list<std::string_view> parts) {
  complain(parts);
  const std::string hint = "Try 'tagtree-explain --help' for more information.\n";
  writeFully(STDERR_FILENO, hint.data(), hint.size());
  return kExitTrouble;
}

// Writes `text` to standard output. Returns false, having complained, when it cannot.
bool writeOut(std::string_view text) {
  FdSink out(STDOUT_FILENO);
  try {
    out.write(text);
    out.flush();
    return true;
  } catch (const OutputFailure& failure) {
    complain({"standard output: ", std::strerror(failure.errnum())});
    return false;
  }
}

// The forms of the report, and of the tree.
enum class Form { kText, kGnu, kJson, kDot, kQuiet };

// What the command line asks for.
struct Request {
  enum { kReport, kHelp, kVersion } what = kReport;
  Form form = Form::kText;
  bool fix = false;
  bool tree = false;  // the tree without tagtree's limits, not the report
  std::string_view file = "files.in";
};

// Returns the one of `choices` that `word` names, whole or abbreviated as long as it is
// unambiguous, or "" when it names none or several.
std::string_view chosen(std::string_view word, std::initializer_list<std::string_view> choices) {
  std::string_view found;
  for (const std::string_view choice : choices) {
    if (choice == word) return choice;
    if (!word.empty() && choice.starts_with(word)) {
      if (!found.empty()) return "";
      found = choice;
    }
  }
  return found;
}

// Sets the form named `value` of --format. Returns the exit status of a usage error, or
// nothing.
std::optional<int> setFormat(std::string_view value, Request& request) {
  const std::string_view form = chosen(value, {"text", "gnu", "json", "dot"});
  if (form.empty()) {
    // No two forms start alike, so a form no one names is the only wrong one.
    complain({"invalid argument '", value, "' for '--format'"});
    const std::string valid =
        "Valid arguments are:\n  - 'text'\n  - 'gnu'\n  - 'json'\n  - 'dot'\n"
        "Try 'tagtree-explain --help' for more information.\n";
    writeFully(STDERR_FILENO, valid.data(), valid.size());
    return kExitTrouble;
  }
  request.form = form == "text"   ? Form::kText
                 : form == "gnu"  ? Form::kGnu
                 : form == "json" ? Form::kJson
                                  : Form::kDot;
  return std::nullopt;
}

// Reads the command line into `request`. Returns the exit status of a usage error, or
// nothing when the command line is good.
std::optional<int> parse(int argc, const char* const* argv, Request& request) {
  bool fileGiven = false, optionsEnd = false, quiet = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (!optionsEnd && word == "--") {
      optionsEnd = true;
    } else if (!optionsEnd && word.starts_with("--")) {
      // An abbreviation will do, as in GNU tools, where it names one option only.
      const std::size_t equals = word.find('=');
      const std::string_view option =
          word.substr(2, equals == std::string_view::npos ? word.npos : equals - 2);
      const std::string_view known =
          chosen(option, {"fix", "format", "help", "quiet", "silent", "tree", "version"});
      if (known.empty()) return usageError({"unrecognized option '", word, "'"});
      if (known == "format") {
        std::string_view value;
        if (equals != std::string_view::npos) {
          value = word.substr(equals + 1);
        } else if (i + 1 < argc) {
          value = argv[++i];
        } else {
          return usageError({"option '--format' requires an argument"});
        }
        if (const std::optional<int> status = setFormat(value, request)) return status;
        continue;
      }
      if (equals != std::string_view::npos) {
        return usageError({"option '--", known, "' doesn't allow an argument"});
      }
      // The first of --help and --version is the one answered, as in GNU tools.
      if (known == "help" && request.what == Request::kReport) request.what = Request::kHelp;
      if (known == "version" && request.what == Request::kReport) request.what = Request::kVersion;
      if (known == "quiet" || known == "silent") quiet = true;
      if (known == "fix") request.fix = true;
      if (known == "tree") request.tree = true;
    } else if (!optionsEnd && word.size() > 1 && word[0] == '-') {
      for (const char letter : word.substr(1)) {
        if (letter != 'q')
          return usageError({"invalid option -- '", std::string_view(&letter, 1), "'"});
        quiet = true;
      }
    } else if (fileGiven) {
      return usageError({"extra operand '", word, "'"});
    } else {
      request.file = word;
      fileGiven = true;
    }
  }
  // The report has no graph, and the tree is paths or a graph, whether written or not.
  if (request.form == Form::kDot && !request.tree) {
    return usageError({"option '--format=dot' requires '--tree'"});
  }
  if (request.tree && request.fix) {
    return usageError({"options '--tree' and '--fix' are incompatible"});
  }
  if (request.tree && (request.form == Form::kGnu || request.form == Form::kJson)) {
    return usageError({"options '--tree' and '--format=",
                       request.form == Form::kGnu ? "gnu" : "json", "' are incompatible"});
  }
  if (quiet) request.form = Form::kQuiet;
  return std::nullopt;
}

// Writes the report on `surveyed`, after what --fix did to it, in the form asked for to
// standard output. Returns false, having complained, when it cannot.
bool writeReport(const Survey& surveyed, const Request& request,
                 std::optional<std::vector<Applied>> applied = std::nullopt) {
  if (request.form == Form::kQuiet) return true;
  const Report report = reportOf(surveyed, request.file, std::move(applied));
  FdSink out(STDOUT_FILENO);
  try {
    switch (request.form) {
      case Form::kText:
        writeTextReport(report, out);
        break;
      case Form::kGnu:
        writeGnuReport(report, out);
        break;
      case Form::kJson:
        writeJsonReport(report, out);
        break;
      case Form::kDot:  // only with --tree
      case Form::kQuiet:
        break;
    }
    out.flush();
    return true;
  } catch (const OutputFailure& failure) {
    complain({"standard output: ", std::strerror(failure.errnum())});
    return false;
  }
}

// --fix: reads the file whole, applies every fix its report offers, round after round,
// replaces the file where that changed it, and reports on the result. Returns the exit
// status.
int runFix(const Request& request) {
  if (request.file == "-") {
    complain({"--fix cannot replace standard input: name a file"});
    return kExitTrouble;
  }
  const std::string path(request.file);
  ReplaceableFile file;
  if (const std::optional<Refusal> refused = file.read(path.c_str())) {
    complain({describe(*refused, path)});
    return kExitTrouble;
  }
  std::string fixed = file.bytes();
  std::vector<Applied> applied = fixAll(fixed);
  if (fixed != file.bytes()) {
    if (const std::optional<Refusal> refused = file.replace(fixed)) {
      complain({describe(*refused, path)});
      return kExitTrouble;
    }
  }
  TextSource source(fixed);
  const Survey surveyed = survey(source);
  if (!writeReport(surveyed, request, std::move(applied))) return kExitTrouble;
  return surveyed.verdict.status == 0 ? kExitTagtreeSucceeds : kExitTagtreeFails;
}

// Writes the tree without tagtree's limits of `input`, in `form` (text, dot or quiet), to
// standard output. Returns the exit status: tagtree's without its limits, or trouble,
// having complained, when standard output cannot be written.
int writeTree(ByteSource& input, Form form) {
  FdSink out(STDOUT_FILENO);
  try {
    const TreeForm written = form == Form::kText  ? TreeForm::kPaths
                             : form == Form::kDot ? TreeForm::kDot
                                                  : TreeForm::kNothing;
    const int status = runTree(input, written, out);
    out.flush();
    return status == 0 ? kExitTagtreeSucceeds : kExitTagtreeFails;
  } catch (const OutputFailure& failure) {
    complain({"standard output: ", std::strerror(failure.errnum())});
    return kExitTrouble;
  }
}

}  // namespace

int runExplain(int argc, const char* const* argv) {
  Request request;
  if (const std::optional<int> status = parse(argc, argv, request)) return *status;
  if (request.what == Request::kHelp) return writeOut(kHelp) ? 0 : kExitTrouble;
  if (request.what == Request::kVersion) return writeOut(kVersion) ? 0 : kExitTrouble;

  const bool standardInput = request.file == "-";
  const std::string shownFile = standardInput ? "standard input" : std::string(request.file);
  try {
    if (request.fix) return runFix(request);
    std::optional<InputFile> input;
    if (standardInput) {
      input.emplace(STDIN_FILENO);
    } else {
      input.emplace(std::string(request.file).c_str());
    }
    if (request.tree) return writeTree(*input, request.form);
    const Survey surveyed = survey(*input);
    if (!writeReport(surveyed, request)) return kExitTrouble;
    return surveyed.verdict.status == 0 ? kExitTagtreeSucceeds : kExitTagtreeFails;
  } catch (const ReadFailure& failure) {
    complain({shownFile, ": ", std::strerror(failure.errnum())});
  } catch (const std::bad_alloc&) {
    complain({"out of memory"});
  }
  return kExitTrouble;
}

}  // namespace tagtree::explain
