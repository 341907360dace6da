// replaceFile: realpath, mkstemp beside the target, write, fchmod, fchown, fsync, rename.
#include "explain/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/fd_sink.h"

namespace tagtree::explain {

int replaceFile(const char* path, std::string_view bytes) {
  // A symbolic link stays a link: the file it leads to is the one replaced.
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path, nullptr), &std::free);
  if (resolved == nullptr) return errno;
  const std::string target = resolved.get();
  struct stat status;
  if (::stat(target.c_str(), &status) != 0) return errno;
  if (!S_ISREG(status.st_mode)) return EINVAL;
  const std::size_t slash = target.rfind('/');
  std::string temporary =
      target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".tagtree-explain-XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  int failure = writeFully(fd, bytes.data(), bytes.size());
  if (failure == 0 && ::fchmod(fd, status.st_mode & 07777) != 0) failure = errno;
  // Only a privileged process may give the file away; any other makes its files its own,
  // as the file it replaces most likely was.
  if (failure == 0 && ::geteuid() == 0 && ::fchown(fd, status.st_uid, status.st_gid) != 0)
    failure = errno;
  if (failure == 0 && ::fsync(fd) != 0) failure = errno;
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) failure = errno;
  if (failure != 0) ::unlink(temporary.c_str());
  return failure;
}

}  // namespace tagtree::explain
