// Every example in README.md and in the man pages that shows a files.in and what a
// command prints for it is run here, and must print exactly that, byte for byte; and
// tagtree-explain must give tagtree's verdict on each example of tagtree's.
//
// README.md shows them as tables whose header names the files.in column and each output
// column ("output of <code>tagtree-explain --format=gnu</code>"); a column of another
// command's output, such as tree's picture, is left alone. The man pages mark each
// example's blocks with a roff comment just before the .EX: `.\" example: files.in`, then
// `.\" example: tagtree` or `.\" example: tagtree-explain --format=gnu`, say, for what
// that command prints. A files.in said to have "its lines ended by a CR alone" is run so.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "run_tagtree.h"

namespace tagtree::e2e {
namespace {

struct Example {
  std::string where;  // the file and what the example is
  std::string input;
  Program program;
  std::vector<std::string> arguments;
  std::string output;
};

// Returns the program and arguments of a command line such as "tagtree-explain
// --format=gnu", or nothing when it runs neither tool.
std::optional<std::pair<Program, std::vector<std::string>>> commandOf(const std::string& line) {
  std::istringstream words(line);
  std::string program;
  words >> program;
  if (program != "tagtree" && program != "tagtree-explain") return std::nullopt;
  std::vector<std::string> arguments;
  for (std::string word; words >> word;) arguments.push_back(word);
  return std::pair{program == "tagtree" ? Program::kTagtree : Program::kExplain, arguments};
}

// Returns `text` with every `from` replaced by `to`, left to right.
std::string replaced(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Returns the files.in shown in `block` under the heading `heading`: with each line ended
// by a CR where the heading says so, which a page cannot show.
std::string inputOf(std::string_view heading, const std::string& block) {
  if (heading.find("its lines ended by a CR alone") == std::string_view::npos) return block;
  return replaced(block, "\n", "\r");
}

// The text of a <pre> block: its entities written out.
std::string htmlText(const std::string& pre) {
  return replaced(replaced(replaced(pre, "&lt;", "<"), "&gt;", ">"), "&amp;", "&");
}

std::vector<Example> readmeExamples() {
  const std::string readme = readFile(TAGTREE_SOURCE_DIR "/README.md");
  std::vector<Example> examples;
  const std::regex table("<table>([\\s\\S]*?)</table>"), header("<th>([\\s\\S]*?)</th>"),
      pre("<pre>\\n([\\s\\S]*?)</pre>");
  for (std::sregex_iterator t(readme.begin(), readme.end(), table), end; t != end; ++t) {
    const std::string body = (*t)[1];
    std::vector<std::string> headers, blocks;
    for (std::sregex_iterator h(body.begin(), body.end(), header); h != end; ++h)
      headers.push_back((*h)[1]);
    for (std::sregex_iterator b(body.begin(), body.end(), pre); b != end; ++b)
      blocks.push_back(htmlText((*b)[1]));
    if (headers.empty() || !headers[0].starts_with("<code>files.in</code>")) continue;
    EXPECT_EQ(blocks.size(), headers.size()) << "a table of README.md with " << headers[0];
    for (std::size_t column = 1; column < headers.size() && column < blocks.size(); ++column) {
      const std::string prefix = "output of <code>", suffix = "</code>";
      const std::string& shown = headers[column];
      if (!shown.starts_with(prefix) || !shown.ends_with(suffix)) continue;
      const auto command =
          commandOf(shown.substr(prefix.size(), shown.size() - prefix.size() - suffix.size()));
      if (!command) continue;  // another command's output, such as tree's
      const auto line = std::count(readme.begin(), readme.begin() + t->position(), '\n') + 1;
      examples.push_back({"README.md, the table at line " + std::to_string(line) + ": " + shown,
                          inputOf(headers[0], blocks[0]), command->first, command->second,
                          blocks[column]});
    }
  }
  return examples;
}

// The text of an .EX block: the escapes it uses written out.
std::string roffText(std::string text) {
  for (const auto& [escape, meant] :
       {std::pair{"\\-", "-"}, {"\\(aq", "'"}, {"\\(dq", "\""}, {"\\&", ""}, {"\\e", "\\"}}) {
    text = replaced(text, escape, meant);
  }
  return text;
}

std::vector<Example> manPageExamples(const std::string& page) {
  const std::string text = readFile(TAGTREE_SOURCE_DIR "/man/" + page + ".1.in");
  std::vector<Example> examples;
  std::string input;
  const std::string marker = ".\\\" example: ";
  for (std::size_t at = 0; (at = text.find(marker, at)) != std::string::npos;) {
    const std::size_t kindEnd = text.find('\n', at);
    const std::string kind = text.substr(at + marker.size(), kindEnd - at - marker.size());
    const std::size_t start = text.find(".EX\n", kindEnd);
    const std::size_t stop = text.find(".EE\n", start);
    EXPECT_NE(stop, std::string::npos) << page << ": " << kind;
    if (stop == std::string::npos) break;
    const std::string block = roffText(text.substr(start + 4, stop - start - 4));
    at = stop;
    if (kind.starts_with("files.in")) {
      input = inputOf(kind, block);
      continue;
    }
    const auto command = commandOf(kind);
    EXPECT_TRUE(command) << page << ": " << kind;
    if (command) {
      examples.push_back({page + "(1): " + kind, input, command->first, command->second, block});
    }
  }
  return examples;
}

TEST(Docs, EveryExamplePrintsWhatItShows) {
  struct Source {
    std::vector<Example> examples;
    std::size_t atLeast;  // so that a change of markup cannot leave them all unchecked
  };
  const Source sources[] = {{readmeExamples(), 3},
                            {manPageExamples("tagtree"), 1},
                            {manPageExamples("tagtree-explain"), 1}};
  for (const Source& source : sources) {
    EXPECT_GE(source.examples.size(), source.atLeast);
    for (const Example& example : source.examples) {
      SCOPED_TRACE(example.where);
      if (example.program == Program::kExplain && !kExplainBuilt) continue;
      WorkDir dir;
      dir.write("files.in", example.input);
      RunOptions options;
      options.program = example.program;
      options.arguments = example.arguments;
      const RunResult result = dir.run(options);
      EXPECT_EQ(result.out, example.output);
      EXPECT_EQ(result.err, "");
      // tagtree-explain's verdict on the same file is tagtree's.
      if (example.program == Program::kTagtree) expectExplainAgrees(dir, result);
    }
  }
}

}  // namespace
}  // namespace tagtree::e2e
