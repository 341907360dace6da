// writeFully against write calls that take less than asked, are interrupted, or take
// nothing at all.
#include "base/fd_sink.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace tagtree {
namespace {

// What the fake write call does on each call in turn: take up to this many bytes, or,
// when negative, fail with that errno negated. Past the script it takes everything.
std::vector<long> script;
std::size_t calls = 0;
std::string written;

ssize_t scriptedWrite(int, const void* data, std::size_t size) {
  const long step = calls < script.size() ? script[calls] : static_cast<long>(size);
  ++calls;
  if (step < 0) {
    errno = static_cast<int>(-step);
    return -1;
  }
  const std::size_t taken = std::min(size, static_cast<std::size_t>(step));
  written.append(static_cast<const char*>(data), taken);
  return static_cast<ssize_t>(taken);
}

TEST(WriteFully, GoesOnUntilAllIsWrittenOrAWriteFails) {
  struct Case {
    const char* what;
    std::vector<long> script;
    int result;
    std::string written;
  };
  const Case cases[] = {
      {"one write", {}, 0, "abcdef"},
      {"short writes", {1, 2, 0}, ENOSPC, "abc"},
      {"pieces", {1, 2}, 0, "abcdef"},
      {"interrupted", {-EINTR, 2, -EINTR}, 0, "abcdef"},
      {"nothing taken: no endless retry", {0}, ENOSPC, ""},
      {"an error", {3, -EIO}, EIO, "abc"},
  };
  for (const Case& c : cases) {
    script = c.script;
    calls = 0;
    written.clear();
    EXPECT_EQ(writeFully(1, "abcdef", 6, scriptedWrite), c.result) << c.what;
    EXPECT_EQ(written, c.written) << c.what;
  }
}

}  // namespace
}  // namespace tagtree
