#include "pipeline/pipeline.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/failure.h"
#include "group_text.h"
#include "pipeline/grouping.h"
#include "pipeline/inference.h"

namespace tagtree {
namespace {

struct Listed {
  std::string output;
  std::string failure;  // empty when the run succeeded
};

Listed listed(const std::string& text, std::size_t readSize = InputWindow::kDefaultReadSize) {
  StringSink sink;
  try {
    TextSource source(text);
    runPipeline(source, sink, readSize);
  } catch (const Failure& failure) {
    return {sink.text(), failure.what()};
  }
  return {sink.text(), ""};
}

TEST(Pipeline, ListsTheHierarchy) {
  struct Case {
    const char* what;
    std::string text;
    std::string output;
  };
  const Case cases[] = {
      {"empty input", "", ""},
      {"only empty lines", "\n\r\n\r", ""},
      {"one tag", "a\n", "/a\n"},
      {"mutual children vanish", "a; b\n", ""},
      {"counts 2 and 1", "a; b\na\n", "/a\n/a/b\n"},
      {"worked example", "x; y\ny\nz; y\n", "/y\n/y/x\n/y/z\n"},
      {"children in first-occurrence order", "x; y\ny\ny\nz; y\n", "/y\n/y/x\n/y/z\n"},
      {"two parents hide a child", "p; c\np\np\nq; c\nq\nq\n", "/p\n/q\n"},
      {"grandchild hidden", "a; b\nb; c\na\na\n", "/a\n/a/b\n"},
      {"equal counts of 3 are unrelated", "x; y\nx; y\nx; y\n", "/x\n/y\n"},
      {"line endings alike", "a; b\r\na\rc\n", "/a\n/a/b\n/c\n"},
      {"top-level blocks in first-occurrence order", "k; m\nb; c\nb\nk\n", "/k\n/k/m\n/b\n/b/c\n"},
      {"names pass through unchanged", "%s%n; 50% / off\n%s%n\n", "/%s%n\n/%s%n/50% / off\n"},
      {"a name larger than a block of names, then the rest of its line",
       std::string(300 * 1024, 'n') + "; b\n" + std::string(300 * 1024, 'n') + "\nc; " +
           std::string(300 * 1024, 'n') + "\n",
       "/" + std::string(300 * 1024, 'n') + "\n/" + std::string(300 * 1024, 'n') + "/b\n/" +
           std::string(300 * 1024, 'n') + "/c\n"},
      {"a name larger than a block of names after another name",
       "x; " + std::string(300 * 1024, 'n') + "\nx\n",
       "/x\n/x/" + std::string(300 * 1024, 'n') + "\n"},
      {"NUL bytes pass through", std::string("a\0b; c\na\0b\n", 11),
       std::string("/a\0b\n/a\0b/c\n", 12)},
      {"multi-byte UTF-8", "caf\xC3\xA9; \xF0\x9F\x98\x80\ncaf\xC3\xA9\n",
       "/caf\xC3\xA9\n/caf\xC3\xA9/\xF0\x9F\x98\x80\n"},
      {"byte-order mark stays in the first name",
       "\xEF\xBB\xBF"
       "a; b\n\xEF\xBB\xBF"
       "a\n",
       "/\xEF\xBB\xBF"
       "a\n/\xEF\xBB\xBF"
       "a/b\n"},
  };
  // Read in one piece, a name larger than a block of names need not start the buffer.
  for (const Case& c : cases) {
    for (const std::size_t readSize : {InputWindow::kDefaultReadSize, std::size_t{1} << 20}) {
      const Listed result = listed(c.text, readSize);
      EXPECT_EQ(result.failure, "") << c.what << ", read size " << readSize;
      EXPECT_EQ(result.output, c.output) << c.what << ", read size " << readSize;
    }
  }
}

TEST(Pipeline, StopsAtTheFirstBadUtf8Sequence) {
  struct Case {
    const char* what;
    std::string text;
    std::string output;  // written before the failure
  };
  const Case cases[] = {
      {"bad top-level name",
       "ab\xFF"
       "c\n",
       "/ab"},
      {"overlong", "ok\nx\xC0\xAFy\n", "/ok\n/x"},
      {"surrogate", "\xED\xA0\x80\n", "/"},
      {"above U+10FFFF", "a\xF4\x90\x80\x80\n", "/a"},
      {"truncated at the end of the name", "a\xE2\x82; b\n", ""},  // mutual children: unprinted
      {"truncated", "a\xE2\x82\n", "/a"},
      {"stray continuation", "\xC3\xA9\x80\n", "/\xC3\xA9"},
      {"bad child after its parent", "p; c\xFF\np\n", "/p\n/p/c"},
      {"earlier blocks stay written", "a\nb\xFF\n", "/a\n/b"},
  };
  for (const Case& c : cases) {
    const Listed result = listed(c.text);
    const bool printsBadName = c.output != "";
    EXPECT_EQ(result.failure, printsBadName ? "4invalid UTF-8 sequence" : "") << c.what;
    EXPECT_EQ(result.output, c.output) << c.what;
  }
}

TEST(Pipeline, BadNamesThatAreNeverPrintedDoNoHarm) {
  // \xFF has two parents; c\xFE is a grandchild.
  const Listed result = listed("p; \xFF\np\np\nq; \xFF\nq\nq\nq; c\nc; c\xFE\n");
  EXPECT_EQ(result.failure, "");
  EXPECT_EQ(result.output, "/p\n/q\n/q/c\n");
}

TEST(Pipeline, FailuresLeaveNoListing) {
  std::string tooManyLines(51, '\n');
  const Listed result = listed("a\n" + tooManyLines);
  EXPECT_EQ(result.failure, "ArrayBoundsError corvane(56)");
  EXPECT_EQ(result.output, "");
}

// Generated inputs: the listing must be a well-formed two-level tree whatever the input.
TEST(Pipeline, ListingIsAConsistentTreeOnGeneratedInputs) {
  std::mt19937 random(2024);
  for (int round = 0; round < 500; ++round) {
    std::string text;
    const int lines = 1 + static_cast<int>(random() % 50);
    const int vocabulary = 1 + static_cast<int>(random() % 30);
    for (int line = 0; line < lines; ++line) {
      const int words = static_cast<int>(random() % 8);
      for (int w = 0; w < words; ++w) {
        // Skewed choice, so that some tags are frequent and others rare.
        const unsigned pick = static_cast<unsigned>(random() % vocabulary) *
                              static_cast<unsigned>(random() % vocabulary) / vocabulary;
        text += (w ? "; " : "") + std::string("t") + std::to_string(pick);
      }
      text += line % 3 ? "\n" : "\r\n";
    }
    const Listed result = listed(text);
    ASSERT_EQ(result.failure, "") << text;

    NameTable groupingNames;

    Grouping grouping;
    groupText(text, groupingNames, grouping);
    inferParents(grouping);
    std::map<std::string, std::int32_t> parentCount;
    for (int i = 0; i < grouping.allTagCount; ++i) {
      parentCount[std::string(grouping.allTags[i]->name())] =
          grouping.tagGroups.of(grouping.allTags[i]).parentCount();
    }

    std::set<std::string> printedLines, topLevel;
    std::string currentTop;
    std::size_t start = 0;
    while (start < result.output.size()) {
      const std::size_t end = result.output.find('\n', start);
      ASSERT_NE(end, std::string::npos) << "every line ends with LF";
      const std::string line = result.output.substr(start, end - start);
      start = end + 1;
      EXPECT_TRUE(printedLines.insert(line).second) << "printed twice: " << line;
      ASSERT_EQ(line[0], '/');
      const std::size_t slash = line.find('/', 1);
      if (slash == std::string::npos) {
        currentTop = line.substr(1);
        topLevel.insert(currentTop);
        EXPECT_EQ(parentCount.at(currentTop), 0) << currentTop;
      } else {
        const std::string parent = line.substr(1, slash - 1);
        const std::string child = line.substr(slash + 1);
        EXPECT_EQ(parent, currentTop) << "a child line follows its parent's line";
        EXPECT_EQ(parentCount.at(child), 1) << "a printed child has exactly one parent";
        EXPECT_EQ(topLevel.count(child), 0u) << "a child is not also top-level";
      }
    }
    // Every tag without a parent is printed.
    for (const auto& [name, parents] : parentCount) {
      if (parents == 0) {
        EXPECT_EQ(topLevel.count(name), 1u) << name;
      }
    }
  }
}

}  // namespace
}  // namespace tagtree
