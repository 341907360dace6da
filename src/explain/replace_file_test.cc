// Replacing a file whole or not at all, where the end-to-end tests cannot reach: a write
// that fails, a file that changes between reading and replacing it, a user who may set
// the group but not the owner, an attribute the process may not set; and that no copy is
// ever left beside it. What --fix refuses before reading, and what the new file keeps as
// root, tests/e2e/explain_test.cc tries.
#include "explain/replace_file.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace tagtree::explain {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
constexpr gid_t kOtherGroup = 12345;  // a group no file here starts in

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void write(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A directory of its own in /tmp, where the user nobody may work too, removed with what it
// holds.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/tagtree-replace-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) std::abort();
    path_ = pattern;
    fs::permissions(path_, fs::perms::all);
  }
  ~TempDir() { fs::remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  // The names in it, in order.
  std::vector<std::string> names() const {
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(path_)) {
      found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    return found;
  }

 private:
  fs::path path_;
};

// Reads `path` and replaces it with "new\n". Returns "" where both succeed, else the line
// that says why not.
std::string outcome(const fs::path& path) {
  ReplaceableFile file;
  std::optional<FileRefusal> refused = file.read(path.c_str());
  if (!refused) refused = file.replace("new\n");
  return refused ? describe(*refused, path.filename().string()) : "";
}

// Runs `body` in a child process as the user nobody, whose group is nobody's and who is in
// `groups` besides, and returns what it returned. Precondition: the process is root.
std::string asNobody(const std::function<std::string()>& body, std::vector<gid_t> groups = {}) {
  int pipe[2];
  if (::pipe(pipe) != 0) std::abort();
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe[0]);
    if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(kNobody) != 0 ||
        ::setuid(kNobody) != 0) {
      ::_exit(126);
    }
    const std::string said = body();
    ::_exit(::write(pipe[1], said.data(), said.size()) == static_cast<ssize_t>(said.size()) ? 0
                                                                                            : 1);
  }
  ::close(pipe[1]);
  std::string said;
  char buffer[4096];
  for (ssize_t got; (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;) said.append(buffer, got);
  ::close(pipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  return said;
}

TEST(ReplaceFile, LeavesTheFileAndNoCopyWhereWritingFails) {
  TempDir dir;
  const fs::path file = dir.path() / "files.in";
  write(file, "old\n");
  // A child whose files may not grow past 16 bytes writes 64: the write fails with EFBIG.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ReplaceableFile replaced;
    const bool read = !replaced.read(file.c_str()) && replaced.bytes() == "old\n";
    const std::optional<FileRefusal> refused = replaced.replace(std::string(64, 'n'));
    ::_exit(read && refused && refused->replacing && refused->errnum == EFBIG ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(contents(file), "old\n");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"files.in"});
}

TEST(ReplaceFile, RefusesWhereTheFileChangedSinceItReadIt) {
  struct Case {
    const char* name;
    // Changes `file`, whose status was `read` when it was read.
    std::function<void(const fs::path& file, const struct stat& read)> change;
    std::string said;
    std::vector<std::string> names;  // in the directory after
  };
  // Sets the modification time of `path` to `seconds` and `nanoseconds`.
  const auto touch = [](const fs::path& path, time_t seconds, long nanoseconds) {
    const timespec times[2] = {{0, UTIME_OMIT}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  };
  const std::string changed = "cannot replace f: it changed after --fix read it";
  const std::vector<Case> cases = {
      {"its size alone",
       [&](const fs::path& f, const struct stat& read) {
         write(f, "old and more\n");
         touch(f, read.st_mtim.tv_sec, read.st_mtim.tv_nsec);
       },
       changed,
       {"f"}},
      {"its modification time's seconds",
       [&](const fs::path& f, const struct stat& read) {
         touch(f, read.st_mtim.tv_sec + 1, read.st_mtim.tv_nsec);
       },
       changed,
       {"f"}},
      {"its bytes, its size and modification time as they were: its change time",
       [&](const fs::path& f, const struct stat& read) {
         write(f, "new\n");
         touch(f, read.st_mtim.tv_sec, read.st_mtim.tv_nsec);
       },
       changed,
       {"f"}},
      {"its modification time's nanoseconds",
       [&](const fs::path& f, const struct stat& read) {
         touch(f, read.st_mtim.tv_sec, (read.st_mtim.tv_nsec + 1) % 1000000000);
       },
       changed,
       {"f"}},
      {"another file of the same size and time in its place",
       [&](const fs::path& f, const struct stat& read) {
         write(f.parent_path() / "g", "new\n");
         touch(f.parent_path() / "g", read.st_mtim.tv_sec, read.st_mtim.tv_nsec);
         fs::rename(f.parent_path() / "g", f);
       },
       changed,
       {"f"}},
      {"a second hard link",
       [](const fs::path& f, const struct stat&) {
         fs::create_hard_link(f, f.parent_path() / "g");
       },
       changed,
       {"f", "g"}},
      {"gone",
       [](const fs::path& f, const struct stat&) { fs::remove(f); },
       "cannot replace f: No such file or directory",
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path file = dir.path() / "f";
    write(file, "old\n");
    struct stat read;
    ASSERT_EQ(::stat(file.c_str(), &read), 0);
    ReplaceableFile replaced;
    ASSERT_FALSE(replaced.read(file.c_str()));
    c.change(file, read);
    const std::string after = c.names.empty() ? "" : contents(file);
    const std::optional<FileRefusal> refused = replaced.replace("fixed\n");
    ASSERT_TRUE(refused);
    EXPECT_EQ(describe(*refused, "f"), c.said);
    EXPECT_EQ(c.names.empty() ? "" : contents(file), after);
    EXPECT_EQ(dir.names(), c.names);
  }
}

TEST(ReplaceFile, KeepsTheOwnerOrRefuses) {
  if (::geteuid() != 0) GTEST_SKIP() << "runs as the user nobody, which only root may become";
  struct Case {
    const char* name;
    std::vector<gid_t> groups;  // nobody's, besides nobody's own
    uid_t owner;                // of the file
    std::string said;           // "" where it is replaced
  };
  const std::vector<Case> cases = {
      {"nobody's, in the file's group", {kOtherGroup}, kNobody, ""},
      {"nobody's, not in the file's group",
       {},
       kNobody,
       "f: in a group you are not in, which --fix cannot give the new file: it leaves it as it "
       "is"},
      {"another's",
       {kOtherGroup},
       0,
       "f: another user's file, which --fix would make yours: it leaves it as it is"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path file = dir.path() / "f";
    write(file, "old\n");
    ASSERT_EQ(::chown(file.c_str(), c.owner, kOtherGroup), 0);
    ASSERT_EQ(::chmod(file.c_str(), 06666), 0);
    EXPECT_EQ(asNobody([&file] { return outcome(file); }, c.groups), c.said);
    EXPECT_EQ(contents(file), c.said.empty() ? "new\n" : "old\n");
    struct stat now;
    ASSERT_EQ(::stat(file.c_str(), &now), 0);
    EXPECT_EQ(now.st_uid, c.owner);
    EXPECT_EQ(now.st_gid, kOtherGroup);
    EXPECT_EQ(now.st_mode & 07777, 06666u);  // setuid and setgid kept, as the owner is
    EXPECT_EQ(dir.names(), std::vector<std::string>{"f"});
  }
}

TEST(ReplaceFile, RefusesAnAttributeItCannotCopy) {
  if (::geteuid() != 0) GTEST_SKIP() << "gives a file capabilities, which only root may do";
  TempDir dir;
  const fs::path file = dir.path() / "f";
  write(file, "old\n");
  ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
  // The capability CAP_NET_BIND_SERVICE, which only root may give the new file.
  const unsigned char capability[20] = {0, 0, 0, 2, 0, 4};
  ASSERT_EQ(::setxattr(file.c_str(), "security.capability", capability, sizeof capability, 0), 0);
  EXPECT_EQ(asNobody([&file] { return outcome(file); }),
            "cannot replace f: extended attribute 'security.capability' cannot be copied: "
            "Operation not permitted");
  EXPECT_EQ(contents(file), "old\n");
  EXPECT_EQ(::getxattr(file.c_str(), "security.capability", nullptr, 0), 20);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"f"});
}

}  // namespace
}  // namespace tagtree::explain
