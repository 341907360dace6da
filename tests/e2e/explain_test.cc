// End-to-end tests of tagtree-explain: its command line and exit statuses, and the lines
// it names for every limit and warning on every line end. Its verdict on the bundled and
// documented examples is checked beside tagtree's where those are run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "messy_file.h"
#include "run_tagtree.h"
#include "tag_text.h"

namespace tagtree::e2e {
namespace {

using tag_text::numberedTags;
using tag_text::repeatedLines;

constexpr const char* kTryHelp = "Try 'tagtree-explain --help' for more information.\n";

RunOptions explain(std::vector<std::string> arguments = {}) {
  RunOptions options;
  options.program = Program::kExplain;
  options.arguments = std::move(arguments);
  return options;
}

TEST(ExplainCommandLine, ReadsOneFileAndSaysWhatWentWrong) {
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    std::string stdinBytes;
    std::string outStart;  // what standard output starts with
    std::string err;
    int status;
    bool wholeOut = false;  // outStart is all of standard output
  };
  const std::string badFormat =
      "tagtree-explain: invalid argument 'xml' for '--format'\nValid arguments are:\n  - 'text'\n"
      "  - 'gnu'\n  - 'json'\n  - 'dot'\n" +
      std::string(kTryHelp);
  const Case cases[] = {
      {"the GNU form",
       {"--format=gnu"},
       "",
       "files.in: note: tagtree succeeds: it prints 2 paths\n",
       "",
       0,
       true},
      {"the GNU form of standard input, a failure",
       {"--format", "gnu", "-"},
       std::string(51, '\n'),
       "<stdin>:51: error: tagtree fails here, printing \"Error: ArrayBoundsError corvane(56)\"\n",
       "",
       1},
      {"the JSON form, abbreviated", {"--fo=j", "bad.in"}, "", "{\n  \"version\": 3,\n", "", 1},
      {"--fix, with nothing to fix",
       {"--fix"},
       "",
       "--fix changed nothing in files.in.\n\n",
       "",
       0},
      {"--fix in the GNU form, with nothing to fix",
       {"--fix", "--format=gnu", "bad.in"},
       "",
       "bad.in: note: --fix changed nothing\nbad.in:51: error: tagtree fails here",
       "",
       1},
      {"--fix on a file of one byte, read whole",
       {"--fix", "--format=gnu", "one.in"},
       "",
       "one.in: note: --fix changed nothing\none.in: note: tagtree succeeds: it prints 1 path\n",
       "",
       0,
       true},
      {"--fix with --tree",
       {"--fix", "--tree"},
       "",
       "",
       std::string("tagtree-explain: options '--tree' and '--fix' are incompatible\n") + kTryHelp,
       2},
      {"--fix on standard input",
       {"--fix", "-"},
       "a\n",
       "",
       "tagtree-explain: --fix cannot replace standard input: name a file\n",
       2},
      {"--fix on a directory",
       {"--fix", "folder"},
       "",
       "",
       "tagtree-explain: folder: Is a directory\n",
       2},
      {"--fix on no file",
       {"--fix", "missing.in"},
       "",
       "",
       "tagtree-explain: missing.in: No such file or directory\n",
       2},
      {"--fix=NAME, abbreviated, with nothing to fix",
       {"--fix=cr,del", "--format=gnu"},
       "",
       "files.in: note: --fix changed nothing\n",
       "",
       0},
      {"--fix=NAME, only the fix named",
       {"--fix=remove-byte-order-mark", "--format=gnu", "cr.in"},
       "",
       "cr.in: note: --fix changed nothing\n",
       "",
       0},
      {"--fix with a name it does not know",
       {"--fix=crlf"},
       "",
       "",
       "tagtree-explain: invalid argument 'crlf' for '--fix'\nValid arguments are:\n"
       "  - 'remove-byte-order-mark'\n  - 'from-utf-16'\n  - 'cr-to-lf'\n"
       "  - 'delete-blank-lines'\n" +
           std::string(kTryHelp),
       2},
      {"--fix --from: the file converted",
       {"--fix", "--from", "latin1", "--format=gnu", "latin1.in"},
       "",
       "latin1.in: note: fixed: converted it from latin1 to UTF-8\nlatin1.in: note: tagtree "
       "succeeds",
       "",
       0},
      {"--fix --from: a byte that does not decode",
       {"--fix", "--from=windows-1252", "w.in"},
       "",
       "",
       "tagtree-explain: cannot convert w.in from windows-1252: byte 0x81 on line 2 (offset 27) "
       "does not decode; it is left as it was\n",
       2},
      {"--fix --from: an encoding iconv does not know",
       {"--fix", "--from=klingon", "latin1.in"},
       "",
       "",
       "tagtree-explain: cannot convert latin1.in from klingon: no encoding of that name is "
       "known; it is left as it was\n",
       2},
      {"--from without --fix",
       {"--from=latin1"},
       "",
       "",
       std::string("tagtree-explain: option '--from' requires '--fix' or '--diff'\n") + kTryHelp,
       2},
      {"--from with --tree",
       {"--tree", "--from=latin1"},
       "",
       "",
       std::string("tagtree-explain: options '--tree' and '--from' are incompatible\n") + kTryHelp,
       2},
      {"an option abbreviated to more than one",
       {"--f"},
       "",
       "",
       std::string("tagtree-explain: option '--f' is ambiguous; possibilities: '--fix' "
                   "'--format' '--from'\n") +
           kTryHelp,
       2},
      {"--diff of a file with nothing to fix", {"--diff"}, "", "", "", 0, true},
      {"--diff of a change", {"--diff", "cr.in"}, "", "--- cr.in\n+++ cr.in\n@@", "", 1},
      {"--diff of standard input", {"--diff", "-"}, "a\rb\r", "--- -\n+++ -\n@@", "", 1},
      {"--diff, quiet", {"-q", "--diff", "cr.in"}, "", "", "", 1, true},
      {"--diff --from that refuses",
       {"--diff", "--from=windows-1252", "w.in"},
       "",
       "",
       "tagtree-explain: cannot convert w.in from windows-1252: byte 0x81 on line 2 (offset 27) "
       "does not decode\n",
       2},
      {"--diff in the JSON form",
       {"--diff", "--format=json"},
       "",
       "",
       std::string("tagtree-explain: options '--diff' and '--format=json' are incompatible\n") +
           kTryHelp,
       2},
      {"quiet", {"-q"}, "", "", "", 0, true},
      {"quiet on a failing file", {"bad.in", "--quiet"}, "", "", "", 1, true},
      {"silent, after a form", {"--format=json", "--silent", "bad.in"}, "", "", "", 1, true},
      {"an unknown form", {"--format=xml"}, "", "", badFormat, 2},
      {"an empty form",
       {"--format="},
       "",
       "",
       "tagtree-explain: invalid argument '' for '--format'\nValid arguments are:\n  - 'text'\n"
       "  - 'gnu'\n  - 'json'\n  - 'dot'\n" +
           std::string(kTryHelp),
       2},
      {"a form missing",
       {"--format"},
       "",
       "",
       std::string("tagtree-explain: option '--format' requires an argument\n") + kTryHelp,
       2},
      {"an unknown letter among short options",
       {"-qx"},
       "",
       "",
       std::string("tagtree-explain: invalid option -- 'x'\n") + kTryHelp,
       2},
      {"files.in by default", {}, "", "tagtree succeeds on files.in: it prints 2 paths", "", 0},
      {"a file named", {"bad.in"}, "", "tagtree fails on bad.in, with exit status 1.", "", 1},
      {"standard input",
       {"-"},
       "a; b\n",
       "tagtree succeeds on this input, as its files.in: it prints nothing",
       "",
       0},
      {"a file named like an option, after --", {"--", "-x"}, "", "tagtree succeeds on -x:", "", 0},
      {"help", {"--help"}, "", "Usage: tagtree-explain [OPTION]... [FILE]\n", "", 0},
      {"help, abbreviated", {"--he"}, "", "Usage: tagtree-explain [OPTION]... [FILE]\n", "", 0},
      {"version", {"--version"}, "", "tagtree-explain (tagtree) ", "", 0},
      {"no such file",
       {"missing.in"},
       "",
       "",
       "tagtree-explain: missing.in: No such file or directory\n",
       2},
      {"a directory", {"folder"}, "", "", "tagtree-explain: folder: Is a directory\n", 2},
      {"an unknown option",
       {"--bogus"},
       "",
       "",
       std::string("tagtree-explain: unrecognized option '--bogus'\n") + kTryHelp,
       2},
      {"an unknown short option",
       {"-x"},
       "",
       "",
       std::string("tagtree-explain: invalid option -- 'x'\n") + kTryHelp,
       2},
      {"an option with an argument",
       {"--help=all"},
       "",
       "",
       std::string("tagtree-explain: option '--help' doesn't allow an argument\n") + kTryHelp,
       2},
      {"two files",
       {"files.in", "bad.in"},
       "",
       "",
       std::string("tagtree-explain: extra operand 'bad.in'\n") + kTryHelp,
       2},
      {"the tree", {"--tree"}, "", "/a\n/a/b\n", "", 0, true},
      {"the tree past the limits, abbreviated", {"bad.in", "--tr"}, "", "/a\n", "", 0, true},
      {"the tree of a name not UTF-8",
       {"--tree", "latin1.in"},
       "",
       "/ok\n/cafError: 4invalid UTF-8 sequence\n",
       "",
       1,
       true},
      {"the tree of standard input as a graph",
       {"--tree", "--format", "dot", "-"},
       "x; y\ny\n",
       "digraph tree {\n",
       "",
       0},
      {"the tree as a graph, with a name not UTF-8",
       {"--fo=d", "--tree", "latin1.in"},
       "",
       "digraph",
       "",
       1},
      {"the tree, quiet", {"-q", "--tree", "bad.in"}, "", "", "", 0, true},
      {"a graph without the tree",
       {"--format=dot"},
       "",
       "",
       std::string("tagtree-explain: option '--format=dot' requires '--tree'\n") + kTryHelp,
       2},
      {"the tree in the GNU form",
       {"--tree", "--format=gnu"},
       "",
       "",
       std::string("tagtree-explain: options '--tree' and '--format=gnu' are incompatible\n") +
           kTryHelp,
       2},
      {"the tree in JSON, even quiet",
       {"--format=json", "-q", "--tree"},
       "",
       "",
       std::string("tagtree-explain: options '--tree' and '--format=json' are incompatible\n") +
           kTryHelp,
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WorkDir dir;
    dir.write("files.in", "a; b\na\n");
    dir.write("bad.in", repeatedLines("a", 51));
    dir.write("-x", "");
    dir.write("one.in", "a");
    dir.write("latin1.in", "ok\ncaf\xE9\n");
    dir.write("cr.in", "a\rb\r");
    dir.write("w.in",
              "Desserts; \x93pie\x94\r\nMains; bad\x81"
              "byte\n");
    ASSERT_EQ(::mkdir((dir.path() + "/folder").c_str(), 0755), 0);
    RunOptions options = explain(c.arguments);
    options.stdinBytes = c.stdinBytes;
    const RunResult result = dir.run(options);
    EXPECT_EQ(c.wholeOut ? result.out : result.out.substr(0, c.outStart.size()), c.outStart);
    if (c.status == 2) {
      EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.status, c.status);
  }
}

TEST(ExplainReport, NamesTheLineOfEveryLimitAndWarningOnEveryLineEnd) {
  struct Case {
    const char* what;
    std::string text;  // with LF line ends
    int status;
    std::vector<std::string> said;            // each somewhere in the report
    std::vector<std::string> unsaid = {};     // each nowhere in it
    std::vector<std::string> arguments = {};  // the report's form, say
  };
  std::string spellings;  // twelve spellings of one tag, alike but for letter case
  for (unsigned upper = 0; upper < 12; ++upper) {
    std::string tag = "abcd";
    for (unsigned i = 0; i < tag.size(); ++i) {
      if ((upper >> i & 1) != 0) tag[i] = static_cast<char>(tag[i] - 'a' + 'A');
    }
    spellings += (upper == 0 ? "" : "; ") + tag;
  }
  std::string alikeGroups;  // twelve pairs of tags alike but for letter case
  for (int i = 0; i < 12; ++i)
    alikeGroups += "Tag" + std::to_string(i) + "; tag" + std::to_string(i) + "\n";
  const Case cases[] = {
      {"60 lines",
       repeatedLines("a", 60),
       1,
       {"\n    Error: ArrayBoundsError corvane(56)\n",
        "60 lines, more than 50: line 51 is one too many."}},
      {"a line of 53 tags",
       "a\nb\n" + numberedTags(0, 53) + "\nc\n",
       1,
       {"\n    Error: ArrayBoundsError corvane(180)\n",
        "More than 50 tags in one line: line 3 (53 tags).",
        "It stops at the end of line 3, which holds more than 50 tags"}},
      {"a 101st tag",
       numberedTags(0, 50) + "\n" + numberedTags(50, 50) + "\nt100; x\n",
       1,
       {"\n    Error: ArrayBoundsError corvane(41)\n",
        "the 101st, \"t100\", first appears on line 3",
        "102 occur once: \"t0\" (line 1), \"t1\" (line 1), ",
        "\"t9\" (line 1) and 92 more; without them, 0 distinct tags, within the limit."},
       {"byte-order mark"}},
      {"a byte-order mark that makes a 101st tag, and three tags alike",
       "\xEF\xBB\xBFt0\n" + numberedTags(0, 50) + "\n" + numberedTags(50, 47) +
           "; Travel; travel; TRAVEL\n",
       1,
       {"\n    Without the byte-order mark (see Warnings): 100 distinct tags, within the limit.\n",
        "\n    With each group of alike tags (see Warnings) made one: 99 distinct tags, within the "
        "limit.\n",
        "\n    \"Travel\" (line 3), \"travel\" (line 3) and \"TRAVEL\" (line 3)\n"}},
      {"51 lines, one blank",
       repeatedLines("a", 49) + " ; \na\n",
       1,
       {"51 lines, more than 50: line 51 is one too many.\n    1 is blank, line 50; without them, "
        "50 lines, within the limit."}},
      {"a byte-order mark",
       "\xEF\xBB\xBFsea; sky\nsea\n",
       0,
       {"byte-order mark, which becomes part of its first tag, \"\\xEF\\xBB\\xBFsea\" (line 1)"}},
      {"a Latin-1 name",
       "ok\ncaf\xE9\n",
       1,
       {"\n    Error: 4invalid UTF-8 sequence\n",
        "the path of \"caf\\xE9\" (line 2) up to its first byte that is not UTF-8",
        "not valid UTF-8, which tagtree cannot print: \"caf\\xE9\" (line 2)"}},
      {"tags alike beyond ASCII, and long ones shown where they differ",
       "\xC3\x89t\xC3\xA9; \xC3\xA9t\xC3\xA9\ntravel\xC2\xA0\ntravel\n" + std::string(60, 'u') +
           "/Item/" + std::string(60, 'v') + "\n" + std::string(60, 'u') + "/item/" +
           std::string(60, 'v') + "\n",
       0,
       {"\n    \"\xC3\x89t\xC3\xA9\" (line 1) and \"\xC3\xA9t\xC3\xA9\" (line 1)\n",
        "\n    \"travel\\xC2\\xA0\" (line 2) and \"travel\" (line 3)\n", "/Item/", "/item/"}},
      {"the GNU form: every name that is not UTF-8, and a large group of alike tags",
       "caf\xE9\ncr\xE8me\n" + spellings + "\n",
       1,
       {"files.in:1: warning: \"caf\\xE9\" is not valid UTF-8, which tagtree cannot print; the "
        "file is in an 8-bit code page: as Windows-1252, the likeliest, \"caf\\xE9\" reads "
        "\"caf\xC3\xA9\", and ",
        " read the file too; to fix: tagtree-explain --fix --from=windows-1252 files.in\n"
        "files.in:2: warning: \"cr\\xE8me\" is not valid UTF-8, which tagtree cannot print\n",
        "\nfiles.in:3: warning: \"abcd\" (line 3), \"Abcd\" (line 3), \"aBcd\" (line 3), ",
        "\"AbcD\" (line 3) and 2 more differ only in letter case"},
       {"\"aBcD\" (line 3) and"},
       {"--format=gnu"}},
      {"the GNU form: a group of alike tags on lines apart, a line for each run",
       "travel\nx\ny\nz\nTravel\nTRAVEL\n",
       0,
       {"\nfiles.in:1: warning: \"travel\" (line 1), \"Travel\" (line 5) and \"TRAVEL\" (line 6) "
        "differ only",
        "\nfiles.in:5: warning: \"Travel\" (line 5) and \"TRAVEL\" (line 6) are alike to "
        "\"travel\" (line 1), which tagtree tells apart\n"},
       {"files.in:6:"},
       {"--format=gnu"}},
      {"the JSON form: a parent and what it takes",
       "news; politics\nnews\n",
       0,
       {"\"name\": \"news\",\n          \"bytes\": null,\n          \"count\": 2,\n"
        "          \"takes_up_to\": 2,"},
       {},
       {"--format=json"}},
      {"the JSON form: a name that is not UTF-8",
       "caf\xE9\\\n",
       1,
       {"\"name\": null,\n      \"bytes\": \"636166e95c\",\n      \"shown\": "
        "\"caf\\\\xE9\\\\\\\\\",\n"
        "      \"utf8\": false,"},
       {},
       {"--format=json"}},
      {"the JSON form: a name with quotes, backslashes and controls",
       "a\"b\\c\td\x01\x08\x0C\x7F\n",
       0,
       {"\"name\": \"a\\\"b\\\\c\\td\\u0001\\b\\f\x7F\","},
       {},
       {"--format=json"}},
      {"the JSON form: a verdict with no line, and lines as runs",
       "a\n\n\n\nb\n\nc\n",
       0,
       {"\"line\": null,", "\"kind\": \"verdict\",", "\"version\": 3,"},
       {"\"line\": 0"},
       {"--format=json"}},
      {"the GNU form: a run of blank lines is one entry, its command once",
       "a\n" + std::string(58, '\n') + "b\n\nc\n",
       1,
       {"\nfiles.in:2: note: lines 2-59 are blank (58 lines); without the 59 blank lines, 3 "
        "lines, within the limit; ",
        "\nfiles.in:61: note: line 61 is blank\n"},
       {},
       {"--format=gnu"}},
      {"names that look alike are shown apart in the tags' table",
       "caf\xC3\xA9\ncafe\xCC\x81\nK\n\xE2\x84\xAA\ntravel\ntravel\xE2\x80\x8A\n" +
           std::string(100, 'x') + "A" + std::string(100, 'y') + "\n" + std::string(100, 'x') +
           "B" + std::string(100, 'y') + "\n",
       0,
       {"\n  cafe\\xCC\\x81 ", "\n  \\xE2\\x84\\xAA ", "\n  travel\\xE2\\x80\\x8A ",
        "...xxxxxxxxAyyyyyyyy...", "...xxxxxxxxByyyyyyyy..."}},
      {"many groups of alike tags: ten named",
       alikeGroups,
       0,
       {"\n    \"Tag9\" (line 10) and \"tag9\" (line 10)\n    and 2 more groups\n"},
       {"\n    \"Tag10\" (line 11) and"}},
  };
  for (const Case& c : cases) {
    for (const char* lineEnd : {"\n", "\r", "\r\n"}) {
      SCOPED_TRACE(std::string(c.what) + (lineEnd[0] == '\n' ? ", LF"
                                          : lineEnd[1]       ? ", CR LF"
                                                             : ", CR"));
      std::string text;
      for (const char ch : c.text) text += ch == '\n' ? std::string(lineEnd) : std::string(1, ch);
      WorkDir dir;
      dir.write("files.in", text);
      const RunResult result = dir.run(explain(c.arguments));
      for (const std::string& said : c.said) {
        EXPECT_NE(result.out.find(said), std::string::npos) << said << "\nin:\n" << result.out;
      }
      for (const std::string& unsaid : c.unsaid) {
        EXPECT_EQ(result.out.find(unsaid), std::string::npos) << unsaid << "\nin:\n" << result.out;
      }
      EXPECT_EQ(result.status, c.status);
      EXPECT_EQ(result.err, "");
    }
  }
}

// Returns `text` (ASCII) in UTF-16 of the byte order asked, with its byte-order mark first
// where asked.
std::string utf16(const std::string& text, bool bigEndian, bool mark) {
  std::string bytes = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
  for (const char c : text) bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return bytes;
}

// Returns the report in JSON on the file `name` in `dir`.
nlohmann::json jsonReport(const WorkDir& dir, const std::string& name) {
  const RunResult result = dir.run(explain({"--format=json", "--", name}));
  EXPECT_EQ(result.err, "");
  return nlohmann::json::parse(result.out, nullptr, false);
}

TEST(ExplainReport, LaysOutEveryFindingAsTheFixturesShow) {
  // Files with flaws of many kinds, and what the text, GNU and JSON forms print for each,
  // word for word (tests/fixtures/reports/README.md says how to renew them).
  const std::filesystem::path fixtures = TAGTREE_SOURCE_DIR "/tests/fixtures/reports";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(fixtures)) {
    if (entry.path().extension() != ".in") continue;
    ++files;
    const std::string name = entry.path().filename();
    SCOPED_TRACE(name);
    WorkDir dir;
    dir.write(name, readFile(entry.path()));
    for (const auto& [form, extension] : {std::pair{"--format=text", ".text"},
                                          {"--format=gnu", ".gnu"},
                                          {"--format=json", ".json"}}) {
      const std::filesystem::path expected =
          std::filesystem::path(entry.path()).replace_extension(extension);
      if (!std::filesystem::exists(expected)) continue;  // JSON for the small ones only
      const RunResult result = dir.run(explain({form, name}));
      EXPECT_EQ(result.out, readFile(expected)) << form;
      EXPECT_EQ(result.status, 1);
    }
  }
  EXPECT_GE(files, 4);
}

// Runs the shell command `command` in `dir` with tagtree-explain on the PATH, as a person
// who installed it would, its output dropped. Returns its exit status.
int runCommand(const WorkDir& dir, const std::string& command) {
  const std::string bin = std::filesystem::path(TAGTREE_EXPLAIN_BINARY).parent_path();
  const int status = std::system(
      ("cd '" + dir.path() + "' && PATH='" + bin + "':\"$PATH\" " + command + " > /dev/null")
          .c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ExplainReport, CommandsRunAsWrittenOrSayWhyNot) {
  // A file name that is not UTF-8, with a space: every form writes it as a POSIX shell
  // reads it back. Standard input has no name to put in a command.
  const std::string latin1 = "caf\xE9; cr\xE8me\ncaf\xE9\n";
  const std::string converted = "caf\xC3\xA9; cr\xC3\xA8me\ncaf\xC3\xA9\n";
  const std::string name = "caf\xE9 list.in";
  WorkDir dir;
  dir.write(name, latin1);
  const nlohmann::json file = jsonReport(dir, name);
  ASSERT_FALSE(file.is_discarded());
  EXPECT_EQ(file.at("file"), nullptr);
  EXPECT_EQ(file.at("file_bytes"), "636166e9206c6973742e696e");
  const nlohmann::json& finding = file.at("findings").back();
  EXPECT_EQ(finding.at("kind"), "invalid-utf-8");
  EXPECT_EQ(finding.at("fix"), "from-encoding");
  EXPECT_EQ(finding.at("certain"), false);
  const std::string command =
      "tagtree-explain --fix --from=windows-1252 \"$(printf 'caf\\351 list.in')\"";
  EXPECT_EQ(finding.at("command"), command);
  EXPECT_EQ(file.at("plan").at("command"), command);
  EXPECT_EQ(runCommand(dir, command), 0);
  EXPECT_EQ(readFile(dir.path() + "/" + name), converted);

  dir.write(name, latin1);
  const RunResult text = dir.run(explain({"--", name}));
  const std::size_t at = text.out.find("      tagtree-explain --fix");
  ASSERT_NE(at, std::string::npos) << text.out;
  EXPECT_EQ(text.out.substr(at + 6, command.size() + 1), command + "\n");

  // A file --fix could not replace: no command, and why. A name with a line end: GNU
  // lines keep one line each.
  dir.write("ro.in", "a; b\rc\r");
  ASSERT_EQ(::chmod((dir.path() + "/ro.in").c_str(), 0444), 0);
  const nlohmann::json readOnly = jsonReport(dir, "ro.in");
  ASSERT_FALSE(readOnly.is_discarded());
  for (const nlohmann::json& offered : {readOnly.at("findings").back(), readOnly.at("plan")}) {
    EXPECT_TRUE(offered.at("command").is_null());
    EXPECT_EQ(offered.at("command_absent"), "not-replaceable");
  }
  dir.write("new\nline.in", "a; b\rc\r");
  const RunResult gnu = dir.run(explain({"--format=gnu", "new\nline.in"}));
  EXPECT_EQ(gnu.out.substr(0, gnu.out.find('\n')),
            "new\\x0Aline.in: note: tagtree succeeds: it prints 1 path");
  EXPECT_EQ(std::count(gnu.out.begin(), gnu.out.end(), '\n'), 3) << gnu.out;

  RunOptions fromStdin = explain({"--format=json", "-"});
  fromStdin.stdinBytes = latin1;
  const nlohmann::json input = nlohmann::json::parse(dir.run(fromStdin).out, nullptr, false);
  ASSERT_FALSE(input.is_discarded());
  for (const nlohmann::json& offered : {input.at("findings").back(), input.at("plan")}) {
    EXPECT_TRUE(offered.at("command").is_null());
    EXPECT_EQ(offered.at("command_absent"), "standard-input");
  }
}

TEST(ExplainFixes, EverySuggestedCommandFixesTheFile) {
  // Each file has a flaw whose finding offers a command. Run in the file's directory, on
  // a name that needs quoting or starts with '-', the command must leave the file as it
  // should be: without the flaw, and tagtree succeeding on it.
  const std::string fiftyFive = repeatedLines("news; sport", 49);
  struct Case {
    const char* what;
    std::string name;
    std::string bytes;
    std::string kind;   // of the finding whose command is run
    std::string fixed;  // the file's bytes after it
  };
  const Case cases[] = {
      {"a byte-order mark", "-marked.in", "\xEF\xBB\xBFsea; sky\nsea\n", "byte-order-mark",
       "sea; sky\nsea\n"},
      {"Latin-1", "it's latin1.in", "caf\xE9; cr\xE8me\ncaf\xE9\n", "invalid-utf-8",
       "caf\xC3\xA9; cr\xC3\xA8me\ncaf\xC3\xA9\n"},
      {"Windows-1252", "-w.in", "\x80uro; caf\xE9\n\x93q\x94\n", "invalid-utf-8",
       "\xE2\x82\xACuro; caf\xC3\xA9\n\xE2\x80\x9Cq\xE2\x80\x9D\n"},
      {"UTF-16LE with a mark", "-le mark.in", utf16("music; rock\nmusic\n", false, true), "utf-16",
       "music; rock\nmusic\n"},
      {"UTF-16BE with a mark", "be mark.in", utf16("music; rock\nmusic\n", true, true), "utf-16",
       "music; rock\nmusic\n"},
      {"UTF-16LE", "-le.in", utf16("music; rock\nmusic\n", false, false), "utf-16",
       "music; rock\nmusic\n"},
      {"UTF-16BE", "b$e.in", utf16("music; rock\nmusic\n", true, false), "utf-16",
       "music; rock\nmusic\n"},
      {"blank lines", "-blank (55).in", "\n \r\n" + fiftyFive + "; \n ;  ; \r\n\nnews\n",
       "blank-lines", fiftyFive + "news\n"},
      {"CR line ends, CR LF kept", "-cr.in", "a; b\rc\r\nd\r\re", "cr-line-ends",
       "a; b\nc\r\nd\n\ne"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WorkDir dir;
    dir.write(c.name, c.bytes);
    const nlohmann::json before = jsonReport(dir, c.name);
    ASSERT_FALSE(before.is_discarded());
    std::string command;
    for (const nlohmann::json& finding : before.at("findings")) {
      if (finding.at("kind") == c.kind && !finding.at("command").is_null()) {
        command = finding.at("command");
      }
    }
    ASSERT_NE(command, "") << "no command for " << c.kind;
    EXPECT_EQ(runCommand(dir, command), 0) << command;
    EXPECT_EQ(readFile(dir.path() + "/" + c.name), c.fixed) << command;
    const nlohmann::json after = jsonReport(dir, c.name);
    ASSERT_FALSE(after.is_discarded());
    EXPECT_EQ(after.at("verdict").at("status"), 0);
    for (const nlohmann::json& finding : after.at("findings")) {
      EXPECT_NE(finding.at("kind"), c.kind) << command;
    }
  }
}

// Returns what replacing the file at `path`, which `link` names, must keep of it besides
// its bytes: the type of `link`, and the mode, owner and extended attributes of `path`.
std::string keptOf(const std::string& link, const std::string& path) {
  struct stat status;
  if (::lstat(link.c_str(), &status) != 0) return "none";
  std::string kept = std::to_string(status.st_mode & S_IFMT);
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return kept;
  kept += " mode " + std::to_string(status.st_mode & 07777) + " owner " +
          std::to_string(status.st_uid) + ":" + std::to_string(status.st_gid);
  char names[4096], value[4096];
  const ssize_t size = ::listxattr(path.c_str(), names, sizeof names);
  std::set<std::string> attributes;  // in order of name
  for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
    const ssize_t got = ::getxattr(path.c_str(), names + at, value, sizeof value);
    attributes.insert(std::string(names + at) + "=" +
                      (got < 0 ? "?" : std::string(value, static_cast<std::size_t>(got))));
  }
  for (const std::string& attribute : attributes) kept += " " + attribute;
  return kept;
}

// Returns the names in `dir`, but for the runner's files.
std::set<std::string> namesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.insert(entry.path().filename().string());
  }
  names.erase(".stdout");  // the runner's
  names.erase(".stderr");
  names.erase(".tagtree");
  return names;
}

// Returns the names of the report in JSON on the file `name` in `dir` that are UTF-8 text:
// valid, without a NUL, the byte-order marks that start the input left off.
std::set<std::string> utf8Tags(const WorkDir& dir, const std::string& name) {
  std::set<std::string> tags;
  const nlohmann::json report = jsonReport(dir, name);
  if (report.is_discarded()) {
    ADD_FAILURE() << "no JSON document";
    return tags;
  }
  for (const nlohmann::json& tag : report.at("tags")) {
    if (tag.at("name").is_null()) continue;
    std::string text = tag.at("name");
    while (tag.at("tag") == 0 && text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    if (text.find('\0') == std::string::npos && text != "" && text != " ") tags.insert(text);
  }
  return tags;
}

TEST(ExplainFixes, OneWayToFixLosesNoTagOnMessyFiles) {
  // On each file: the one command the report's plan offers, as a script would run it;
  // --fix; --fix --from with the code page the file is in; and --diff of each, which
  // patch applies to give --fix's bytes. No tag the file holds as UTF-8 text may be lost
  // or changed, a conversion the file bears gives back the tags it was made of, one it
  // does not bear leaves every byte and says why, and a second --fix changes nothing. The
  // file is kept on disk in one of five ways, which --fix keeps or refuses: a plain file,
  // one of mode 600, a link to another, one with an extended attribute, one of two hard
  // links.
  if (std::system("command -v patch > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "patch is not installed (Debian: apt-get install patch)";
  }
  messy::MessyFileGenerator generator(20261212);
  int planned = 0, fixed = 0, converted = 0, refused = 0;
  for (int round = 0; round < 40; ++round) {
    const messy::MessyFile file = generator.make();
    SCOPED_TRACE(file.what + ": " + file.bytes);
    const bool utf16 =
        file.encoding == messy::Encoding::kUtf16Le || file.encoding == messy::Encoding::kUtf16Be;
    const int kept = round % 5;
    const bool linked = kept == 4;  // refused whole, as replacing it would split its links
    WorkDir dir;
    const std::string path = dir.path() + "/files.in", target = kept == 2 ? "tags.txt" : "files.in";
    dir.write(target, file.bytes);
    if (kept == 1) {
      ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    }
    if (kept == 2) {
      ASSERT_EQ(::symlink("tags.txt", path.c_str()), 0);
    }
    if (kept == 3) ::setxattr(path.c_str(), "user.tagtree", "kept", 4, 0);  // where /tmp takes it
    if (kept == 4) std::filesystem::create_hard_link(path, dir.path() + "/other.in");
    const std::string keeps = keptOf(path, dir.path() + "/" + target);
    const std::set<std::string> before =
        utf16 ? std::set<std::string>() : utf8Tags(dir, "files.in");
    const auto expectKept = [&](const char* by, bool whole) {
      EXPECT_EQ(keptOf(path, dir.path() + "/" + target), keeps) << by;
      const std::set<std::string> after = utf8Tags(dir, "files.in");
      for (const std::string& tag : before)
        EXPECT_TRUE(after.contains(tag)) << by << " lost " << tag;
      for (const std::string& tag : whole ? file.tags : std::vector<std::string>()) {
        EXPECT_TRUE(after.contains(tag)) << by << " lost " << tag;
      }
    };
    // What --diff shows must be what --fix then does.
    const auto expectDiffIsFix = [&](const std::vector<std::string>& options) {
      dir.write("files.in", file.bytes);
      std::vector<std::string> arguments = options;
      arguments.push_back("--diff");
      const RunResult diff = dir.run(explain(arguments));
      arguments.back() = "--fix";
      arguments.push_back("-q");
      const RunResult fix = dir.run(explain(arguments));
      const std::string afterFix = readFile(path);
      if (linked) {
        EXPECT_EQ(fix.err,
                  "tagtree-explain: files.in: has 2 hard links, which replacing it "
                  "would split: --fix leaves it as it is\n");
        EXPECT_EQ(afterFix, file.bytes);
        return fix;
      }
      EXPECT_EQ(diff.status == 2, fix.status == 2) << diff.err << fix.err;
      EXPECT_EQ(diff.status == 1, afterFix != file.bytes);
      dir.write("copy.in", file.bytes);
      dir.write("change.diff", diff.out);
      EXPECT_EQ(std::system(("cd '" + dir.path() + "' && patch -s copy.in < change.diff").c_str()),
                0);
      EXPECT_EQ(readFile(dir.path() + "/copy.in"), afterFix);
      return fix;
    };

    const nlohmann::json report = jsonReport(dir, "files.in");
    ASSERT_FALSE(report.is_discarded());
    if (!report.at("plan").is_null() && !linked) {
      ++planned;
      EXPECT_LE(runCommand(dir, report.at("plan").at("command")), 1);
      expectKept("the plan", report.at("plan").at("certain") == true && utf16);
      // The plan reaches its end in one run: tagtree does as it said.
      const nlohmann::json after = jsonReport(dir, "files.in");
      EXPECT_EQ(after.at("verdict"), report.at("plan").at("verdict_after"));
      EXPECT_TRUE(after.at("plan").is_null() || report.at("plan").at("certain") == false);
    }

    RunResult result = expectDiffIsFix({});
    EXPECT_EQ(result.status == 2, linked) << result.err;
    fixed += readFile(path) != file.bytes;
    expectKept("--fix", utf16 && !linked);
    const std::string once = readFile(path);
    result = dir.run(explain({"--fix", "--format=gnu"}));
    if (!linked) {
      EXPECT_TRUE(result.out.starts_with("files.in: note: --fix changed nothing\n")) << result.out;
    }
    EXPECT_EQ(readFile(path), once);

    result = expectDiffIsFix({"--from=" + file.codePage});
    const bool bears = file.encoding == messy::Encoding::kCodePage && file.decodes;
    if (result.status == 2 && !linked) {
      ++refused;
      EXPECT_FALSE(bears) << result.err;
      EXPECT_TRUE(result.err.starts_with("tagtree-explain: cannot convert files.in from "))
          << result.err;
      EXPECT_EQ(readFile(path), file.bytes);
    } else if (!linked) {
      converted += bears;
      expectKept("--fix --from", bears);
    }
  }
  EXPECT_GE(planned, 10);
  EXPECT_GE(fixed, 10);
  EXPECT_GE(converted, 4);
  EXPECT_GE(refused, 4);
}

TEST(ExplainFixes, FixReplacesTheFileWholeOrNotAtAll) {
  // Replaced, the file keeps its mode, owner and extended attributes, and a link stays a
  // link; refused, it keeps its bytes too, the status is 2, and no copy of it is left.
  const std::string latin1 = "caf\xE9; cr\xE8me\ncaf\xE9\n";
  const std::string utf8 = "caf\xC3\xA9; cr\xC3\xA8me\ncaf\xC3\xA9\n";
  const bool root = ::geteuid() == 0;
  // An ACL: the owner, the user nobody and the mask read and write, the group and others
  // read.
  const std::string acl(
      "\2\0\0\0"
      "\1\0\6\0\377\377\377\377"
      "\2\0\6\0\376\377\0\0"
      "\4\0\4\0\377\377\377\377"
      "\20\0\6\0\377\377\377\377"
      "\40\0\4\0\377\377\377\377",
      44);
  struct Case {
    const char* what;
    // Makes files.in, holding `latin1`, what the case needs in `dir`. Returns why the case
    // cannot be run here, or "".
    std::function<std::string(const std::string& dir)> make;
    std::string replaced;  // the file whose bytes --fix replaces, or "" for none
    bool unprivileged;
    std::string err;  // "" where it replaces it
  };
  const auto chmodFile = [](const std::string& file, mode_t mode) {
    return ::chmod(file.c_str(), mode) == 0 ? "" : "chmod failed";
  };
  const std::vector<Case> cases = {
      {"a symbolic link to a file of mode 640",
       [&](const std::string& dir) {
         std::filesystem::rename(dir + "/files.in", dir + "/tags.txt");
         ::symlink("tags.txt", (dir + "/files.in").c_str());
         return chmodFile(dir + "/tags.txt", 0640);
       },
       "tags.txt", false, ""},
      {"setuid and setgid, another's",
       [&](const std::string& dir) -> std::string {
         if (!root) return "only root may give a file away";
         const std::string file = dir + "/files.in";
         if (::chown(file.c_str(), 65534, 65534) != 0) return "chown failed";
         return chmodFile(file, 06755);
       },
       "files.in", false, ""},
      {"with user attributes, one empty, and an ACL",
       [&](const std::string& dir) -> std::string {
         const std::string file = dir + "/files.in";
         if (::setxattr(file.c_str(), "user.x", "1", 1, 0) != 0 ||
             ::setxattr(file.c_str(), "user.empty", "", 0, 0) != 0 ||
             ::setxattr(file.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
           return std::string("extended attributes cannot be set in /tmp: ") + std::strerror(errno);
         }
         return "";
       },
       "files.in", false, ""},
      {"in a directory whose new files get an ACL, which it has not",
       [&](const std::string& dir) -> std::string {
         if (::setxattr(dir.c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0) != 0) {
           return std::string("ACLs cannot be set in /tmp: ") + std::strerror(errno);
         }
         return "";
       },
       "files.in", false, ""},
      {"in a directory that takes no new file",
       [&](const std::string& dir) -> std::string {
         // root may write anywhere: the tool runs as nobody, whose file it is.
         if (root && ::chown((dir + "/files.in").c_str(), 65534, 65534) != 0) return "chown failed";
         ::chmod(dir.c_str(), 0555);
         return "";
       },
       "files.in", true, "tagtree-explain: cannot replace files.in: Permission denied\n"},
      {"another's, whom anyone may write, which would become nobody's",
       [&](const std::string& dir) -> std::string {
         if (!root) return "the tool runs as this user, who owns the file";
         return chmodFile(dir + "/files.in", 0666);
       },
       "files.in", true,
       "tagtree-explain: files.in: another user's file, which --fix would make yours: it "
       "leaves it as it is\n"},
      {"nobody's, in root's group, which nobody is not in",
       [&](const std::string& dir) -> std::string {
         if (!root) return "only root may give a file away";
         if (::chown((dir + "/files.in").c_str(), 65534, 0) != 0) return "chown failed";
         return chmodFile(dir + "/files.in", 0640);
       },
       "files.in", true,
       "tagtree-explain: files.in: in a group you are not in, which --fix cannot give the new "
       "file: it leaves it as it is\n"},
      {"a FIFO",
       [](const std::string& dir) {
         std::filesystem::remove(dir + "/files.in");
         return ::mkfifo((dir + "/files.in").c_str(), 0666) == 0 ? "" : "mkfifo failed";
       },
       "", false, "tagtree-explain: files.in: not a regular file, which --fix cannot replace\n"},
      {"a link to a device",
       [](const std::string& dir) {
         std::filesystem::remove(dir + "/files.in");
         return ::symlink("/dev/null", (dir + "/files.in").c_str()) == 0 ? "" : "symlink failed";
       },
       "", false, "tagtree-explain: files.in: not a regular file, which --fix cannot replace\n"},
      {"without a write bit",
       [&](const std::string& dir) { return chmodFile(dir + "/files.in", 0444); }, "files.in",
       false, "tagtree-explain: files.in: read-only: --fix leaves it as it is\n"},
      {"another's, whom only its owner may write",
       [&](const std::string& dir) -> std::string {
         if (!root) return "the tool runs as this user, who owns the file";
         return chmodFile(dir + "/files.in", 0644);
       },
       "files.in", true, "tagtree-explain: files.in: read-only: --fix leaves it as it is\n"},
      {"of two hard links",
       [](const std::string& dir) {
         std::filesystem::create_hard_link(dir + "/files.in", dir + "/other.in");
         return "";
       },
       "files.in", false,
       "tagtree-explain: files.in: has 2 hard links, which replacing it would split: --fix "
       "leaves it as it is\n"},
  };
  std::string skipped;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WorkDir dir;
    dir.write("files.in", latin1);
    if (const std::string why = c.make(dir.path()); !why.empty()) {
      skipped += std::string(c.what) + ": " + why + "; ";
      continue;
    }
    const std::string replaced = dir.path() + "/" + c.replaced;
    const std::string kept = keptOf(dir.path() + "/files.in", replaced);
    const std::set<std::string> names = namesIn(dir.path());
    RunOptions options = explain({"--fix", "--from=latin1"});
    options.unprivileged = c.unprivileged;
    options.deadlineSeconds = 10;  // a FIFO must not be opened
    const RunResult result = dir.run(options);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);  // that its files may be removed
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.err, c.err);
    if (c.err.empty()) {
      EXPECT_TRUE(
          result.out.starts_with("Fixed files.in: converted it from latin1 to UTF-8.\n\n"
                                 "tagtree succeeds on files.in"))
          << result.out;
      EXPECT_EQ(result.status, 0);
    } else {
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(result.status, 2);
    }
    if (!c.replaced.empty()) {
      EXPECT_EQ(readFile(replaced), c.err.empty() ? utf8 : latin1);
    }
    EXPECT_EQ(keptOf(dir.path() + "/files.in", replaced), kept);
    EXPECT_EQ(namesIn(dir.path()), names);
  }
  if (!skipped.empty()) GTEST_SKIP() << "the rest ran; skipped " << skipped;
}

// The picture of the bundled bookmarks that README.md shows is what the command it gives
// draws now, where the Graphviz that drew it is installed: dot's own output differs from
// one version of Graphviz to another.
TEST(ExplainTree, BookmarksPictureIsWhatTheDocumentedCommandDraws) {
  if (std::system("command -v dot > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "Graphviz's dot is not installed (Debian: apt-get install graphviz)";
  }
  const std::string example = TAGTREE_SOURCE_DIR "/examples/bookmarks/";
  const std::string committed = readFile(example + "tree.svg");
  WorkDir dir;
  dir.write("files.in", readFile(example + "files.in"));
  const std::string version = "cd '" + dir.path() + "' && dot -V 2> version";
  ASSERT_EQ(std::system(version.c_str()), 0);
  const std::string installed = readFile(dir.path() + "/version");  // "dot - graphviz version …"
  const std::string drawnBy = installed.substr(installed.find("graphviz version"));
  if (committed.find("Generated by " + drawnBy.substr(0, drawnBy.find('\n'))) ==
      std::string::npos) {
    GTEST_SKIP() << "examples/bookmarks/tree.svg was drawn by another Graphviz than " << installed;
  }
  const std::string command = "cd '" + dir.path() +
                              "' && '" TAGTREE_EXPLAIN_BINARY
                              "' --tree --format=dot files.in | dot -Tsvg > tree.svg";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_EQ(readFile(dir.path() + "/tree.svg"), committed)
      << "examples/bookmarks/tree.svg is out of date: in examples/bookmarks, run "
         "tagtree-explain --tree --format=dot files.in | dot -Tsvg > tree.svg";
}

}  // namespace
}  // namespace tagtree::e2e
