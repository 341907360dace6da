// tagtree-explain's frame: arguments as GNU tools take them, the file or standard input
// read through the same InputFile as tagtree's, the report, the tree, --fix and --diff,
// and every failure turned into one line on standard error and its status.
#include "explain/explain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "base/fd_sink.h"
#include "base/input_file.h"
#include "explain/fix.h"
#include "explain/replace_file.h"
#include "explain/report.h"
#include "explain/survey.h"
#include "explain/tree_output.h"
#include "explain/unified_diff.h"

namespace tagtree::explain {
namespace {

constexpr std::string_view kProgram = "tagtree-explain";

constexpr std::string_view kHelp =
    "Usage: tagtree-explain [OPTION]... [FILE]\n"
    "Explain what tagtree does with FILE, files.in by default, or standard input\n"
    "when FILE is -: whether it succeeds, or the exact error it prints; the file's\n"
    "sizes against tagtree's limits, every place it breaks them, and what one change\n"
    "would bring it within them; why each tag is printed where it is, or left out;\n"
    "warnings about what is seldom meant; and everything --fix would mend.\n"
    "\n"
    "      --format=FORM  write the report as FORM: 'text' for people (the\n"
    "                     default), 'gnu' for editors and CI, a FILE:LINE: line a\n"
    "                     finding, or 'json' for scripts, one JSON document;\n"
    "                     with --tree, 'text' (the default) or 'dot', a Graphviz\n"
    "                     graph of the tree\n"
    "      --fix[=NAME[,NAME]...]\n"
    "                     first apply to FILE every certain fix, or those NAMEd:\n"
    "                     'remove-byte-order-mark', 'from-utf-16' (a file decoded\n"
    "                     as UTF-16 whole), 'cr-to-lf' (lines that end in a CR\n"
    "                     alone) and 'delete-blank-lines' (in a file of too many\n"
    "                     lines); then report on the result\n"
    "      --from=ENCODING\n"
    "                     with --fix or --diff, first convert FILE from ENCODING,\n"
    "                     any that iconv knows, such as windows-1252 or latin1;\n"
    "                     refused where a byte does not decode, the file holds\n"
    "                     UTF-8 too, or a name would hold a control character\n"
    "      --diff         write, as a unified diff, the change --fix would make,\n"
    "                     and change nothing\n"
    "      --tree         write, instead of the report, the paths tagtree would\n"
    "                     print without its limits of 100 tags, 50 lines, 50 tags\n"
    "                     in a line and 50 children, as tagtree prints them; on a\n"
    "                     file within the limits, exactly what tagtree prints\n"
    "  -q, --quiet, --silent\n"
    "                     write nothing; the exit status alone tells\n"
    "      --help         display this help and exit\n"
    "      --version      output version information and exit\n"
    "\n"
    "--fix reaches its end in one run, and loses no tag: it never merges alike\n"
    "tags nor drops one. It replaces FILE whole, keeping its mode, owner, links and\n"
    "attributes, or leaves it byte for byte as it was.\n"
    "\n"
    "Exit status: 0 if tagtree succeeds on the file, 1 if it fails, 2 if\n"
    "tagtree-explain cannot read the file or is used wrongly. So\n"
    "'tagtree-explain -q && tagtree' runs tagtree only where it succeeds.\n"
    "With --fix: tagtree's status on the fixed file; 2 also if FILE is standard\n"
    "input or cannot be fixed or replaced, which leaves it as it was; 3 if FILE\n"
    "was fixed but the report could not be written.\n"
    "With --diff: 0 if --fix would change nothing, 1 if it would, 2 if trouble.\n"
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

// Complains that `value` is no argument of the option `option`, and lists those that are.
int invalidArgument(std::string_view option, std::string_view value,
                    std::initializer_list<std::string_view> valid) {
  complain({"invalid argument '", value, "' for '--", option, "'"});
  std::string list = "Valid arguments are:\n";
  for (const std::string_view choice : valid) list.append("  - '").append(choice).append("'\n");
  list += "Try 'tagtree-explain --help' for more information.\n";
  writeFully(STDERR_FILENO, list.data(), list.size());
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
enum class Form { kText, kGnu, kJson, kDot };

// What the command line asks for.
struct Request {
  enum { kReport, kHelp, kVersion } what = kReport;
  Form form = Form::kText;
  bool formGiven = false;
  bool quiet = false;
  bool fix = false;
  bool diff = false;
  bool tree = false;  // the tree without tagtree's limits, not the report
  FixRequest fixes;
  bool fromGiven = false;
  std::string_view file = "files.in";
};

// The names of the fixes --fix=NAME takes: the certain ones.
constexpr std::string_view kFixNames[] = {"remove-byte-order-mark", "from-utf-16", "cr-to-lf",
                                          "delete-blank-lines"};

// Returns the one of `choices` that `word` names, whole or abbreviated as long as it is
// unambiguous; "" when it names none, and sets `ambiguous` when it names several.
template <typename Choices>
std::string_view chosen(std::string_view word, const Choices& choices, bool* ambiguous = nullptr) {
  std::string_view found;
  for (const std::string_view choice : choices) {
    if (choice == word) return choice;
    if (!word.empty() && choice.starts_with(word)) {
      if (!found.empty()) {
        if (ambiguous != nullptr) *ambiguous = true;
        return "";
      }
      found = choice;
    }
  }
  return found;
}

// Sets the form named `value` of --format. Returns the exit status of a usage error, or
// nothing.
std::optional<int> setFormat(std::string_view value, Request& request) {
  constexpr std::string_view kForms[] = {"text", "gnu", "json", "dot"};
  const std::string_view form = chosen(value, kForms);
  // No two forms start alike, so a form no one names is the only wrong one.
  if (form.empty()) return invalidArgument("format", value, {"text", "gnu", "json", "dot"});
  request.form = form == "text"   ? Form::kText
                 : form == "gnu"  ? Form::kGnu
                 : form == "json" ? Form::kJson
                                  : Form::kDot;
  request.formGiven = form != "text";
  return std::nullopt;
}

// Sets the fixes named in `value` of --fix=NAME,NAME. Returns the exit status of a usage
// error, or nothing.
std::optional<int> setFixes(std::string_view value, Request& request) {
  for (std::size_t start = 0;;) {
    const std::size_t comma = value.find(',', start);
    const std::string_view name = value.substr(start, comma - start);
    bool ambiguous = false;
    const std::string_view known = chosen(name, kFixNames, &ambiguous);
    if (known.empty()) {
      return invalidArgument(
          "fix", name, {"remove-byte-order-mark", "from-utf-16", "cr-to-lf", "delete-blank-lines"});
    }
    for (const Fix fix : kFixOrder) {
      if (fixName(fix) == known) request.fixes.only.push_back(fix);
    }
    if (comma == std::string_view::npos) return std::nullopt;
    start = comma + 1;
  }
}

// Reads the command line into `request`. Returns the exit status of a usage error, or
// nothing when the command line is good.
std::optional<int> parse(int argc, const char* const* argv, Request& request) {
  constexpr std::string_view kOptions[] = {"diff",  "fix",    "format", "from",   "help",
                                           "quiet", "silent", "tree",   "version"};
  bool fileGiven = false, optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (!optionsEnd && word == "--") {
      optionsEnd = true;
    } else if (!optionsEnd && word.starts_with("--")) {
      // An abbreviation will do, as in GNU tools, where it names one option only.
      const std::size_t equals = word.find('=');
      const std::string_view option =
          word.substr(2, equals == std::string_view::npos ? word.npos : equals - 2);
      bool ambiguous = false;
      const std::string_view known = chosen(option, kOptions, &ambiguous);
      if (ambiguous) {
        std::string possibilities;
        for (const std::string_view choice : kOptions) {
          if (choice.starts_with(option)) possibilities.append(" '--").append(choice).append("'");
        }
        return usageError(
            {"option '", word.substr(0, equals), "' is ambiguous; possibilities:", possibilities});
      }
      if (known.empty()) return usageError({"unrecognized option '", word, "'"});
      if (known == "format" || known == "from") {
        std::string_view value;
        if (equals != std::string_view::npos) {
          value = word.substr(equals + 1);
        } else if (i + 1 < argc) {
          value = argv[++i];
        } else {
          return usageError({"option '--", known, "' requires an argument"});
        }
        if (known == "format") {
          if (const std::optional<int> status = setFormat(value, request)) return status;
        } else {
          if (value.empty()) return invalidArgument("from", value, {"windows-1252", "latin1"});
          request.fixes.from = value;
          request.fromGiven = true;
        }
        continue;
      }
      if (known == "fix") {
        request.fix = true;
        if (equals != std::string_view::npos) {
          if (const std::optional<int> status = setFixes(word.substr(equals + 1), request))
            return status;
        }
        continue;
      }
      if (equals != std::string_view::npos) {
        return usageError({"option '--", known, "' doesn't allow an argument"});
      }
      // The first of --help and --version is the one answered, as in GNU tools.
      if (known == "help" && request.what == Request::kReport) request.what = Request::kHelp;
      if (known == "version" && request.what == Request::kReport) request.what = Request::kVersion;
      if (known == "quiet" || known == "silent") request.quiet = true;
      if (known == "tree") request.tree = true;
      if (known == "diff") request.diff = true;
    } else if (!optionsEnd && word.size() > 1 && word[0] == '-') {
      for (const char letter : word.substr(1)) {
        if (letter != 'q')
          return usageError({"invalid option -- '", std::string_view(&letter, 1), "'"});
        request.quiet = true;
      }
    } else if (fileGiven) {
      return usageError({"extra operand '", word, "'"});
    } else {
      request.file = word;
      fileGiven = true;
    }
  }
  // The report has no graph, and the tree is paths or a graph, whether written or not.
  const std::string_view formName = request.form == Form::kGnu    ? "gnu"
                                    : request.form == Form::kJson ? "json"
                                                                  : "dot";
  if (request.tree) {
    if (request.fix) return usageError({"options '--tree' and '--fix' are incompatible"});
    if (request.diff) return usageError({"options '--tree' and '--diff' are incompatible"});
    if (request.fromGiven) return usageError({"options '--tree' and '--from' are incompatible"});
    if (request.form == Form::kGnu || request.form == Form::kJson) {
      return usageError({"options '--tree' and '--format=", formName, "' are incompatible"});
    }
  } else if (request.form == Form::kDot) {
    return usageError({"option '--format=dot' requires '--tree'"});
  }
  if (request.diff && request.formGiven) {
    return usageError({"options '--diff' and '--format=", formName, "' are incompatible"});
  }
  if (request.fromGiven && !request.fix && !request.diff) {
    return usageError({"option '--from' requires '--fix' or '--diff'"});
  }
  return std::nullopt;
}

// Writes `report` in the form asked for to standard output. Returns false, having
// complained, when it cannot.
bool writeReport(const Report& report, const Request& request) {
  if (request.quiet) return true;
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
        break;
    }
    out.flush();
    return true;
  } catch (const OutputFailure& failure) {
    complain({"standard output: ", std::strerror(failure.errnum())});
    return false;
  }
}

// Reads the whole of the file at `path` into `bytes`. Returns 0, or the errno of the step
// that failed.
int readWhole(const char* path, std::string& bytes) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat status;
  int failure = ::fstat(fd, &status) != 0 ? errno : 0;
  if (failure == 0 && S_ISDIR(status.st_mode)) failure = EISDIR;
  char buffer[64 * 1024];
  while (failure == 0) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      bytes.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      failure = errno;
    }
  }
  if (::close(fd) != 0 && failure == 0) failure = errno;
  return failure;
}

// A ByteSource that passes on the bytes of another and keeps a copy of them.
class CopyingSource : public ByteSource {
 public:
  CopyingSource(ByteSource& source, std::string& copy) : source_(source), copy_(copy) {}
  std::size_t read(char* into, std::size_t capacity) override {
    const std::size_t size = source_.read(into, capacity);
    copy_.append(into, size);
    return size;
  }

 private:
  ByteSource& source_;
  std::string& copy_;
};

// Returns the report on `surveyed`, the bytes `bytes` after --fix applied `applied` to
// them, with what --fix would still do to them.
Report fullReport(const Survey& surveyed, const Request& request, std::string_view bytes,
                  std::optional<std::vector<Applied>> applied) {
  Report report = reportOf(surveyed, request.file, std::move(applied));
  if (!request.quiet && offersFix(report)) {
    if (std::optional<Plan> plan = planFixes(bytes, report)) setPlan(report, std::move(*plan));
  }
  return report;
}

// --fix: reads the file whole, applies every fix asked for, replaces the file where that
// changed it, and reports on the result. Returns the exit status.
int runFix(const Request& request) {
  if (request.file == "-") {
    complain({"--fix cannot replace standard input: name a file"});
    return kExitTrouble;
  }
  const std::string path(request.file);
  ReplaceableFile file;
  if (const std::optional<FileRefusal> refused = file.read(path.c_str())) {
    complain({describe(*refused, path)});
    return kExitTrouble;
  }
  const std::string& bytes = file.bytes();
  std::string fixed = bytes;
  FixOutcome outcome = fixAll(fixed, request.fixes);
  if (outcome.refused) {
    complain({"cannot convert ", path, " from ", outcome.refused->encoding, ": ",
              refusalText(*outcome.refused), "; it is left as it was"});
    return kExitTrouble;
  }
  const bool changed = fixed != bytes;
  if (changed) {
    if (const std::optional<FileRefusal> refused = file.replace(fixed)) {
      complain({describe(*refused, path)});
      if (!refused->replaced) return kExitTrouble;
    }
  }
  TextSource source(fixed);
  const Survey surveyed = survey(source);
  const Report report = fullReport(surveyed, request, fixed, std::move(outcome.applied));
  if (!writeReport(report, request)) {
    if (changed) complain({path, " was fixed all the same"});
    return changed ? kExitFixedUnreported : kExitTrouble;
  }
  return surveyed.verdict.status == 0 ? kExitTagtreeSucceeds : kExitTagtreeFails;
}

// --diff: writes the change --fix would make as a unified diff. Returns the exit status.
int runDiff(const Request& request) {
  std::string bytes;
  if (request.file == "-") {
    InputFile input(STDIN_FILENO);
    CopyingSource copying(input, bytes);
    char buffer[64 * 1024];
    while (copying.read(buffer, sizeof buffer) > 0) {
    }
  } else if (const int failure = readWhole(std::string(request.file).c_str(), bytes);
             failure != 0) {
    complain({request.file, ": ", std::strerror(failure)});
    return kExitTrouble;
  }
  std::string fixed = bytes;
  const FixOutcome outcome = fixAll(fixed, request.fixes);
  if (outcome.refused) {
    complain({"cannot convert ", request.file, " from ", outcome.refused->encoding, ": ",
              refusalText(*outcome.refused)});
    return kExitTrouble;
  }
  if (request.quiet) return fixed != bytes ? 1 : 0;
  FdSink out(STDOUT_FILENO);
  try {
    const bool changed = writeUnifiedDiff(bytes, fixed, request.file, out);
    out.flush();
    return changed ? 1 : 0;
  } catch (const OutputFailure& failure) {
    complain({"standard output: ", std::strerror(failure.errnum())});
    return kExitTrouble;
  }
}

// Writes the tree without tagtree's limits of `input`, as `request` asks, to standard
// output. Returns the exit status: tagtree's without its limits, or trouble, having
// complained, when standard output cannot be written.
int writeTree(ByteSource& input, const Request& request) {
  FdSink out(STDOUT_FILENO);
  try {
    const TreeForm written = request.quiet                ? TreeForm::kNothing
                             : request.form == Form::kDot ? TreeForm::kDot
                                                          : TreeForm::kPaths;
    const int status = runTree(input, written, out);
    out.flush();
    return status == 0 ? kExitTagtreeSucceeds : kExitTagtreeFails;
  } catch (const OutputFailure& failure) {
    complain({"standard output: ", std::strerror(failure.errnum())});
    return kExitTrouble;
  }
}

// Returns why --fix could not replace the file at `path`, in a phrase, or "" where it could
// or the input is standard input, which the report names as such.
std::string unreplaceable(const std::string& path, bool standardInput) {
  if (standardInput) return "";
  const std::optional<FileRefusal> refused = refusalBeforeReading(path.c_str());
  if (!refused) return "";
  std::string why = refused->reason.empty() ? std::strerror(refused->errnum) : refused->reason;
  // What --fix says of it, less what the report says itself.
  constexpr std::string_view kLeft = ": --fix leaves it as it is",
                             kCannot = ", which --fix cannot replace";
  for (const std::string_view tail : {kLeft, kCannot}) {
    if (why.ends_with(tail)) why.erase(why.size() - tail.size());
  }
  return why;
}

// The report on FILE, or standard input. Returns the exit status.
int runReport(const Request& request) {
  const bool standardInput = request.file == "-";
  const std::string path(request.file);
  // The plan of --fix needs the bytes again: a regular file is read again, where it
  // offers a fix, and the bytes of any other input are kept as they pass.
  struct stat status;
  const bool regular =
      !standardInput && ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
  std::optional<InputFile> input;
  if (standardInput) {
    input.emplace(STDIN_FILENO);
  } else {
    input.emplace(path.c_str());
  }
  if (request.tree) return writeTree(*input, request);
  std::string bytes;
  CopyingSource copying(*input, bytes);
  const bool keep = !regular && !request.quiet;
  const Survey surveyed = survey(keep ? static_cast<ByteSource&>(copying) : *input);
  Report report =
      reportOf(surveyed, request.file, std::nullopt, unreplaceable(path, standardInput));
  if (!request.quiet && offersFix(report)) {
    if (regular && readWhole(path.c_str(), bytes) != 0) bytes.clear();
    if (!regular || !bytes.empty()) {
      if (std::optional<Plan> plan = planFixes(bytes, report)) setPlan(report, std::move(*plan));
    }
  }
  if (!writeReport(report, request)) return kExitTrouble;
  return surveyed.verdict.status == 0 ? kExitTagtreeSucceeds : kExitTagtreeFails;
}

}  // namespace

int runExplain(int argc, const char* const* argv) {
  Request request;
  if (const std::optional<int> status = parse(argc, argv, request)) return *status;
  if (request.what == Request::kHelp) return writeOut(kHelp) ? 0 : kExitTrouble;
  if (request.what == Request::kVersion) return writeOut(kVersion) ? 0 : kExitTrouble;

  const std::string shownFile = request.file == "-" ? "standard input" : std::string(request.file);
  try {
    if (request.diff) return runDiff(request);
    if (request.fix) return runFix(request);
    return runReport(request);
  } catch (const ReadFailure& failure) {
    complain({shownFile, ": ", std::strerror(failure.errnum())});
  } catch (const std::bad_alloc&) {
    complain({"out of memory"});
  }
  return kExitTrouble;
}

}  // namespace tagtree::explain
