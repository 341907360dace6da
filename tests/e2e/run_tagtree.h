// Runs the built tagtree, or tagtree-explain, as a user would: in a directory of its own, with
// standard output and standard error captured, and the exit status returned.
#ifndef TAGTREE_TESTS_E2E_RUN_TAGTREE_H_
#define TAGTREE_TESTS_E2E_RUN_TAGTREE_H_

#include <string>
#include <vector>

namespace tagtree::e2e {

// kReaderGone: a pipe whose read end is already closed.
// kNonBlockingPipe: a pipe of 64 KiB whose write end, the tool's, is non-blocking, read by
// a thread of this process that waits 300 ms before it starts; what it reads is `out`.
enum class StdoutMode { kCaptured, kDevFull, kClosed, kReaderGone, kNonBlockingPipe };

// The programs the tests run.
enum class Program { kTagtree, kExplain };

// Whether tagtree-explain was built (the TAGTREE_EXPLAIN option): without it, the tests
// of it are left out.
#if TAGTREE_EXPLAIN_BUILT
inline constexpr bool kExplainBuilt = true;
#else
inline constexpr bool kExplainBuilt = false;
#endif

struct RunOptions {
  Program program = Program::kTagtree;
  std::vector<std::string> arguments;
  StdoutMode stdoutMode = StdoutMode::kCaptured;
  // Fed to the tool's standard input through a pipe, unless that is closed.
  std::string stdinBytes;
  // Start the tool with these descriptors closed, so that the files it opens take them.
  bool stdinClosed = false;
  bool stderrClosed = false;
  // Standard error is a pipe like kNonBlockingPipe's, but already full when the tool
  // starts; `err` is what the tool wrote to it.
  bool stderrFullNonBlocking = false;
  // The tool runs without the power to read every file: when the tests run as root, as
  // the user nobody, from a copy of it in the working directory.
  bool unprivileged = false;
  // When nonzero, the tool runs with its address space limited to this many bytes.
  unsigned long addressSpaceLimit = 0;
  // When nonzero, the tool is killed (SIGKILL) if it has not ended after this long.
  int deadlineSeconds = 0;
};

struct RunResult {
  std::string out;
  std::string err;  // empty when standard error was closed
  int status = -1;  // exit status, or -1 when killed by a signal
  int signal = 0;
};

// A temporary working directory, removed with everything in it on destruction.
class WorkDir {
 public:
  WorkDir();
  ~WorkDir();
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes `bytes` to the file `name` in this directory.
  void write(const std::string& name, const std::string& bytes) const;
  // Runs the program with this directory as its working directory.
  RunResult run(const RunOptions& options = {}) const;

 private:
  std::string path_;
};

// Returns the contents of the file at `path`; fails the test if it cannot be read.
std::string readFile(const std::string& path);

// Checks that tagtree-explain, run in `dir` with --format=json, gives the verdict of
// tagtree's run `tagtree` there: its status, its error line, the paths it prints whole,
// and, where it succeeds, exactly the paths it prints, as the tags' paths. And that
// tagtree-explain --tree prints what tagtree prints, where it succeeds or stops at a name
// that is not UTF-8. Checks nothing where tagtree-explain is not built.
void expectExplainAgrees(const WorkDir& dir, const RunResult& tagtree);

}  // namespace tagtree::e2e

#endif  // TAGTREE_TESTS_E2E_RUN_TAGTREE_H_
