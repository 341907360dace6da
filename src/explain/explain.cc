// tagtree-explain's frame: arguments as GNU tools take them, the file or standard input
// read through the same InputFile as tagtree's, and every failure turned into one line
// on standard error and status 2.
#include "explain/explain.h"

#include <unistd.h>

#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "base/fd_sink.h"
#include "base/input_file.h"
#include "explain/report.h"
#include "explain/survey.h"

namespace tagtree::explain {
namespace {

constexpr std::string_view kProgram = "tagtree-explain";

constexpr std::string_view kHelp =
    "Usage: tagtree-explain [FILE]\n"
    "Explain what tagtree does with FILE, files.in by default, or standard input\n"
    "when FILE is -: whether it succeeds, or the exact error it prints; the file's\n"
    "sizes against tagtree's limits, and every place it breaks them; why each tag\n"
    "is printed where it is, or left out; and warnings about what is seldom meant.\n"
    "\n"
    "      --help     display this help and exit\n"
    "      --version  output version information and exit\n"
    "\n"
    "Exit status: 0 if tagtree succeeds on the file, 1 if it fails, 2 if\n"
    "tagtree-explain cannot read the file or is used wrongly. So\n"
    "'tagtree-explain >/dev/null && tagtree' runs tagtree only where it succeeds.\n"
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

// What the command line asks for.
struct Request {
  enum { kReport, kHelp, kVersion } what = kReport;
  std::string_view file = "files.in";
};

// Reads the command line into `request`. Returns the exit status of a usage error, or
// nothing when the command line is good.
std::optional<int> parse(int argc, const char* const* argv, Request& request) {
  bool fileGiven = false, optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (!optionsEnd && word == "--") {
      optionsEnd = true;
    } else if (!optionsEnd && word.starts_with("--")) {
      // An abbreviation will do, as in GNU tools; no two options start alike.
      const std::string_view option = word.substr(2, word.find('=') - 2);
      const std::string_view known = std::string_view("help").starts_with(option)      ? "help"
                                     : std::string_view("version").starts_with(option) ? "version"
                                                                                       : "";
      if (option.empty() || known.empty()) return usageError({"unrecognized option '", word, "'"});
      if (word.find('=') != std::string_view::npos) {
        return usageError({"option '--", known, "' doesn't allow an argument"});
      }
      request.what = known == "help" ? Request::kHelp : Request::kVersion;
    } else if (!optionsEnd && word.size() > 1 && word[0] == '-') {
      return usageError({"invalid option -- '", word.substr(1, 1), "'"});
    } else if (fileGiven) {
      return usageError({"extra operand '", word, "'"});
    } else {
      request.file = word;
      fileGiven = true;
    }
  }
  return std::nullopt;
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
    std::optional<InputFile> input;
    if (standardInput) {
      input.emplace(STDIN_FILENO);
    } else {
      input.emplace(std::string(request.file).c_str());
    }
    const Survey surveyed = survey(*input);
    if (!writeOut(report(surveyed, request.file))) return kExitTrouble;
    return surveyed.verdict.status == 0 ? kExitTagtreeSucceeds : kExitTagtreeFails;
  } catch (const ReadFailure& failure) {
    complain({shownFile, ": ", std::strerror(failure.errnum())});
  } catch (const std::bad_alloc&) {
    complain({"out of memory"});
  }
  return kExitTrouble;
}

}  // namespace tagtree::explain
