// End-to-end tests under hostile conditions: memory running out, standard output that
// cannot take the listing, names of megabytes, lines of a million words, and the odd
// bytes that exported or damaged files carry. Big inputs are generated here.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "run_tagtree.h"
#include "tag_text.h"

namespace tagtree::e2e {
namespace {

using namespace std::string_literals;

constexpr std::size_t kMiB = 1024 * 1024;

using tag_text::repeated;

// A name of about `size` bytes mixing ASCII with 2-, 3- and 4-byte characters.
std::string longName(std::size_t size) {
  return repeated("tag-\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80;", size / 14);
}

void expectRun(const WorkDir& dir, const std::string& out, int status,
               const RunOptions& options = {}) {
  const RunResult result = dir.run(options);
  EXPECT_EQ(result.out.size(), out.size());
  EXPECT_TRUE(result.out == out) << "first bytes: " << result.out.substr(0, 80);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, status);
  EXPECT_EQ(result.signal, 0);
}

struct Case {
  const char* what;
  std::string input;
  std::string out;
  int status;
};

void expectCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WorkDir dir;
    dir.write("files.in", c.input);
    expectRun(dir, c.out, c.status);
  }
}

// Running out of memory needs a lowered address-space limit, which a tool built with
// AddressSanitizer cannot start under: its shadow memory alone is far larger.
class MemoryExhaustion : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef TAGTREE_SANITIZED
    GTEST_SKIP() << "the sanitized tool reserves more address space than the limit";
#endif
    options_.addressSpaceLimit = 64 * kMiB;
  }
  RunOptions options_;
};

TEST_F(MemoryExhaustion, SmallInputStillRunsUnderTheLimit) {
  WorkDir dir;
  dir.write("files.in", "a; b\na\n");
  expectRun(dir, "/a\n/a/b\n", 0, options_);
}

TEST_F(MemoryExhaustion, FileLargerThanTheLimitReportsOutOfMemory) {
  WorkDir dir;
  // Sparse: its size is 100 MiB, yet it takes no disk.
  const int fd = ::open((dir.path() + "/files.in").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 100 * kMiB), 0);
  ::close(fd);
  expectRun(dir, "Error: Out of memory\n", 1, options_);
}

TEST_F(MemoryExhaustion, StreamLargerThanTheLimitIsReadInConstantMemory) {
  // A pipe of 100 MiB, 50 lines of a million skipped words each: memory holds only the
  // bytes at hand, so the whole stream is read under the limit.
  WorkDir dir;
  ASSERT_EQ(::symlink("/dev/stdin", (dir.path() + "/files.in").c_str()), 0);
  options_.stdinBytes = repeated("tag; " + repeated("; ", kMiB) + "other\n", 50);
  expectRun(dir, "/tag\n/other\n", 0, options_);
}

TEST(HostileOutput, ListingLargerThanTheBufferOnAFullDevice) {
  // The listing fails while it is written, not only at the final flush.
  WorkDir dir;
  const std::string name = longName(kMiB);
  dir.write("files.in", "P; " + name + "\nP\n");
  for (const StdoutMode mode : {StdoutMode::kDevFull, StdoutMode::kClosed}) {
    RunOptions options;
    options.stdoutMode = mode;
    const RunResult result = dir.run(options);
    EXPECT_EQ(result.err, mode == StdoutMode::kDevFull
                              ? "Error: standard output: No space left on device\n"
                              : "Error: standard output: Bad file descriptor\n");
    EXPECT_EQ(result.status, 1);
  }
}

TEST(HostileOutput, ListingLargerThanANonBlockingPipeGetsOutWhole) {
  // The pipe holds 64 KiB and is read only after a while, so a write finds it full (EAGAIN)
  // and the tool must wait for room rather than give up.
  WorkDir dir;
  const std::string name = longName(100 * 1000);
  dir.write("files.in", "P; " + name + "\nP\n");
  RunOptions options;
  options.stdoutMode = StdoutMode::kNonBlockingPipe;
  options.deadlineSeconds = 30;
  expectRun(dir, "/P\n/P/" + name + "\n", 0, options);
}

TEST(HostileInput, HugeNamesArePrintedUnchanged) {
  const std::string name = longName(5 * kMiB);
  const std::string twinA = repeated("n", 3 * kMiB) + "A";
  const std::string twinB = repeated("n", 3 * kMiB) + "B";
  expectCases({
      {"several megabytes", "P; " + name + "\nP\n", "/P\n/P/" + name + "\n", 0},
      {"names alike but for the last byte", twinA + "; " + twinB + "\n" + twinA + "\n",
       "/" + twinA + "\n/" + twinA + "/" + twinB + "\n", 0},
      {"bad byte at the very end", name + "\xFF\n", "/" + name + "Error: 4invalid UTF-8 sequence\n",
       1},
      {"a megabyte of NUL bytes", std::string(kMiB, '\0'), "/" + std::string(kMiB, '\0') + "\n", 0},
  });
}

TEST(HostileInput, LinesOfAMillionWords) {
  const std::size_t million = 1000000;
  expectCases({
      {"empty words", "a" + repeated("; ", million) + "b\na\n", "/a\n/a/b\n", 0},
      {"one-space words", "a; " + repeated(" ; ", million) + "b\na\n", "/a\n/a/b\n", 0},
      {"one tag repeated", repeated("a; ", million) + "a\n",
       "Error: ArrayBoundsError corvane(180)\n", 1},
      {"a million empty lines", std::string(million, '\n'), "Error: ArrayBoundsError corvane(56)\n",
       1},
  });
}

TEST(HostileInput, OddBytesAndLineEndings) {
  expectCases({
      {"NUL bytes inside names", "a\0b; c\0\na\0b\n"s, "/a\0b\n/a\0b/c\0\n"s, 0},
      {"byte-order mark joins the first name", "\xEF\xBB\xBFx; y\ny\nz; y\n",
       "/y\n/y/\xEF\xBB\xBFx\n/y/z\n", 0},
      {"UTF-16 byte-order mark is not UTF-8",
       "\xFF\xFE"
       "a\0\n",
       "/Error: 4invalid UTF-8 sequence\n", 1},
      {"CR without LF ends lines", "x; y\ry\rz; y", "/y\n/y/x\n/y/z\n", 0},
      {"50 lines ended by CR", repeated("a\r", 50), "/a\n", 0},
      {"51st line after CRs", repeated("a\r", 50) + "\r", "Error: ArrayBoundsError corvane(56)\n",
       1},
      {"LF then CR is two line ends", repeated("a\n\r", 25), "/a\n", 0},
      {"LF then CR past 50 lines", repeated("a\n\r", 26), "Error: ArrayBoundsError corvane(56)\n",
       1},
  });
}

TEST(HostileInput, FileThatShrinksAndGrowsWhileReadEndsTheRunNormally) {
  // A sparse file is cut back to its first lines and grown again, over and over, while
  // the tool reads it. Whatever it catches, it reads those lines and then zero bytes, so
  // it lists those lines, plus one more tag made of the zero bytes if it read any.
  WorkDir dir;
  const std::string head = "x; y\ny\nz; y\n" + repeated("y; w\n", 40);
  dir.write("files.in", head);
  const std::string headListing = "/y\n/y/x\n/y/z\n/w\n";
  const int fd = ::open((dir.path() + "/files.in").c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  std::atomic<bool> done = false;
  std::thread cutter([&] {
    while (!done) {
      EXPECT_EQ(::ftruncate(fd, 64 * kMiB), 0);
      std::this_thread::sleep_for(std::chrono::microseconds(300));
      EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(head.size())), 0);
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });
  int readZeros = 0;
  for (int run = 0; run < 40; ++run) {
    const RunResult result = dir.run();
    ASSERT_EQ(result.signal, 0) << "run " << run;
    ASSERT_EQ(result.status, 0) << "run " << run << ": " << result.out.substr(0, 80);
    ASSERT_EQ(result.out.substr(0, headListing.size()), headListing) << "run " << run;
    const std::string rest = result.out.substr(headListing.size());
    if (rest.empty()) continue;
    ++readZeros;
    EXPECT_TRUE(rest.size() >= 3 && rest.front() == '/' && rest.back() == '\n' &&
                rest.find_first_not_of('\0', 1) == rest.size() - 1)
        << "run " << run;
  }
  done = true;
  cutter.join();
  ::close(fd);
  RecordProperty("RunsThatReadZeroBytes", readZeros);
}

}  // namespace
}  // namespace tagtree::e2e
