// End-to-end tests: the real binary, a files.in in a fresh directory, and the exact
// bytes of standard output and standard error with the exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "run_tagtree.h"
#include "tag_text.h"

namespace tagtree::e2e {
namespace {

namespace fs = std::filesystem;

using tag_text::numberedTags;
using tag_text::repeated;
using tag_text::repeatedLines;

void expectRun(const WorkDir& dir, const std::string& out, int status,
               const RunOptions& options = {}) {
  const RunResult result = dir.run(options);
  EXPECT_EQ(result.out, out);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, status);
}

// Every bundled example: a folder holding a files.in and an expected.out, and
// expected.status when the status is not 0.
std::vector<fs::path> exampleFolders() {
  std::vector<fs::path> folders;
  for (const fs::directory_entry& entry : fs::directory_iterator(TAGTREE_SOURCE_DIR "/examples")) {
    if (fs::exists(entry.path() / "expected.out")) folders.push_back(entry.path());
  }
  std::sort(folders.begin(), folders.end());
  return folders;
}

class ExpectedFiles : public ::testing::TestWithParam<fs::path> {};

TEST_P(ExpectedFiles, OutputMatchesByteForByte) {
  const fs::path folder = GetParam();
  WorkDir dir;
  dir.write("files.in", readFile(folder / "files.in"));
  const int status =
      fs::exists(folder / "expected.status") ? std::stoi(readFile(folder / "expected.status")) : 0;
  const std::string out = readFile(folder / "expected.out");
  expectRun(dir, out, status);
  // tagtree-explain gives the same verdict, and each path is a tag's.
  expectExplainAgrees(dir, dir.run());
}

INSTANTIATE_TEST_SUITE_P(Cases, ExpectedFiles, ::testing::ValuesIn(exampleFolders()),
                         [](const ::testing::TestParamInfo<fs::path>& info) {
                           std::string name = info.param.parent_path().filename().string() + "_" +
                                              info.param.filename().string();
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(Capacities, ExactErrorLineAndStatus) {
  const std::string fiftyLines = repeatedLines("a", 50);
  struct Case {
    const char* what;
    std::string input;
    std::string out;
    int status;
  };
  const Case cases[] = {
      {"100 tags", numberedTags(0, 50) + "\n" + numberedTags(50, 50) + "\n", "", 0},
      {"101 tags", numberedTags(0, 50) + "\n" + numberedTags(50, 51) + "\n",
       "Error: ArrayBoundsError corvane(41)\n", 1},
      {"50 lines", fiftyLines, "/a\n", 0},
      {"51 lines", fiftyLines + "\n", "Error: ArrayBoundsError corvane(56)\n", 1},
      {"51 tags in a line", numberedTags(0, 51), "Error: ArrayBoundsError corvane(180)\n", 1},
      {"51 children",
       [] {
         std::string text;
         for (int line = 0; line < 50; ++line) {
           text += "p; p; c" + std::to_string(line) + (line == 0 ? "; c50" : "") + "\n";
         }
         return text;
       }(),
       "Error: ArrayBoundsError corvane(180)\n", 1},
      {"41 before 180 in one line",
       numberedTags(0, 50) + "\n" + numberedTags(50, 50) + "; t0; t100\n",
       "Error: ArrayBoundsError corvane(41)\n", 1},
      {"41 before 56",
       numberedTags(0, 50) + "\n" + numberedTags(50, 50) + "\n" + repeatedLines("t1", 48) +
           "t100\n",
       "Error: ArrayBoundsError corvane(41)\n", 1},
      {"180 before 56", fiftyLines + numberedTags(0, 51) + "\n",
       "Error: ArrayBoundsError corvane(180)\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WorkDir dir;
    dir.write("files.in", c.input);
    expectRun(dir, c.out, c.status);
  }
}

TEST(Reading, MissingFile) {
  WorkDir dir;
  expectRun(dir, "Error: files.in: No such file or directory\n", 1);
}

TEST(Reading, Directory) {
  WorkDir dir;
  ASSERT_EQ(::mkdir((dir.path() + "/files.in").c_str(), 0755), 0);
  expectRun(dir, "Error: files.in: Is a directory\n", 1);
}

TEST(Reading, SymlinkLoopAndDanglingSymlink) {
  WorkDir loop;
  ASSERT_EQ(::symlink("files.in", (loop.path() + "/files.in").c_str()), 0);
  expectRun(loop, "Error: files.in: Too many levels of symbolic links\n", 1);
  WorkDir dangling;
  ASSERT_EQ(::symlink("gone", (dangling.path() + "/files.in").c_str()), 0);
  expectRun(dangling, "Error: files.in: No such file or directory\n", 1);
}

TEST(Reading, UnreadableFile) {
  WorkDir dir;
  dir.write("files.in", "a\n");
  const std::string file = dir.path() + "/files.in";
  RunOptions options;
  options.unprivileged = true;  // root reads any file
  // Readable first, so that the denial below comes from the file's mode alone.
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  expectRun(dir, "/a\n", 0, options);
  ASSERT_EQ(::chmod(file.c_str(), 0), 0);
  expectRun(dir, "Error: files.in: Permission denied\n", 1, options);
}

TEST(Reading, SymlinkToStandardInputIsReadWhole) {
  WorkDir dir;
  ASSERT_EQ(::symlink("/dev/stdin", (dir.path() + "/files.in").c_str()), 0);
  RunOptions options;
  options.stdinBytes = "x; y\ny\nz; y\n";
  expectRun(dir, "/y\n/y/x\n/y/z\n", 0, options);
  // Larger than a pipe's buffer, so it arrives in many reads.
  options.stdinBytes = "big" + std::string(200000, 'g') + "\n";
  expectRun(dir, "/big" + std::string(200000, 'g') + "\n", 0, options);
}

TEST(Reading, FifoThatStaysOpenEndsAtItsAnswer) {
  // The writer keeps the FIFO open: it writes on for ever, or falls silent, or pauses
  // once. The run must end at its answer, not wait for bytes that may never come.
  enum class Then { kWritesForEver, kFallsSilent, kPausesThenCloses };
  struct Case {
    const char* what;
    std::string head;  // written first, at once
    Then then;
    std::string late;  // after the pause, once the tool has taken the head
    std::string out;
    int status;
  };
  const std::string fiftyTags = numberedTags(0, 50) + "\r" + numberedTags(50, 50) + "\r";
  const Case cases[] = {
      {"lines for ever", "", Then::kWritesForEver, "", "Error: ArrayBoundsError corvane(56)\n", 1},
      {"51 tags, then lines for ever", numberedTags(0, 51) + "\n", Then::kWritesForEver, "",
       "Error: ArrayBoundsError corvane(180)\n", 1},
      {"51 lines ended by CR", repeated("a\r", 51), Then::kFallsSilent, "",
       "Error: ArrayBoundsError corvane(56)\n", 1},
      {"101st tag ended by CR", fiftyTags + "t100\r", Then::kFallsSilent, "",
       "Error: ArrayBoundsError corvane(41)\n", 1},
      {"51 tags ended by CR", numberedTags(0, 51) + "\r", Then::kFallsSilent, "",
       "Error: ArrayBoundsError corvane(180)\n", 1},
      {"LF of a CR LF after a pause", "a\r", Then::kPausesThenCloses, "\n" + repeatedLines("a", 49),
       "/a\n", 0},
  };
  const std::string lines = repeatedLines("a; b", 800);  // 4,000 bytes, written whole
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WorkDir dir;
    const std::string fifo = dir.path() + "/files.in";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Opened for reading too, so that neither side waits for the other to open it; not
    // inherited by the tool, which would then hold a writer of its own input.
    const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, c.head.data(), c.head.size()), static_cast<ssize_t>(c.head.size()));
    std::atomic<bool> done = false;
    std::thread writer([&] {
      if (c.then == Then::kWritesForEver) {
        while (!done) {
          if (::write(fd, lines.data(), lines.size()) < 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));  // the pipe is full
          }
        }
      } else if (c.then == Then::kPausesThenCloses) {
        // Waits until the tool has read the head, and a little longer, so that it stands
        // at the end of the bytes at hand when the rest comes.
        int unread = 1;
        while (!done && ::ioctl(fd, FIONREAD, &unread) == 0 && unread > 0) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(::write(fd, c.late.data(), c.late.size()), static_cast<ssize_t>(c.late.size()));
        ::close(fd);
      }
    });
    RunOptions options;
    options.deadlineSeconds = 30;
    const RunResult result = dir.run(options);
    done = true;
    writer.join();
    if (c.then != Then::kPausesThenCloses) ::close(fd);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.signal, 0);
  }
}

TEST(Reading, FifoIsReadWhole) {
  WorkDir dir;
  const std::string fifo = dir.path() + "/files.in";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    const std::string text = "a; b\na\n";
    EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fd);
  });
  const RunResult result = dir.run();
  writer.join();
  EXPECT_EQ(result.out, "/a\n/a/b\n");
  EXPECT_EQ(result.status, 0);
}

TEST(Descriptors, ClosedOrFailingStandardStreams) {
  struct Case {
    const char* what;
    const char* input;  // nullptr: no files.in
    RunOptions options;
    std::string out;
    std::string err;
    int status;
  };
  RunOptions full, closed, stdinClosed, fullWithoutStderr, fullWithStderrFull;
  full.stdoutMode = fullWithoutStderr.stdoutMode = fullWithStderrFull.stdoutMode =
      StdoutMode::kDevFull;
  closed.stdoutMode = StdoutMode::kClosed;
  stdinClosed.stdinClosed = true;
  fullWithoutStderr.stderrClosed = true;
  fullWithStderrFull.stderrFullNonBlocking = true;
  const Case cases[] = {
      {"output on a full device", "a\n", full, "",
       "Error: standard output: No space left on device\n", 1},
      {"output closed", "a\n", closed, "", "Error: standard output: Bad file descriptor\n", 1},
      {"error line on a full device", nullptr, full, "",
       "Error: standard output: No space left on device\n", 1},
      {"files.in opened as descriptor 0", "a; b\na\n", stdinClosed, "/a\n/a/b\n", "", 0},
      {"output on a full device, nowhere to say so", "a\n", fullWithoutStderr, "", "", 1},
      {"error line waits for room on a full non-blocking pipe", "a\n", fullWithStderrFull, "",
       "Error: standard output: No space left on device\n", 1},
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.what);
    WorkDir dir;
    if (c.input != nullptr) dir.write("files.in", c.input);
    c.options.deadlineSeconds = 30;
    const RunResult result = dir.run(c.options);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.status, c.status);
  }
}

TEST(Output, PipeWithoutReaderEndsTheRunBySigpipe) {
  WorkDir dir;
  dir.write("files.in", "a\n");
  RunOptions options;
  options.stdoutMode = StdoutMode::kReaderGone;
  const RunResult result = dir.run(options);
  EXPECT_EQ(result.signal, SIGPIPE);
  EXPECT_EQ(result.err, "");
}

TEST(Output, BadUtf8EndsTheLineWithTheErrorLine) {
  WorkDir dir;
  dir.write("files.in",
            "ok\nab\xFF"
            "c\nlater\n");
  expectRun(dir, "/ok\n/abError: 4invalid UTF-8 sequence\n", 1);
}

TEST(Arguments, AreIgnored) {
  WorkDir dir;
  dir.write("files.in", "a; b\na\n");
  RunOptions options;
  options.arguments = {"--help", "-x", "other.in"};
  expectRun(dir, "/a\n/a/b\n", 0, options);
}

}  // namespace
}  // namespace tagtree::e2e
