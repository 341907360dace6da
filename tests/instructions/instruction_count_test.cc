// Instruction counts of the optimised tool under valgrind's cachegrind, on small versions
// of the benchmark's inputs (bench/run.py). The tool prints the same with or without its
// fast paths, so its cost is the only sign that one of them has gone, and wall-clock time
// is too noisy to test. An instruction count is not: the same binary on the same input
// executes the same instructions on every run. Each input must stay under a bound on the
// instructions it costs a byte, and at twice the size cost at most about twice as much.
// One more program is measured alike: the name index driven by a hash that every name
// shares, which at four times the names must cost about four times as much, not 16.
// Every figure is printed, so `ctest -L instructions -V` shows them all for re-measuring.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace tagtree::instructions {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMiB = 1024 * 1024;

// The major version of g++ the bounds were measured with. Another compiles the tool into
// other instructions, so with any other the tests skip themselves rather than fail.
constexpr int kMeasuredWithGcc = 12;

// At twice the size an input may cost at most this many times the instructions, start-up
// taken off: room for fixed costs that do not halve, not for a cost that grows faster.
constexpr double kMaxGrowthWhenDoubled = 2.1;
// At four times the names the crowded name index may cost this many times as much: room
// for the log of the names that a lookup in the overflow costs, not for their square.
constexpr double kMaxGrowthWhenQuadrupled = 5.0;

// Writes `unit` `times` times, in pieces of about 1 MiB.
void writeRepeated(std::ostream& out, std::string_view unit, std::size_t times) {
  const std::size_t perPiece = std::max<std::size_t>(1, kMiB / unit.size());
  std::string piece;
  for (std::size_t i = 0; i < perPiece; ++i) piece += unit;
  while (times > 0) {
    const std::size_t count = std::min(times, perPiece);
    out.write(piece.data(), static_cast<std::streamsize>(count * unit.size()));
    times -= count;
  }
}

// 50 lines of 1 to 4 distinct tags from a vocabulary of 100, tag k drawn with weight
// 1/(k+1). Its size cannot grow: the tool's capacities leave no room.
void writeTypical(std::ostream& out, int /*scale*/) {
  std::mt19937 rng(7);
  std::vector<std::uint32_t> cumulative;
  std::uint32_t total = 0;
  for (std::uint32_t k = 0; k < 100; ++k) cumulative.push_back(total += 720720 / (k + 1));
  for (int line = 0; line < 50; ++line) {
    const std::size_t wanted = 1 + rng() % 4;
    std::vector<long> tags;
    while (tags.size() < wanted) {
      const std::uint32_t draw = rng() % total;
      const long tag =
          std::upper_bound(cumulative.begin(), cumulative.end(), draw) - cumulative.begin();
      if (std::find(tags.begin(), tags.end(), tag) == tags.end()) tags.push_back(tag);
    }
    for (std::size_t i = 0; i < tags.size(); ++i) {
      char name[8];
      std::snprintf(name, sizeof name, "tag%02ld", tags[i]);
      out << (i == 0 ? "" : "; ") << name;
    }
    out << '\n';
  }
}

// Three names of `scale` MiB that differ only in 4 bytes, at `differAt` from their start:
// a parent on all six lines, and two children on two lines each, so the listing repeats
// the parent's name before each child. Every name is longer than several reads.
void writeLongNamesDifferingAt(std::ostream& out, std::size_t size, std::size_t differAt) {
  const auto name = [&](const char* digits) {
    return std::string(differAt, 'n') + digits + std::string(size - 4 - differAt, 'n');
  };
  const std::string names[] = {name("0000"), name("0001"), name("0002")};
  for (const int child : {1, 2, 1, 2, 0, 0}) {  // 0: the parent alone
    out << names[0];
    if (child != 0) out << "; " << names[child];
    out << '\n';
  }
}

// Names that differ in their last 4 bytes.
void writeLongNames(std::ostream& out, int scale) {
  writeLongNamesDifferingAt(out, scale * kMiB, scale * kMiB - 4);
}

// Names alike at both ends, differing in the middle, as many URLs are: their whole bytes
// tell them apart.
void writeLongNamesAlike(std::ostream& out, int scale) {
  writeLongNamesDifferingAt(out, scale * kMiB, scale * kMiB / 2);
}

// 50 lines, each a few tags around 20,000 * scale empty words ("; ; ; ...").
void writeSkippedWords(std::ostream& out, int scale) {
  for (int j = 0; j < 50; ++j) {
    out << "photo" << j % 5 << "; year" << j % 10 << "; ";
    writeRepeated(out, "; ", 20'000 * static_cast<std::size_t>(scale));
    out << "place" << j % 3 << "; camera\n";
  }
}

// Six lines of one tag each, "t1;a;a;..." of `scale` MiB: semicolons that no space follows,
// so none of them ends the word.
void writeSemicolonDense(std::ostream& out, int scale) {
  for (int line = 0; line < 6; ++line) {
    out << "t1";
    writeRepeated(out, ";a", scale * kMiB / 2 - 1);
    out << '\n';
  }
}

// Writes `words` pieces, each at random `either` or `or_`, from the random numbers of
// `seed`: a mix with no pattern that repeats.
void writeRandomPieces(std::ostream& out, std::uint64_t seed, int words, std::string_view either,
                       std::string_view or_) {
  std::mt19937_64 rng(seed);
  std::uint64_t bits = 0;
  for (int word = 0; word < words; ++word, bits >>= 1) {
    if (word % 64 == 0) bits = rng();
    out << ((bits & 1) != 0 ? either : or_);
  }
}

// 50 lines of "t1; " and then 20,000 * scale words, each at random empty ("; ") or one
// space (" ; "), all of them skipped.
void writeSkippedMix(std::ostream& out, int scale) {
  for (int line = 0; line < 50; ++line) {
    out << "t1; ";
    writeRandomPieces(out, 11 + line, 20'000 * scale, " ; ", "; ");
    out << '\n';
  }
}

// One line repeating one short tag 1,000,000 * scale times; it ends in the 180 failure.
void writeRepeats(std::ostream& out, int scale) {
  writeRepeated(out, "a; ", 1'000'000 * static_cast<std::size_t>(scale));
  out << '\n';
}

// One line "a; b; a; b; ..." of 1,000,000 * scale + 1 words; it ends in the 180 failure.
void writeAlternating(std::ostream& out, int scale) {
  writeRepeated(out, "a; b; ", 500'000 * static_cast<std::size_t>(scale));
  out << "a\n";
}

// One line of 1,000,000 * scale + 1 one-letter words, each at random a or b; it ends in
// the 180 failure.
void writeRandomWords(std::ostream& out, int scale) {
  writeRandomPieces(out, 13, 1'000'000 * scale, "a; ", "b; ");
  out << "a\n";
}

// 25,000 * scale lines of 1 to 5 tags from a vocabulary of 2,500 * scale names drawn with
// Zipf-like frequencies, each name brought in once by the first lines: a file far past
// tagtree's limits, which tagtree-explain reads whole. Twice the scale doubles the names
// too, so the name index grows with it.
[[maybe_unused]] void writeExplain(std::ostream& out, int scale) {
  const int names = 2'500 * scale;
  std::vector<double> cumulative;
  double total = 0;
  for (int k = 0; k < names; ++k) cumulative.push_back(total += 1.0 / (k + 1));
  std::mt19937_64 rng(17);
  std::uniform_real_distribution<double> draw(0, total);
  char name[24];
  for (int line = 0; line < 25'000 * scale; ++line) {
    const int tags = 1 + static_cast<int>(rng() % 5);
    for (int i = 0; i < tags; ++i) {
      const long k = i == 0 && line < names
                         ? line
                         : std::upper_bound(cumulative.begin(), cumulative.end(), draw(rng)) -
                               cumulative.begin();
      std::snprintf(name, sizeof name, "tag%05ld", std::min<long>(k, names - 1));
      out << (i == 0 ? "" : "; ") << name;
    }
    out << '\n';
  }
}

// 2,500 * scale distinct names, one a line, then the same names again, for the crowded
// index (tests/instructions/crowded_index.cc), which gives them all the same hash: in
// turn names of 8 bytes, held in their entries; of 16; and of 100, alike but for 5
// bytes in their middle.
void writeCrowdedNames(std::ostream& out, int scale) {
  std::string names;
  char name[24];
  for (int k = 0; k < 2'500 * scale; ++k) {
    if (k % 3 == 0) {
      std::snprintf(name, sizeof name, "s%07d", k);
      names += name;
    } else if (k % 3 == 1) {
      std::snprintf(name, sizeof name, "middling-%07d", k);
      names += name;
    } else {
      std::snprintf(name, sizeof name, "%05d", k);
      names += std::string(48, '<') + name + std::string(47, '>');
    }
    names += '\n';
  }
  out << names << names;
}

struct Input {
  const char* name;  // as in bench/run.py
  void (*write)(std::ostream&, int scale);
  const char* scaleOne;  // what the input is at scale 1; scale 2 doubles it, 4 quadruples it
  bool succeeds;         // else it ends in a failure line, status 1
  bool grows;            // measured at grownScale too
  double bound;          // instructions a byte, start-up taken off, at either scale
  const char* suspect;   // where to look when the input costs too much
  const char* program = TAGTREE_BINARY;  // or TAGTREE_EXPLAIN_BINARY, TAGTREE_CROWDED_INDEX_BINARY
  int grownScale = 2;
  double maxGrowth = kMaxGrowthWhenDoubled;  // the instructions at grownScale over those at 1
};

// Names the input in test output, in place of its bytes.
void PrintTo(const Input& input, std::ostream* out) { *out << input.name; }

constexpr const char* kLongWordScan =
    "a fast path has likely stopped working: the 32-byte block scan of long words, or the "
    "resumed scan of a long word after a read, which must go on where the last scan stopped "
    "(WordScanner::scan)";
constexpr const char* kLongNameLookup =
    "a fast path has likely stopped working: the 32-byte block scan of long words, the "
    "resumed scan of a long word after a read (WordScanner::scan), or the hash of a long name, "
    "32 bytes a round (nameHash)";
constexpr const char* kEmptyWordSkip =
    "a fast path has likely stopped working: the skip of runs of empty words "
    "(skipSkippedWords), or within it the one-compare test of 32 bytes of \"; \" pairs "
    "(holdsOnlyEmptyWords)";
constexpr const char* kMixedWordSkip =
    "a fast path has likely stopped working: the skip of runs of empty and one-space words "
    "(skipSkippedWords)";
constexpr const char* kWordByWord =
    "this input has no fast path of its own: look at what each short word costs, its scan "
    "(WordScanner::scan), the first test in skipSkippedWords and the name lookup "
    "(NameIndex::find)";
constexpr const char* kSurvey =
    "tagtree-explain's survey of a large file has likely slowed: look at the name index "
    "(NameIndex::find, the spread of short names over the table), the walk of each word and "
    "what the survey does with it (SurveyWalk::tagWord)";
constexpr const char* kCrowdedIndex =
    "the name index does more than bounded probes and a search of its overflow for each "
    "name when every name shares its hash: look at the window of a name's search "
    "(BasicNameIndex::kWindow) and the overflow";
constexpr const char* kShortLines =
    "this input has no fast path of its own: look at what a few short lines cost, their "
    "grouping, the inference and the listing";

// The bounds, in instructions a byte of input once start-up is taken off, each about 1.5
// times the figure measured with g++ 12 -O2 (the dev preset), valgrind 3.19, x86-64, where
// that stays under what the input costs without its fast path, and closer where it would
// not. The comments give that figure at scale 1 / scale 2, and what the input costs with
// a fast path switched off. Re-measure with `ctest --test-dir build/dev -L instructions -V`.
const Input kInputs[] = {
    // 173.4.
    {"typical", writeTypical, "50 lines of 1 to 4 tags", true, false, 250, kShortLines},
    // 3.16 / 3.08, of which the hash of each word, in four lanes as the scan passes its
    // blocks, is about 1.3: more instructions than one chain of multiplies took (2.79), in
    // less time (4.04 / 3.97 before a block inside a word was passed by a cheaper test
    // and the lanes kept in registers). Each word scanned again from its start after every
    // read: 8.64 / 13.69;
    // scanned a byte at a time: 56.3 / 95.9 (both measured with a key from a name's ends,
    // which took 0.7 a byte less).
    {"long names", writeLongNames, "names of 1 MiB", true, true, 5.0, kLongNameLookup},
    // 3.16 / 3.08, as long names: every name is hashed whole. Rescanned: 9.42 / 14.47; a
    // byte at a time: 57.0 / 96.7.
    {"long names alike", writeLongNamesAlike, "names of 1 MiB", true, true, 5.0, kLongNameLookup},
    // 0.65 / 0.62. Without skipSkippedWords: 56.5 / 56.5; without its one-compare test of
    // a block: 1.59 / 1.56.
    {"skipped words", writeSkippedWords, "runs of 20,000 empty words", true, true, 1.0,
     kEmptyWordSkip},
    // 2.73 / 2.67, the hash in four lanes as for long names (3.42 / 3.36 before the
    // cheaper test of a block; 2.46 / 2.40 in one chain then).
    // Rescanned: 8.19 / 13.36; a byte at a time: 72.3 / 124.1.
    {"semicolon-dense", writeSemicolonDense, "words of 1 MiB", true, true, 4.5, kLongNameLookup},
    // 1.90 / 1.89. With the block path of skipSkippedWords switched off, leaving its byte
    // loop and the one-compare block: 8.22 / 8.21; without skipSkippedWords: 46.6 / 46.6.
    {"skipped mix", writeSkippedMix, "runs of 20,000 empty and one-space words", true, true, 2.85,
     kMixedWordSkip},
    // 75.6 / 75.6, the same for the next two: each word is scanned ahead of its lookup,
    // and counted in its name's entry.
    {"repeats", writeRepeats, "1,000,000 words", false, true, 100, kWordByWord},
    {"alternating", writeAlternating, "1,000,001 words", false, true, 100, kWordByWord},
    {"random words", writeRandomWords, "1,000,001 words", false, true, 100, kWordByWord},
#ifdef TAGTREE_EXPLAIN_BINARY
    // 35.8 / 35.8, of which the tree without the limits, gathered in the walk and inferred
    // after it, takes about 8; 30.4 before the survey gathered it, and 44.8 before a word's
    // end was looked for in the first half of its block alone, the short names' hash
    // inlined and a line whose tags all have two parents skipped by the tree. The bound
    // is the ceiling the survey was held to before it gathered the tree, not 1.5 times. Without the
    // first 8
    // bytes of a name in its entry, so that every match
    // is confirmed by comparing the name's bytes: 33.5. With the table position of a
    // short name from one multiply and a fold, which leaves out its last bytes, so that
    // "tag00120" to "tag00129" crowd one place: 62.2 / 91.5, 2.94 times the instructions
    // for twice the bytes.
    {"explain", writeExplain, "25,000 lines of 2,500 names", false, true, 37, kSurvey,
     TAGTREE_EXPLAIN_BINARY},
#endif
    // 112.1 / 121.7 at four times the names, 4.34 times the instructions. With the window
    // of a name's search unbounded, so that each name is compared with every name before
    // it: 2078.5 / 8245.7, 15.9 times the instructions.
    {"crowded index", writeCrowdedNames, "2,500 names with the same hash, each twice", true, true,
     130, kCrowdedIndex, TAGTREE_CROWDED_INDEX_BINARY, 4, kMaxGrowthWhenQuadrupled},
};

// Returns `n` with its digits in groups of three, as valgrind prints counts.
std::string grouped(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// Returns `x` with `decimals` digits after the point.
std::string fixed(double x, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, x);
  return text;
}

// A temporary directory for one files.in, removed with its contents on destruction.
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/tagtree-instructions-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) std::abort();
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

struct ToolRun {
  std::uint64_t instructions = 0;
  int status = -1;  // the tool's exit status, which valgrind passes on
};

// Runs the tool under cachegrind with `dir` as its working directory and fills `run`.
// Fails the test when valgrind does not end normally or prints no instruction count.
void runUnderCachegrind(const char* program, const fs::path& dir, ToolRun& run) {
  const std::string errPath = (dir / "valgrind.err").string();
  const pid_t pid = ::fork();
  ASSERT_NE(pid, -1);
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    const int out = ::open("/dev/null", O_WRONLY);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0) ::_exit(126);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::execl(TAGTREE_VALGRIND, TAGTREE_VALGRIND, "--tool=cachegrind", "--cache-sim=no",
            "--cachegrind-out-file=/dev/null", program, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int waitStatus = 0;
  ASSERT_EQ(::waitpid(pid, &waitStatus, 0), pid);
  std::ifstream errFile(errPath);
  const std::string err{std::istreambuf_iterator<char>(errFile), std::istreambuf_iterator<char>()};
  ASSERT_TRUE(WIFEXITED(waitStatus)) << "valgrind did not end normally:\n" << err;
  run.status = WEXITSTATUS(waitStatus);
  std::smatch total;
  ASSERT_TRUE(std::regex_search(err, total, std::regex(R"(I\s+refs:\s+([0-9,]+))")))
      << "valgrind printed no I refs total:\n"
      << err;
  std::string digits = total[1];
  std::erase(digits, ',');
  run.instructions = std::stoull(digits);
}

// Returns the instructions of a run of `program` on an empty files.in: loading, start-up
// and exit, which every run pays once. Measured once per program and test program.
std::uint64_t startUpInstructions(const char* program) {
  static std::map<std::string, std::uint64_t> counts;
  if (const auto known = counts.find(program); known != counts.end()) return known->second;
  ScratchDir dir;
  std::ofstream(dir.path() / "files.in").close();
  ToolRun run;
  runUnderCachegrind(program, dir.path(), run);
  EXPECT_EQ(run.status, 0) << program << " on an empty files.in";
  return counts[program] = run.instructions;
}

struct Measured {
  std::uintmax_t bytes = 0;
  std::uint64_t instructions = 0;  // start-up taken off
  double perByte() const { return static_cast<double>(instructions) / static_cast<double>(bytes); }
};

class InstructionCount : public ::testing::TestWithParam<Input> {};

TEST_P(InstructionCount, StaysUnderBoundAndGrowsLinearly) {
  if (__GNUC__ != kMeasuredWithGcc) {
    GTEST_SKIP() << "the bounds were measured with g++ " << kMeasuredWithGcc
                 << ", and this build is by g++ " << __GNUC__
                 << ", which compiles the tool into other instructions";
  }
  const Input& input = GetParam();
  const std::uint64_t startUp = startUpInstructions(input.program);
  ASSERT_GT(startUp, 0u);
  Measured measured[2];
  const int scales[] = {1, input.grownScale};
  for (int k = 0; k < (input.grows ? 2 : 1); ++k) {
    const int scale = scales[k];
    const std::string what = std::string(input.name) + " (" + input.scaleOne +
                             (scale == 1 ? ")" : ", x" + std::to_string(scale) + ")");
    ScratchDir dir;
    {
      std::ofstream file(dir.path() / "files.in", std::ios::binary);
      input.write(file, scale);
      ASSERT_TRUE(file.good()) << what << ": could not write files.in";
    }
    ToolRun run;
    ASSERT_NO_FATAL_FAILURE(runUnderCachegrind(input.program, dir.path(), run)) << what;
    ASSERT_EQ(run.status, input.succeeds ? 0 : 1) << what << ": the input is made so that the tool "
                                                  << (input.succeeds ? "succeeds" : "fails");
    ASSERT_GT(run.instructions, startUp) << what << ": costs no more than an empty files.in";
    Measured& m = measured[k];
    m.bytes = fs::file_size(dir.path() / "files.in");
    m.instructions = run.instructions - startUp;
    std::printf(
        "[ figures  ] %s: %s bytes, %s instructions, %s of them start-up: %s a byte "
        "(bound %s)\n",
        what.c_str(), grouped(m.bytes).c_str(), grouped(run.instructions).c_str(),
        grouped(startUp).c_str(), fixed(m.perByte(), 2).c_str(), fixed(input.bound, 2).c_str());
    EXPECT_LE(m.perByte(), input.bound)
        << what << " costs " << fixed(m.perByte(), 2) << " instructions a byte ("
        << grouped(m.instructions) << " for " << grouped(m.bytes) << " bytes, a start-up of "
        << grouped(startUp) << " taken off), over its bound of " << fixed(input.bound, 2) << ": "
        << input.suspect
        << ". If the cost rose for a reason of its own, re-measure and adjust kInputs in "
           "tests/instructions/instruction_count_test.cc.";
  }
  if (!input.grows) return;
  // Twice the bytes may cost maxGrowth times the instructions, kMaxGrowthWhenDoubled; an
  // input whose grown size is not quite grownScale times is held to the same rate a byte.
  const double sizeRatio =
      static_cast<double>(measured[1].bytes) / static_cast<double>(measured[0].bytes);
  const double allowed = input.maxGrowth / input.grownScale * sizeRatio;
  const double growth =
      static_cast<double>(measured[1].instructions) / static_cast<double>(measured[0].instructions);
  std::printf("[ figures  ] %s: %s times the bytes cost %s times the instructions (at most %s)\n",
              input.name, fixed(sizeRatio, 2).c_str(), fixed(growth, 3).c_str(),
              fixed(allowed, 3).c_str());
  EXPECT_LE(growth, allowed) << input.name << " at " << fixed(sizeRatio, 2)
                             << " times the size costs " << fixed(growth, 3)
                             << " times the instructions (" << fixed(measured[0].perByte(), 2)
                             << " a byte, then " << fixed(measured[1].perByte(), 2) << "), over "
                             << fixed(allowed, 3)
                             << ": its cost grows faster than its size: " << input.suspect << ".";
}

INSTANTIATE_TEST_SUITE_P(BenchInputs, InstructionCount, ::testing::ValuesIn(kInputs),
                         [](const ::testing::TestParamInfo<Input>& info) {
                           std::string name = info.param.name;
                           std::replace_if(
                               name.begin(), name.end(),
                               [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
                               '_');
                           return name;
                         });

}  // namespace
}  // namespace tagtree::instructions
