// Process plumbing for the end-to-end tests: fork, redirect, exec, wait.
#include "run_tagtree.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#if TAGTREE_EXPLAIN_BUILT
#include <nlohmann/json.hpp>
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace tagtree::e2e {
namespace {

// Makes a pipe of 64 KiB whose write end is non-blocking, and fills it when `full`.
// Returns the number of bytes it was filled with.
std::size_t nonBlockingPipe(int fds[2], bool full) {
  if (::pipe(fds) != 0 || ::fcntl(fds[1], F_SETPIPE_SZ, 64 * 1024) < 0 ||
      ::fcntl(fds[1], F_SETFL, O_NONBLOCK) != 0) {
    std::abort();
  }
  std::size_t filled = 0;
  const char page[4096] = {};
  for (ssize_t n; full && (n = ::write(fds[1], page, sizeof page)) > 0;) {
    filled += static_cast<std::size_t>(n);
  }
  return filled;
}

// Starts a thread that waits 300 ms, then reads `fd` to its end into `bytes`, leaving out
// the first `skip` bytes, and closes it.
std::thread readLate(int fd, std::size_t skip, std::string& bytes) {
  return std::thread([fd, skip, &bytes] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    char chunk[64 * 1024];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) {
      bytes.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    bytes.erase(0, skip);
  });
}

}  // namespace

WorkDir::WorkDir() {
  char pattern[] = "/tmp/tagtree-e2e-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) std::abort();
  path_ = pattern;
}

WorkDir::~WorkDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }

void WorkDir::write(const std::string& name, const std::string& bytes) const {
  std::ofstream file(path_ + "/" + name, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(file.good()) << name;
}

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  EXPECT_TRUE(file.good()) << path;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

RunResult WorkDir::run(const RunOptions& options) const {
  const std::string outPath = path_ + "/.stdout", errPath = path_ + "/.stderr";
#if TAGTREE_EXPLAIN_BUILT
  const char* const binary =
      options.program == Program::kTagtree ? TAGTREE_BINARY : TAGTREE_EXPLAIN_BINARY;
#else
  if (options.program != Program::kTagtree) {
    ADD_FAILURE() << "tagtree-explain is not built (TAGTREE_EXPLAIN is OFF)";
    return {};
  }
  const char* const binary = TAGTREE_BINARY;
#endif
  std::vector<std::string> argv = {binary};
  argv.insert(argv.end(), options.arguments.begin(), options.arguments.end());

  // Root reads any file, so an unprivileged run as root becomes the user nobody, who must
  // be able to enter this directory (mkdtemp makes it 0700) and to run the tool, whose
  // build directory may lie where nobody cannot go: a copy here is run instead.
  const bool asNobody = options.unprivileged && ::geteuid() == 0;
  uid_t nobodyUid = 0;
  gid_t nobodyGid = 0;
  if (asNobody) {
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
      ADD_FAILURE() << "no user nobody to run the tool as";
      return {};
    }
    nobodyUid = nobody->pw_uid;
    nobodyGid = nobody->pw_gid;
    argv[0] = path_ + "/.tagtree";
    std::filesystem::copy_file(binary, argv[0], std::filesystem::copy_options::overwrite_existing);
    if (::chmod(argv[0].c_str(), 0755) != 0 || ::chmod(path_.c_str(), 0711) != 0) std::abort();
  }
  std::vector<char*> argvPointers;
  for (std::string& arg : argv) argvPointers.push_back(arg.data());
  argvPointers.push_back(nullptr);

  int input[2];
  if (::pipe(input) != 0) std::abort();
  int slowOut[2] = {-1, -1}, slowErr[2] = {-1, -1};
  std::size_t errFill = 0;
  if (options.stdoutMode == StdoutMode::kNonBlockingPipe) nonBlockingPipe(slowOut, false);
  if (options.stderrFullNonBlocking) errFill = nonBlockingPipe(slowErr, true);

  const pid_t pid = ::fork();
  if (pid == 0) {
    // The child: only async-signal-safe calls until exec.
    ::signal(SIGPIPE, SIG_DFL);
    if (::chdir(path_.c_str()) != 0) ::_exit(126);
    ::dup2(input[0], STDIN_FILENO);
    ::close(input[0]);
    ::close(input[1]);
    if (options.stderrFullNonBlocking) {
      ::close(slowErr[0]);
      ::dup2(slowErr[1], STDERR_FILENO);
      ::close(slowErr[1]);
    } else {
      const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(err, STDERR_FILENO);
      ::close(err);
    }
    if (options.stdoutMode == StdoutMode::kReaderGone) {
      int output[2];
      if (::pipe(output) != 0) ::_exit(126);
      ::close(output[0]);
      ::dup2(output[1], STDOUT_FILENO);
      ::close(output[1]);
    } else if (options.stdoutMode == StdoutMode::kNonBlockingPipe) {
      ::close(slowOut[0]);
      ::dup2(slowOut[1], STDOUT_FILENO);
      ::close(slowOut[1]);
    } else if (options.stdoutMode == StdoutMode::kClosed) {
      ::close(STDOUT_FILENO);
    } else {
      const int out = options.stdoutMode == StdoutMode::kDevFull
                          ? ::open("/dev/full", O_WRONLY)
                          : ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(out, STDOUT_FILENO);
      ::close(out);
    }
    if (options.addressSpaceLimit != 0) {
      const rlimit limit{options.addressSpaceLimit, options.addressSpaceLimit};
      ::setrlimit(RLIMIT_AS, &limit);
    }
    // After the capture files are open, which nobody could not create here.
    if (asNobody &&
        (::setgroups(0, nullptr) != 0 || ::setgid(nobodyGid) != 0 || ::setuid(nobodyUid) != 0)) {
      ::_exit(126);
    }
    // Last, so that no descriptor opened above takes their place.
    if (options.stdinClosed) ::close(STDIN_FILENO);
    if (options.stderrClosed) ::close(STDERR_FILENO);
    ::execv(argvPointers[0], argvPointers.data());
    ::_exit(127);
  }
  ::close(input[0]);
  // Feed standard input from a thread, so a tool that does not read it cannot block us.
  std::thread feeder([fd = input[1], bytes = options.stdinBytes] {
    ::signal(SIGPIPE, SIG_IGN);
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::close(fd);
  });
  std::string slowOutBytes, slowErrBytes;
  std::vector<std::thread> lateReaders;
  if (options.stdoutMode == StdoutMode::kNonBlockingPipe) {
    ::close(slowOut[1]);
    lateReaders.push_back(readLate(slowOut[0], 0, slowOutBytes));
  }
  if (options.stderrFullNonBlocking) {
    ::close(slowErr[1]);
    lateReaders.push_back(readLate(slowErr[0], errFill, slowErrBytes));
  }
  int waitStatus = 0;
  if (options.deadlineSeconds == 0) {
    ::waitpid(pid, &waitStatus, 0);
  } else {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(options.deadlineSeconds);
    while (::waitpid(pid, &waitStatus, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) ::kill(pid, SIGKILL);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  feeder.join();
  for (std::thread& reader : lateReaders) reader.join();

  RunResult result;
  if (WIFEXITED(waitStatus)) result.status = WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) result.signal = WTERMSIG(waitStatus);
  if (options.stdoutMode == StdoutMode::kCaptured) result.out = readFile(outPath);
  if (options.stdoutMode == StdoutMode::kNonBlockingPipe) result.out = std::move(slowOutBytes);
  if (options.stderrFullNonBlocking) {
    result.err = std::move(slowErrBytes);
  } else if (!options.stderrClosed) {
    result.err = readFile(errPath);
  }
  ::unlink(outPath.c_str());
  ::unlink(errPath.c_str());
  if (asNobody) ::unlink(argv[0].c_str());
  return result;
}

void expectExplainAgrees(const WorkDir& dir, const RunResult& tagtree) {
#if TAGTREE_EXPLAIN_BUILT
  RunOptions options;
  options.program = Program::kExplain;
  if (tagtree.status == 0 || tagtree.out.ends_with("Error: 4invalid UTF-8 sequence\n")) {
    options.arguments = {"--tree"};  // within the capacities: tagtree's bytes and status
    const RunResult tree = dir.run(options);
    EXPECT_EQ(tree.out, tagtree.out);
    EXPECT_EQ(tree.status, tagtree.status);
    EXPECT_EQ(tree.err, "");
  }
  options.arguments = {"--format=json"};
  const RunResult explained = dir.run(options);
  EXPECT_EQ(explained.status, tagtree.status);
  EXPECT_EQ(explained.err, "");
  const nlohmann::json report = nlohmann::json::parse(explained.out, nullptr, false);
  ASSERT_FALSE(report.is_discarded()) << "not JSON:\n" << explained.out;
  const nlohmann::json& verdict = report.at("verdict");
  EXPECT_EQ(verdict.at("status"), tagtree.status);
  // tagtree's output: whole lines of paths, then a cut path and the error line, if any.
  std::string listing = tagtree.out;
  if (tagtree.status != 0) {
    const std::size_t error = listing.rfind("Error: ");
    ASSERT_NE(error, std::string::npos) << tagtree.out;
    EXPECT_EQ(verdict.at("error"), listing.substr(error, listing.size() - error - 1));
    listing.erase(error);
  }
  std::multiset<std::string> paths;
  std::size_t start = 0;
  for (std::size_t end; (end = listing.find('\n', start)) != std::string::npos; start = end + 1)
    paths.insert(listing.substr(start, end - start));
  EXPECT_EQ(verdict.at("paths"), paths.size());
  if (tagtree.status != 0) return;
  std::multiset<std::string> stated;
  for (const nlohmann::json& tag : report.at("tags")) {
    if (!tag.at("path").is_null()) stated.insert(tag.at("path").get<std::string>());
  }
  EXPECT_EQ(stated, paths);
#else
  (void)dir;
  (void)tagtree;
#endif
}

}  // namespace tagtree::e2e
