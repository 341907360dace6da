// Replacing a file's bytes for --fix so that no one ever sees it half written, and so that
// it stays the same file in all but its bytes: the file is read once, and later the new
// bytes go into a file of their own beside it, with its owner, mode and extended
// attributes, which takes its place in one rename, unless the file changed meanwhile.
// Whatever cannot be kept whole is refused, and the file is left as it was.
#ifndef TAGTREE_EXPLAIN_REPLACE_FILE_H_
#define TAGTREE_EXPLAIN_REPLACE_FILE_H_

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>

namespace tagtree::explain {

// Why --fix leaves a file as it is.
struct FileRefusal {
  // False where the file was refused before it was read or while it was ("FILE: ..."),
  // true where it was refused when it came to replacing it ("cannot replace FILE: ...").
  bool replacing = false;
  // The errno of the step that failed, or 0 where none applies.
  int errnum = 0;
  // A short phrase in lower case saying why, or empty where strerror(errnum) says it.
  std::string reason;
  // The file was replaced all the same: only flushing its directory failed.
  bool replaced = false;
};

// Returns the line, without the program's name or a newline, that tells the user why
// --fix leaves `file` (as the user named it) as it is: "FILE: REASON" or "cannot replace
// FILE: REASON", REASON being `refusal.reason`, strerror(errnum), or both joined by ": ";
// "FILE: REASON" where it was replaced all the same.
std::string describe(const FileRefusal& refusal, std::string_view file);

// Returns why --fix would refuse the file at `path` before reading it, as read() would,
// or std::nullopt where it would read it: it is no regular file, has more than one hard
// link, denies this process writing it, or is another user's or in a group the process
// is not in, which the new file could not keep.
std::optional<FileRefusal> refusalBeforeReading(const char* path);

// A regular file read whole, to be replaced later. It holds the file open in between.
class ReplaceableFile {
 public:
  ReplaceableFile() = default;
  ~ReplaceableFile();
  ReplaceableFile(const ReplaceableFile&) = delete;
  ReplaceableFile& operator=(const ReplaceableFile&) = delete;

  // Reads the file at `path` (that a symbolic link at `path` leads to) whole into bytes().
  // Refuses it, without opening it, where refusalBeforeReading does (root is denied
  // writing a file with no write bit at all); or where it cannot be read. Returns
  // std::nullopt, or why it refuses. Call it once.
  std::optional<FileRefusal> read(const char* path);

  // The bytes read() read.
  const std::string& bytes() const { return bytes_; }

  // Replaces the file's bytes with `bytes`: writes them to a new file in the file's
  // directory, gives it the file's owner and group, its extended attributes and its mode,
  // flushes it to disk, and renames it over the file, then flushes the directory. Refuses
  // where the owner or an extended attribute cannot be kept, or where the file's device,
  // inode, size, modification or change time differ from when read() read it. Returns std::nullopt,
  // or why it refuses, in which case the file is as it was (unless only flushing the directory
  // failed) and the new one is gone. Precondition: read() returned std::nullopt. Call it at most
  // once.
  std::optional<FileRefusal> replace(std::string_view bytes);

 private:
  int fd_ = -1;            // the file, open for reading
  std::string target_;     // its path, without symbolic links
  struct stat read_ = {};  // fstat of fd_ before reading
  std::string bytes_;
};

}  // namespace tagtree::explain

#endif  // TAGTREE_EXPLAIN_REPLACE_FILE_H_
