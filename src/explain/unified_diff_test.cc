// Unified diffs: their exact text on small edits, GNU patch turning each version before
// into the one after on random ones, shortest edits, and the work on large files.
#include "explain/unified_diff.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tagtree::explain {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t end = std::min(text.find('\n', pos), text.size() - 1) + 1;
    lines.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return lines;
}

// Returns what GNU patch makes of each version before with its diff, in a temporary
// directory; nothing where patch cannot be run.
std::optional<std::vector<std::string>> patched(
    const std::vector<std::pair<std::string, std::string>>& pairs) {
  char pattern[] = "/tmp/tagtree-diff-XXXXXX";
  if (std::system("patch --version >/dev/null 2>&1") != 0 || ::mkdtemp(pattern) == nullptr) {
    return std::nullopt;
  }
  const fs::path dir = pattern;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    std::ofstream(dir / std::to_string(i), std::ios::binary) << pairs[i].first;
    std::ofstream(dir / (std::to_string(i) + ".diff"), std::ios::binary) << pairs[i].second;
  }
  const std::string command = "cd " + dir.string() + " && for f in $(seq 0 " +
                              std::to_string(pairs.size() - 1) +
                              "); do patch -s -f -o $f.out $f < $f.diff 2>&1; done";
  EXPECT_EQ(std::system(command.c_str()), 0);
  std::vector<std::string> results;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    std::ifstream in(dir / (std::to_string(i) + ".out"), std::ios::binary);
    results.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  fs::remove_all(dir);
  return results;
}

TEST(UnifiedDiff, WritesHunksAsGnuDiffDoes) {
  const std::string nine = "1\n2\n3\n4\n5\n6\n7\n8\n9\n";
  const std::pair<std::string, std::string> cases[][2] = {
      {{"a\nb\n", "a\nb\n"}, {"", ""}},
      {{"b\nc\n", "a\nb\nc\n"}, {"@@ -1,2 +1,3 @@\n+a\n b\n c\n", ""}},
      {{nine, "1\n2\n3\n4\nx\n5\n6\n7\n8\n9\n"},
       {"@@ -2,6 +2,7 @@\n 2\n 3\n 4\n+x\n 5\n 6\n 7\n", ""}},
      {{"a\nb\n", "a\nb\nc\n"}, {"@@ -1,2 +1,3 @@\n a\n b\n+c\n", ""}},
      {{nine, "1\n2\n3\n4\n6\n7\n8\n9\n"}, {"@@ -2,7 +2,6 @@\n 2\n 3\n 4\n-5\n 6\n 7\n 8\n", ""}},
      {{"a\nb", "a\nb\n"}, {"@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+b\n", ""}},
      {{"a\nb\n", "a\nb"}, {"@@ -1,2 +1,2 @@\n a\n-b\n+b\n\\ No newline at end of file\n", ""}},
      {{"a", "b"},
       {"@@ -1 +1 @@\n-a\n\\ No newline at end of file\n+b\n", "\\ No newline at end of file\n"}},
      {{"", "a\n"}, {"@@ -0,0 +1 @@\n+a\n", ""}},
      {{"a\nb", ""}, {"@@ -1,2 +0,0 @@\n-a\n-b\n\\ No newline at end of file\n", ""}},
      {{"a\rb\rc\n", "a\nb\nc\n"}, {"@@ -1 +1,3 @@\n-a\rb\rc\n+a\n+b\n+c\n", ""}},
      // Changes 6 lines apart share a hunk; 7 apart, they do not.
      {{nine, "x\n2\n3\n4\n5\n6\n7\ny\n9\n"},
       {"@@ -1,9 +1,9 @@\n-1\n+x\n 2\n 3\n 4\n 5\n 6\n 7\n-8\n+y\n 9\n", ""}},
      {{nine, "x\n2\n3\n4\n5\n6\n7\n8\ny\n"},
       {"@@ -1,4 +1,4 @@\n-1\n+x\n 2\n 3\n 4\n@@ -6,4 +6,4 @@\n 6\n 7\n 8\n-9\n+y\n", ""}},
  };
  for (const auto& [versions, expected] : cases) {
    StringSink out;
    const bool differ = writeUnifiedDiff(versions.first, versions.second, "f", out);
    const std::string diff = expected.first + expected.second;
    EXPECT_EQ(out.text(), diff.empty() ? "" : "--- f\n+++ f\n" + diff) << versions.first;
    EXPECT_EQ(differ, !diff.empty()) << versions.first;
  }
}

TEST(UnifiedDiff, QuotesLabelsThatWouldBreakTheHeader) {
  EXPECT_EQ(diffLabel("dir/files.in"), "dir/files.in");
  EXPECT_EQ(diffLabel("caf\xc3\xa9 \\ \"x\".in"), "caf\xc3\xa9 \\ \"x\".in");
  EXPECT_EQ(diffLabel("a\nb\t\"c\"\\"), R"("a\nb\t\"c\"\\")");
  EXPECT_EQ(diffLabel("\"a"), R"("\"a")");
  EXPECT_EQ(diffLabel("\x7f\xff\x01\xc2\x85"s), R"("\177\377\001\302\205")");
}

// Random versions of random lines, with the lines that look like a diff's own.
TEST(UnifiedDiff, PatchTurnsEachVersionIntoTheOtherByAShortestEdit) {
  const std::string words[] = {"a",
                               "b",
                               "",
                               "\r",
                               "x\ry",
                               "\0"s,
                               "\xff\xfe",
                               "-- a",
                               "++ b",
                               "@@ -1 +1 @@",
                               "\\ No newline at end of file"};
  std::mt19937 random(7);
  std::vector<std::pair<std::string, std::string>> versions, diffs;
  std::vector<std::size_t> shortest, edited;
  const auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n)(random);
  };
  for (int round = 0; round < 300; ++round) {
    std::string before, after;
    for (std::size_t i = pick(40); i > 0; --i) {
      const std::string line = words[pick(std::size(words) - 1)] + "\n";
      before += line;
      std::string edited = line;  // kept, gone, after a new line, changed, or split at CR
      const std::size_t edit = pick(11);
      if (edit == 3) std::replace(edited.begin(), edited.end(), '\r', '\n');
      after += edit == 0 ? "" : edit == 1 ? "b\n" + line : edit == 2 ? "\n" : edited;
    }
    if (pick(3) == 0 && !before.empty()) before.pop_back();
    if (pick(3) == 0 && !after.empty()) after.pop_back();
    StringSink out;
    writeUnifiedDiff(before, after, "files.in", out);
    versions.emplace_back(before, after);
    diffs.emplace_back(before, out.text());
    // The lines removed and added are all but those of a longest common subsequence.
    const auto a = linesOf(before), b = linesOf(after);
    std::vector<std::vector<std::size_t>> common(a.size() + 1,
                                                 std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = a.size(); i-- > 0;) {
      for (std::size_t j = b.size(); j-- > 0;) {
        common[i][j] =
            a[i] == b[j] ? common[i + 1][j + 1] + 1 : std::max(common[i + 1][j], common[i][j + 1]);
      }
    }
    shortest.push_back(a.size() + b.size() - 2 * common[0][0]);
    const auto diffLines = linesOf(out.text());
    edited.push_back(static_cast<std::size_t>(std::count_if(
        diffLines.begin() + std::min<std::size_t>(2, diffLines.size()), diffLines.end(),
        [](const std::string& line) { return line[0] == '-' || line[0] == '+'; })));
  }
  EXPECT_EQ(edited, shortest);
  const auto results = patched(diffs);
  if (!results) GTEST_SKIP() << "GNU patch cannot be run here";
  for (std::size_t i = 0; i < versions.size(); ++i) {
    EXPECT_EQ((*results)[i], versions[i].second) << diffs[i].second;
  }
}

}  // namespace
}  // namespace tagtree::explain
