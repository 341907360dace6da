// Replacing a file whole: where writing the new bytes fails, the file keeps its old ones
// and no copy is left beside it; where it succeeds, the file keeps its owner.
#include "explain/replace_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tagtree::explain {
namespace {

std::string contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ReplaceFile, LeavesTheFileAndNoCopyWhereWritingFails) {
  char pattern[] = "/tmp/tagtree-replace-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::filesystem::path dir = pattern, file = dir / "files.in";
  std::ofstream(file) << "old\n";
  // A child whose files may not grow past 16 bytes writes 64: the write fails with EFBIG.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(replaceFile(file.c_str(), std::string(64, 'n')) == EFBIG ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(contents(file), "old\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  // Where the process may give a file away, the new file is the old one's owner's.
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
  }
  EXPECT_EQ(replaceFile(file.c_str(), "new\n"), 0);
  EXPECT_EQ(contents(file), "new\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  struct stat after;
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  if (root) {
    EXPECT_EQ(after.st_uid, 65534u);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tagtree::explain
