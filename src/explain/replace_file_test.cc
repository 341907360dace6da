// Replacing a file whole or not at all: what --fix refuses before reading, what it refuses
// when the file changed after it read it, what the new file keeps of the old one, and that
// no copy is ever left beside it.
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
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <tuple>
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

// A directory of its own, removed with what it holds. In /tmp where that keeps user
// extended attributes, else in the working directory.
class TempDir {
 public:
  TempDir() {
    path_ = make("/tmp");
    if (::setxattr(path_.c_str(), "user.probe", "", 0, 0) != 0) {
      fs::remove_all(path_);
      path_ = make(fs::current_path());
    }
    fs::permissions(path_, fs::perms::all);  // the user nobody works here too
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
  static fs::path make(const fs::path& parent) {
    std::string pattern = (parent / "tagtree-replace-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }
  fs::path path_;
};

// Reads `path` and, unless `replacement` is null, replaces it with those bytes. Returns
// "" where both succeed, else the line that says why not.
std::string outcome(const fs::path& path, const char* replacement = "new\n") {
  ReplaceableFile file;
  std::optional<Refusal> refused = file.read(path.c_str());
  if (!refused && replacement != nullptr) refused = file.replace(replacement);
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
    const std::optional<Refusal> refused = replaced.replace(std::string(64, 'n'));
    ::_exit(read && refused && refused->replacing && refused->errnum == EFBIG ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(contents(file), "old\n");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"files.in"});
}

TEST(ReplaceFile, RefusesWhatItMayNotReplaceBeforeReadingIt) {
  const bool root = ::geteuid() == 0;
  struct Case {
    const char* name;
    std::function<void(const fs::path& file)> make;  // makes `file`
    bool nobody;                                     // read as the user nobody
    std::string said;                                // "" where it is read
  };
  const std::vector<Case> cases = {
      {"a FIFO", [](const fs::path& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0666), 0); }, false,
       "f: not a regular file, which --fix cannot replace"},
      {"a link to a device",
       [](const fs::path& f) { ASSERT_EQ(::symlink("/dev/null", f.c_str()), 0); }, false,
       "f: not a regular file, which --fix cannot replace"},
      {"a directory", [](const fs::path& f) { fs::create_directory(f); }, false,
       "f: Is a directory"},
      {"nothing", [](const fs::path&) {}, false, "f: No such file or directory"},
      {"a file of two hard links",
       [](const fs::path& f) {
         write(f, "x");
         fs::create_hard_link(f, f.parent_path() / "g");
       },
       false, "f: has 2 hard links, which replacing it would split: --fix leaves it as it is"},
      {"a file without a write bit",
       [](const fs::path& f) {
         write(f, "x");
         fs::permissions(f, fs::perms::owner_read | fs::perms::group_read);
       },
       false, "f: read-only: --fix leaves it as it is"},
      {"a file only its group may write, read by its owner",
       [](const fs::path& f) {
         write(f, "x");
         fs::permissions(f, fs::perms::owner_read | fs::perms::group_all);
       },
       false, root ? "" : "f: read-only: --fix leaves it as it is"},
      {"a file root may write, read by nobody",
       [](const fs::path& f) {
         write(f, "x");
         fs::permissions(f, fs::perms::owner_all | fs::perms::others_read);
       },
       true, "f: read-only: --fix leaves it as it is"},
      {"a file anyone may write, read by nobody",
       [](const fs::path& f) {
         write(f, "x");
         fs::permissions(f, fs::perms::all);
       },
       true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.nobody && !root) continue;  // only root may become nobody
    TempDir dir;
    const fs::path file = dir.path() / "f";
    c.make(file);
    const std::vector<std::string> before = dir.names();
    const auto read = [&file] { return outcome(file, nullptr); };
    EXPECT_EQ(c.nobody ? asNobody(read) : read(), c.said);
    EXPECT_EQ(dir.names(), before);
  }
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
  const std::string changed = "cannot replace f: it changed while --fix read it";
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
       "f: has 2 hard links, which replacing it would split: --fix leaves it as it is",
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
    const std::optional<Refusal> refused = replaced.replace("fixed\n");
    ASSERT_TRUE(refused);
    EXPECT_EQ(describe(*refused, "f"), c.said);
    EXPECT_EQ(c.names.empty() ? "" : contents(file), after);
    EXPECT_EQ(dir.names(), c.names);
  }
}

// What a file is besides its bytes, as replacing it must keep it.
struct Metadata {
  mode_t mode;
  uid_t uid;
  gid_t gid;
  std::map<std::string, std::string> attributes;
  bool operator==(const Metadata&) const = default;
};

Metadata metadataOf(const fs::path& path) {
  struct stat status;
  EXPECT_EQ(::stat(path.c_str(), &status), 0);
  Metadata metadata{status.st_mode, status.st_uid, status.st_gid, {}};
  char names[4096], value[4096];
  const ssize_t size = ::listxattr(path.c_str(), names, sizeof names);
  for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
    const ssize_t got = ::getxattr(path.c_str(), names + at, value, sizeof value);
    EXPECT_GE(got, 0) << names + at;
    metadata.attributes[names + at] = std::string(value, static_cast<std::size_t>(got));
  }
  return metadata;
}

std::ostream& operator<<(std::ostream& out, const Metadata& metadata) {
  out << std::oct << metadata.mode << std::dec << " " << metadata.uid << ":" << metadata.gid;
  for (const auto& [name, value] : metadata.attributes) out << " " << name << "=" << value.size();
  return out;
}

// An access ACL (or default ACL) as the kernel keeps it: the owner, the user nobody and the
// mask may read and write, the group and others read.
std::string acl() {
  std::string bytes;
  const auto put = [&bytes](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xFF);
  };
  put(2, 4);  // the format's version
  const std::uint32_t any = 0xFFFFFFFF;
  for (const auto& [tag, perm, id] :
       {std::tuple{1u, 6u, any}, std::tuple{2u, 6u, kNobody}, std::tuple{4u, 4u, any},
        std::tuple{0x10u, 6u, any}, std::tuple{0x20u, 4u, any}}) {
    put(tag, 2);
    put(perm, 2);
    put(id, 4);
  }
  return bytes;
}

TEST(ReplaceFile, KeepsTheOwnerTheModeAndTheExtendedAttributes) {
  const bool root = ::geteuid() == 0;
  struct Case {
    const char* name;
    bool needsRoot;
    std::function<void(const fs::path& file)> make;  // gives `file`, holding "old\n", more
  };
  const std::string access = acl();
  const std::vector<Case> cases = {
      {"setuid and setgid, another's", true,
       [](const fs::path& f) {
         ASSERT_EQ(::chown(f.c_str(), kNobody, kOtherGroup), 0);
         ASSERT_EQ(::chmod(f.c_str(), 06754), 0);
       }},
      {"user attributes and an ACL", false,
       [&access](const fs::path& f) {
         ASSERT_EQ(::setxattr(f.c_str(), "user.x", "1\0two", 5, 0), 0);
         ASSERT_EQ(::setxattr(f.c_str(), "user.empty", "", 0, 0), 0);
         ASSERT_EQ(
             ::setxattr(f.c_str(), "system.posix_acl_access", access.data(), access.size(), 0), 0);
         ASSERT_EQ(::chmod(f.c_str(), 0640), 0);
       }},
      {"none, in a directory whose new files have an ACL", false,
       [&access](const fs::path& f) {
         ASSERT_EQ(::setxattr(f.parent_path().c_str(), "system.posix_acl_default", access.data(),
                              access.size(), 0),
                   0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsRoot && !root) continue;  // only root may give a file away
    TempDir dir;
    const fs::path file = dir.path() / "f";
    write(file, "old\n");
    c.make(file);
    const Metadata before = metadataOf(file);
    struct stat old;
    ASSERT_EQ(::stat(file.c_str(), &old), 0);
    EXPECT_EQ(outcome(file), "");
    EXPECT_EQ(contents(file), "new\n");
    EXPECT_EQ(metadataOf(file), before);
    struct stat now;
    ASSERT_EQ(::stat(file.c_str(), &now), 0);
    EXPECT_NE(now.st_ino, old.st_ino);  // replaced, not written over
    EXPECT_EQ(dir.names(), std::vector<std::string>{"f"});
  }
}

TEST(ReplaceFile, KeepsOfTheOwnerWhatAUserMaySet) {
  if (::geteuid() != 0) GTEST_SKIP() << "runs as the user nobody, which only root may become";
  struct Case {
    const char* name;
    std::vector<gid_t> groups;  // nobody's, besides nobody's own
    uid_t owner;                // of the file before
    mode_t mode;
    gid_t gid;     // of the file after
    mode_t after;  // its mode
  };
  const std::vector<Case> cases = {
      {"in the file's group", {kOtherGroup}, kNobody, 02664, kOtherGroup, 02664},
      {"not in the file's group, which is not kept, nor setgid", {}, kNobody, 02666, kNobody, 0666},
      {"not the file's owner, which is not kept, nor setuid",
       {kOtherGroup},
       0,
       04666,
       kOtherGroup,
       0666},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path file = dir.path() / "f";
    write(file, "old\n");
    ASSERT_EQ(::chown(file.c_str(), c.owner, kOtherGroup), 0);
    ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
    EXPECT_EQ(asNobody([&file] { return outcome(file); }, c.groups), "");
    EXPECT_EQ(contents(file), "new\n");
    struct stat now;
    ASSERT_EQ(::stat(file.c_str(), &now), 0);
    EXPECT_EQ(now.st_uid, kNobody);
    EXPECT_EQ(now.st_gid, c.gid);
    EXPECT_EQ(now.st_mode & 07777, c.after);
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
  const Metadata before = metadataOf(file);
  EXPECT_EQ(asNobody([&file] { return outcome(file); }),
            "cannot replace f: extended attribute 'security.capability' cannot be copied: "
            "Operation not permitted");
  EXPECT_EQ(contents(file), "old\n");
  EXPECT_EQ(metadataOf(file), before);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"f"});
}

}  // namespace
}  // namespace tagtree::explain
