// ReplaceableFile: stat and refuse before opening, read whole through one descriptor; then
// mkostemp beside the target, write, owner, extended attributes, mode, fsync, a last stat
// against the one read took, rename, fsync of the directory.
#include "explain/replace_file.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "base/fd_sink.h"

namespace tagtree::explain {
namespace {

constexpr std::string_view kChangedWhile = "it changed while --fix read it";
constexpr std::string_view kChangedAfter = "it changed after --fix read it";

FileRefusal refusal(bool replacing, int errnum, std::string reason = {}) {
  return FileRefusal{replacing, errnum, std::move(reason), false};
}

FileRefusal hardLinks(nlink_t links) {
  return refusal(false, 0,
                 "has " + std::to_string(links) +
                     " hard links, which replacing it would split: --fix leaves it as it is");
}

// Returns whether the process is in the group `gid`.
bool inGroup(gid_t gid) {
  if (gid == ::getegid()) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = ::getgroups(count, groups.data());
  for (int i = 0; i < got; ++i) {
    if (groups[static_cast<std::size_t>(i)] == gid) return true;
  }
  return false;
}

// Returns why --fix may not replace the file whose status is `status`, at `path`, or
// std::nullopt where it may.
std::optional<FileRefusal> refusalOf(const char* path, const struct stat& status) {
  if (S_ISDIR(status.st_mode)) return refusal(false, EISDIR);
  if (!S_ISREG(status.st_mode)) {
    return refusal(false, 0, "not a regular file, which --fix cannot replace");
  }
  if (status.st_nlink > 1) return hardLinks(status.st_nlink);
  // Root may write any file, but one with no write bit is meant to be left alone.
  if ((status.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) != 0) {
    if ((status.st_mode & 0222) != 0 && errno != EACCES) return refusal(false, errno);
    return refusal(false, 0, "read-only: --fix leaves it as it is");
  }
  // The new file is the process's, in its group unless it may give it the file's: a file
  // that would so change hands, and be read by others, is left alone.
  if (::geteuid() != 0 && status.st_uid != ::geteuid()) {
    return refusal(false, 0,
                   "another user's file, which --fix would make yours: it leaves it as it is");
  }
  if (::geteuid() != 0 && !inGroup(status.st_gid)) {
    return refusal(false, 0,
                   "in a group you are not in, which --fix cannot give the new file: it leaves "
                   "it as it is");
  }
  return std::nullopt;
}

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Calls `call` with a buffer and its size until the buffer holds what it returns, as
// flistxattr and fgetxattr do: 0 (having set `bytes`), or the errno of the call.
template <typename Call>
int sizedCall(std::string& bytes, Call call) {
  for (;;) {
    const ssize_t size = call(nullptr, 0);
    if (size < 0) return errno;
    bytes.clear();
    if (size == 0) return 0;  // a second call of size 0 would ask for the size again
    bytes.resize(static_cast<std::size_t>(size));
    const ssize_t got = call(bytes.data(), bytes.size());
    if (got >= 0) {
      bytes.resize(static_cast<std::size_t>(got));
      return 0;
    }
    if (errno != ERANGE) return errno;  // ERANGE: it grew between the two calls
  }
}

// Returns the names of the extended attributes of `fd`, or std::nullopt having set
// `errnum`. A file system without them has none.
std::optional<std::vector<std::string>> attributeNames(int fd, int& errnum) {
  std::string list;
  errnum = sizedCall(
      list, [fd](char* buffer, std::size_t size) { return ::flistxattr(fd, buffer, size); });
  if (errnum == ENOTSUP) errnum = 0;
  if (errnum != 0) return std::nullopt;
  std::vector<std::string> names;
  // Each name ends in a NUL, which list.c_str() adds after the last should it lack one.
  for (std::size_t start = 0; start < list.size(); start += names.back().size() + 1) {
    names.emplace_back(list.c_str() + start);
  }
  return names;
}

FileRefusal attributeRefusal(const std::string& name, std::string_view what, int errnum) {
  return refusal(true, errnum, "extended attribute '" + name + "' cannot be " + std::string(what));
}

// Gives `to` exactly the extended attributes of `from`, ACLs among them. Returns
// std::nullopt, or why it cannot.
std::optional<FileRefusal> copyAttributes(int from, int to) {
  int errnum = 0;
  const std::optional<std::vector<std::string>> names = attributeNames(from, errnum);
  if (!names) return refusal(true, errnum, "its extended attributes cannot be listed");
  for (const std::string& name : *names) {
    std::string value;
    errnum = sizedCall(value, [from, &name](char* buffer, std::size_t size) {
      return ::fgetxattr(from, name.c_str(), buffer, size);
    });
    if (errnum != 0) return attributeRefusal(name, "read", errnum);
    if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0) {
      return attributeRefusal(name, "copied", errno);
    }
  }
  // The new file may have been given some of its own, such as an ACL of the directory's.
  const std::optional<std::vector<std::string>> given = attributeNames(to, errnum);
  if (!given) return refusal(true, errnum, "the new file's extended attributes cannot be listed");
  for (const std::string& name : *given) {
    bool kept = false;
    for (const std::string& copied : *names) kept = kept || copied == name;
    if (!kept && ::fremovexattr(to, name.c_str()) != 0) {
      return attributeRefusal(name, "removed from the new file", errno);
    }
  }
  return std::nullopt;
}

// Gives the new file `fd` the owner, extended attributes and mode of the file whose
// status is `old` and which `from` reads. Returns std::nullopt, or why it cannot.
std::optional<FileRefusal> copyMetadata(int from, const struct stat& old, int fd) {
  // The owner first: changing it clears the setuid and setgid bits. Root gives the file
  // its owner and group; any other process owns it already, and gives it its group.
  const uid_t owner = ::geteuid() == 0 ? old.st_uid : static_cast<uid_t>(-1);
  if (::fchown(fd, owner, old.st_gid) != 0) return refusal(true, errno, "its owner cannot be kept");
  struct stat made;
  if (::fstat(fd, &made) != 0) return refusal(true, errno);
  if (made.st_uid != old.st_uid || made.st_gid != old.st_gid) {
    return refusal(true, 0, "its owner cannot be kept");
  }
  if (std::optional<FileRefusal> refused = copyAttributes(from, fd)) return refused;
  // Last, since setting an ACL sets the mode too.
  if (::fchmod(fd, old.st_mode & 07777) != 0) return refusal(true, errno);
  return std::nullopt;
}

}  // namespace

std::optional<FileRefusal> refusalBeforeReading(const char* path) {
  struct stat status;
  if (::stat(path, &status) != 0) return refusal(false, errno);
  return refusalOf(path, status);
}

std::string describe(const FileRefusal& refusal, std::string_view file) {
  std::string line = refusal.replacing && !refusal.replaced ? "cannot replace " : "";
  line.append(file).append(": ").append(refusal.reason);
  if (refusal.errnum != 0) {
    if (!refusal.reason.empty()) line += ": ";
    line += std::strerror(refusal.errnum);
  }
  return line;
}

ReplaceableFile::~ReplaceableFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<FileRefusal> ReplaceableFile::read(const char* path) {
  // Refused before opening: opening a FIFO waits for a writer, a device may do anything.
  struct stat status;
  if (::stat(path, &status) != 0) return refusal(false, errno);
  if (std::optional<FileRefusal> refused = refusalOf(path, status)) return refused;
  // A symbolic link stays a link: the file it leads to is the one replaced.
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path, nullptr), &std::free);
  if (resolved == nullptr) return refusal(false, errno);
  target_ = resolved.get();
  // Non-blocking, in case what is there now is a FIFO after all.
  fd_ = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) return refusal(false, errno);
  if (::fstat(fd_, &read_) != 0) return refusal(false, errno);
  if (!sameFile(read_, status)) return refusal(true, 0, std::string(kChangedWhile));
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got > 0) {
      bytes_.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0) {
      return std::nullopt;
    } else if (errno != EINTR) {
      return refusal(false, errno);
    }
  }
}

std::optional<FileRefusal> ReplaceableFile::replace(std::string_view bytes) {
  struct stat old;
  if (::fstat(fd_, &old) != 0) return refusal(true, errno);
  // Named apart from the file: a name near the longest a directory takes leaves no room
  // for more.
  const std::size_t slash = target_.rfind('/');
  std::string temporary = target_.substr(0, slash + 1) + ".tagtree-explain-XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return refusal(true, errno);
  std::optional<FileRefusal> refused;
  if (const int failure = writeFully(fd, bytes.data(), bytes.size()); failure != 0) {
    refused = refusal(true, failure);
  }
  if (!refused) refused = copyMetadata(fd_, old, fd);
  if (!refused && ::fsync(fd) != 0) refused = refusal(true, errno);
  if (::close(fd) != 0 && !refused) refused = refusal(true, errno);
  const std::string directory = target_.substr(0, slash == 0 ? 1 : slash);
  const int directoryFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directoryFd < 0 && !refused) refused = refusal(true, errno);
  // The file is where it was, and as it was when read.
  struct stat now;
  if (!refused && ::stat(target_.c_str(), &now) != 0) refused = refusal(true, errno);
  // The change time too: a write that keeps the size and sets the modification time back,
  // as touch -d and cp -p do, moves it on all the same.
  if (!refused &&
      (!sameFile(now, read_) || now.st_size != read_.st_size ||
       now.st_mtim.tv_sec != read_.st_mtim.tv_sec || now.st_mtim.tv_nsec != read_.st_mtim.tv_nsec ||
       now.st_ctim.tv_sec != read_.st_ctim.tv_sec ||
       now.st_ctim.tv_nsec != read_.st_ctim.tv_nsec)) {
    refused = refusal(true, 0, std::string(kChangedAfter));
  }
  if (!refused && now.st_nlink > 1) refused = hardLinks(now.st_nlink);
  if (!refused && ::rename(temporary.c_str(), target_.c_str()) != 0) {
    refused = refusal(true, errno);
  }
  if (refused) {
    ::unlink(temporary.c_str());
  } else if (::fsync(directoryFd) != 0) {
    refused = refusal(true, errno, "replaced, but its directory could not be flushed");
    refused->replaced = true;
  }
  if (directoryFd >= 0) ::close(directoryFd);
  return refused;
}

}  // namespace tagtree::explain
