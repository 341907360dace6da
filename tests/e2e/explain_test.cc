// End-to-end tests of tagtree-explain: its command line and exit statuses, the lines it
// names for every limit and warning on every line end, and its verdict beside tagtree's
// own on the bundled examples.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "run_tagtree.h"
#include "tag_text.h"

namespace tagtree::e2e {
namespace {

namespace fs = std::filesystem;

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
  };
  const Case cases[] = {
      {"files.in by default", {}, "", "tagtree succeeds on files.in: it prints 2 paths", "", 0},
      {"a file named", {"bad.in"}, "", "tagtree fails on bad.in, with exit status 1.", "", 1},
      {"standard input",
       {"-"},
       "a; b\n",
       "tagtree succeeds on standard input: it prints nothing",
       "",
       0},
      {"a file named like an option, after --", {"--", "-x"}, "", "tagtree succeeds on -x:", "", 0},
      {"help", {"--help"}, "", "Usage: tagtree-explain [FILE]\n", "", 0},
      {"help, abbreviated", {"--he"}, "", "Usage: tagtree-explain [FILE]\n", "", 0},
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WorkDir dir;
    dir.write("files.in", "a; b\na\n");
    dir.write("bad.in", repeatedLines("a", 51));
    dir.write("-x", "");
    ASSERT_EQ(::mkdir((dir.path() + "/folder").c_str(), 0755), 0);
    RunOptions options = explain(c.arguments);
    options.stdinBytes = c.stdinBytes;
    const RunResult result = dir.run(options);
    EXPECT_EQ(result.out.substr(0, c.outStart.size()), c.outStart);
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
    std::vector<std::string> said;  // each somewhere in the report
  };
  const Case cases[] = {
      {"60 lines",
       repeatedLines("a", 60),
       1,
       {"\n    Error: ArrayBoundsError corvane(56)\n",
        "More than 50 lines: line 51 is the 51st of 60 lines."}},
      {"a line of 53 tags",
       "a\nb\n" + numberedTags(0, 53) + "\nc\n",
       1,
       {"\n    Error: ArrayBoundsError corvane(180)\n",
        "More than 50 tags in one line: line 3 (53 tags).", "Line 3 holds more than 50 tags"}},
      {"a 101st tag",
       numberedTags(0, 50) + "\n" + numberedTags(50, 50) + "\nt100; x\n",
       1,
       {"\n    Error: ArrayBoundsError corvane(41)\n", "the 101st, t100, first appears on line 3"}},
      {"a byte-order mark",
       "\xEF\xBB\xBFsea; sky\nsea\n",
       0,
       {"byte-order mark, which becomes part of its first tag, \\xEF\\xBB\\xBFsea (line 1)"}},
      {"a Latin-1 name",
       "ok\ncaf\xE9\n",
       1,
       {"\n    Error: 4invalid UTF-8 sequence\n", "The name caf\\xE9, first on line 2,",
        "not valid UTF-8, which tagtree cannot print: caf\\xE9 (line 2)"}},
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
      const RunResult result = dir.run(explain());
      for (const std::string& said : c.said) {
        EXPECT_NE(result.out.find(said), std::string::npos) << said << "\nin:\n" << result.out;
      }
      EXPECT_EQ(result.status, c.status);
      EXPECT_EQ(result.err, "");
    }
  }
}

TEST(ExplainReport, VerdictIsTagtreesOnTheExamples) {
  int examples = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(TAGTREE_SOURCE_DIR "/examples")) {
    SCOPED_TRACE(entry.path().string());
    WorkDir dir;
    dir.write("files.in", readFile(entry.path() / "files.in"));
    const RunResult tagtree = dir.run();
    const RunResult explained = dir.run(explain());
    ASSERT_EQ(explained.status, tagtree.status);
    ASSERT_EQ(tagtree.status, 0);
    std::size_t paths = 0;
    for (std::size_t start = 0, end; (end = tagtree.out.find('\n', start)) != std::string::npos;
         start = end + 1, ++paths) {
      // Each path ends a row of the tags' table.
      const std::string path = tagtree.out.substr(start, end - start);
      EXPECT_NE(explained.out.find("  " + path + "\n"), std::string::npos) << path;
    }
    EXPECT_NE(explained.out.find("it prints " + std::to_string(paths) + " paths"),
              std::string::npos);
    ++examples;
  }
  EXPECT_GE(examples, 3);
}

}  // namespace
}  // namespace tagtree::e2e
