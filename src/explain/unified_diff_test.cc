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

using Versions = std::vector<std::pair<std::string, std::string>>;

std::string diffOf(const std::string& before, const std::string& after) {
  StringSink out;
  writeUnifiedDiff(before, after, "files.in", out);
  return out.text();
}

// Checks that GNU patch, run in a temporary directory, makes each version before into the
// one after with the diff of the two; skips where patch cannot be run.
void expectPatchGivesAfter(const Versions& versions) {
  char pattern[] = "/tmp/tagtree-diff-XXXXXX";
  if (std::system("patch --version >/dev/null 2>&1") != 0 || ::mkdtemp(pattern) == nullptr) {
    GTEST_SKIP() << "GNU patch cannot be run here";
  }
  const fs::path dir = pattern;
  for (std::size_t i = 0; i < versions.size(); ++i) {
    std::ofstream(dir / std::to_string(i), std::ios::binary) << versions[i].first;
    std::ofstream(dir / (std::to_string(i) + ".diff"), std::ios::binary)
        << diffOf(versions[i].first, versions[i].second);
  }
  const std::string command = "cd " + dir.string() + " && for f in $(seq 0 " +
                              std::to_string(versions.size() - 1) +
                              "); do patch -s -f -o $f.out $f < $f.diff 2>&1; done";
  EXPECT_EQ(std::system(command.c_str()), 0);
  for (std::size_t i = 0; i < versions.size(); ++i) {
    std::ifstream in(dir / (std::to_string(i) + ".out"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), versions[i].second) << i;
  }
  fs::remove_all(dir);
}

TEST(UnifiedDiff, WritesHunksAsGnuDiffDoes) {
  const std::string nine = "1\n2\n3\n4\n5\n6\n7\n8\n9\n";
  const struct {
    std::string before, after, hunks;
  } cases[] = {
      {"a\nb\n", "a\nb\n", ""},
      {"b\nc\n", "a\nb\nc\n", "@@ -1,2 +1,3 @@\n+a\n b\n c\n"},
      {nine, "1\n2\n3\n4\nx\n5\n6\n7\n8\n9\n", "@@ -2,6 +2,7 @@\n 2\n 3\n 4\n+x\n 5\n 6\n 7\n"},
      {"a\nb\n", "a\nb\nc\n", "@@ -1,2 +1,3 @@\n a\n b\n+c\n"},
      {nine, "1\n2\n3\n4\n6\n7\n8\n9\n", "@@ -2,7 +2,6 @@\n 2\n 3\n 4\n-5\n 6\n 7\n 8\n"},
      {"a\nb", "a\nb\n", "@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+b\n"},
      {"a\nb\n", "a\nb", "@@ -1,2 +1,2 @@\n a\n-b\n+b\n\\ No newline at end of file\n"},
      {"a", "b",
       "@@ -1 +1 @@\n-a\n\\ No newline at end of file\n+b\n\\ No newline at end of file\n"},
      {"", "a\n", "@@ -0,0 +1 @@\n+a\n"},
      {"a\nb", "", "@@ -1,2 +0,0 @@\n-a\n-b\n\\ No newline at end of file\n"},
      {"a\rb\rc\n", "a\nb\nc\n", "@@ -1 +1,3 @@\n-a\rb\rc\n+a\n+b\n+c\n"},
      // Changes 6 lines apart share a hunk; 7 apart, they do not.
      {nine, "x\n2\n3\n4\n5\n6\n7\ny\n9\n",
       "@@ -1,9 +1,9 @@\n-1\n+x\n 2\n 3\n 4\n 5\n 6\n 7\n-8\n+y\n 9\n"},
      {nine, "x\n2\n3\n4\n5\n6\n7\n8\ny\n",
       "@@ -1,4 +1,4 @@\n-1\n+x\n 2\n 3\n 4\n@@ -6,4 +6,4 @@\n 6\n 7\n 8\n-9\n+y\n"},
  };
  for (const auto& [before, after, hunks] : cases) {
    StringSink out;
    EXPECT_EQ(writeUnifiedDiff(before, after, "f", out), !hunks.empty()) << before;
    EXPECT_EQ(out.text(), hunks.empty() ? "" : "--- f\n+++ f\n" + hunks) << before;
  }
}

TEST(UnifiedDiff, QuotesLabelsThatWouldBreakTheHeader) {
  const std::pair<std::string, std::string> labels[] = {
      {"dir/files.in", "dir/files.in"},
      {"caf\xc3\xa9.in", "caf\xc3\xa9.in"},
      {"sp ace.in", R"("sp ace.in")"},  // as patch reads a name: it ends at a space
      {"caf\xc3\xa9 \\ \"x\".in", R"("caf\303\251 \\ \"x\".in")"},
      {"\"a", R"("\"a")"},
      {"a b\n\t\\\"", R"("a b\n\t\\\"")"},
      {"\x7f\xff\x01", R"("\177\377\001")"},
      {"\xc2\x85", R"("\302\205")"},  // U+0085, a control character
  };
  for (const auto& [label, shown] : labels) EXPECT_EQ(diffLabel(label), shown);
}

// Random versions of random lines, with the lines that look like a diff's own.
TEST(UnifiedDiff, PatchTurnsEachVersionIntoTheOtherByAShortestEdit) {
  const auto words = linesOf(
      "a\nb\n\n\r\nx\ry\n\0\n\xff\xfe\n-- a\n++ b\n@@ -1 +1 @@\n"
      "\\ No newline at end of file\n"s);
  std::mt19937 random(7);
  const auto pick = [&](std::size_t n) { return random() % n; };
  Versions versions;
  for (int round = 0; round < 200; ++round) {
    std::string before, after;
    for (std::size_t i = pick(60); i > 0; --i) {
      const std::string line =
          pick(2) ? words[pick(words.size())] : std::to_string(pick(999)) + "\n";
      before += line;
      std::string edited = line;  // kept, gone, after a new line, changed, or split at CR
      const std::size_t edit = pick(12);
      if (edit == 3) std::replace(edited.begin(), edited.end(), '\r', '\n');
      after += edit == 0 ? "" : edit == 1 ? "b\n" + line : edit == 2 ? "\n" : edited;
    }
    if (pick(3) == 0 && !before.empty()) before.pop_back();
    if (pick(3) == 0 && !after.empty()) after.pop_back();
    versions.emplace_back(before, after);
    // The lines removed and added are all but those of a longest common subsequence.
    const auto a = linesOf(before), b = linesOf(after), diff = linesOf(diffOf(before, after));
    std::vector<std::vector<std::ptrdiff_t>> common(a.size() + 1,
                                                    std::vector<std::ptrdiff_t>(b.size() + 1));
    for (std::size_t i = a.size(); i-- > 0;) {
      for (std::size_t j = b.size(); j-- > 0;) {
        common[i][j] =
            a[i] == b[j] ? common[i + 1][j + 1] + 1 : std::max(common[i + 1][j], common[i][j + 1]);
      }
    }
    const auto edits = std::count_if(diff.begin(), diff.end(), [](const std::string& line) {
      return line[0] == '-' || line[0] == '+';
    });  // with "--- " and "+++ " unless empty
    EXPECT_EQ(edits - (diff.empty() ? 0 : 2), std::ssize(a) + std::ssize(b) - 2 * common[0][0])
        << before << "\n=>\n"
        << after;
  }
  expectPatchGivesAfter(versions);
}

// Files of 20,000 lines each of which changes: into a line found elsewhere, or into one
// of its own (as from UTF-16).
TEST(UnifiedDiff, WorkStaysWithinAMultipleOfTheLines) {
  Versions versions(2);
  std::mt19937 random(7);
  for (int i = 0; i < 20'000; ++i) {
    const auto letter = static_cast<char>('a' + random() % 3);
    versions[0].first += {letter, '\n'};
    versions[0].second += {static_cast<char>('a' + (letter - 'a' + 1) % 3), '\n'};
    versions[1].first += std::to_string(i) + "\n";
    versions[1].second += std::to_string(i) + "\0\n"s;
  }
  for (const auto& [before, after] : versions) {
    StringSink out;
    std::uint64_t steps = 0;
    EXPECT_TRUE(writeUnifiedDiff(before, after, "f", out, steps));
    EXPECT_LE(steps, 2 * kExactDiffCost * (linesOf(before).size() + linesOf(after).size()));
  }
  expectPatchGivesAfter(versions);
}

}  // namespace
}  // namespace tagtree::explain
