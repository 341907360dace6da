// Reading files.in: every kind of file read to its end the same way, and failures.
#include "base/input_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "base/failure.h"

namespace tagtree {
namespace {

// A fresh temporary directory, removed with its files at the end.
class InputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tagtree-input-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string path(const char* name) const { return dir_ + "/" + name; }
  std::string failureOf(const std::string& file) const {
    try {
      InputFile input(file.c_str());
      readAll(input);
    } catch (const Failure& failure) {
      return failure.what();
    }
    return "";
  }
  // Reads `input` to its end in reads of at most `readSize` bytes.
  static std::string readAll(InputFile& input, std::size_t readSize = 4096) {
    std::string bytes;
    std::string buffer(readSize, '\0');
    while (const std::size_t got = input.read(buffer.data(), buffer.size())) {
      bytes.append(buffer, 0, got);
    }
    EXPECT_EQ(input.read(buffer.data(), buffer.size()), 0u) << "read again after the end";
    return bytes;
  }
  std::string dir_;
};

TEST_F(InputFileTest, ReadsRegularFilesAndFilesReportingNoSize) {
  std::string bytes(300000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  const int fd = ::open(path("files.in").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ::close(fd);
  for (const std::size_t readSize : {1ul, 4095ul, 65536ul, 1000000ul}) {
    InputFile input(path("files.in").c_str());
    EXPECT_EQ(readAll(input, readSize), bytes) << readSize;
  }
  // Regular, reports size 0, yet has content.
  InputFile proc("/proc/self/status");
  EXPECT_NE(readAll(proc).find("Name:"), std::string::npos);
}

TEST_F(InputFileTest, ReadsAFifoToTheEnd) {
  ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
  const std::string bytes(200000, 'x');
  std::thread writer([&] {
    const int fd = ::open(path("fifo").c_str(), O_WRONLY);
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t n =
          ::write(fd, bytes.data() + done, std::min<std::size_t>(4096, bytes.size() - done));
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::close(fd);
  });
  InputFile input(path("fifo").c_str());
  const std::string read = readAll(input);
  writer.join();
  EXPECT_EQ(read, bytes);
}

TEST_F(InputFileTest, FailuresCarryTheSystemText) {
  EXPECT_EQ(failureOf(path("missing")), "files.in: No such file or directory");
  EXPECT_EQ(failureOf(dir_), "files.in: Is a directory");
  ASSERT_EQ(::symlink("nowhere", path("dangling").c_str()), 0);
  EXPECT_EQ(failureOf(path("dangling")), "files.in: No such file or directory");
  ASSERT_EQ(::symlink("loop", path("loop").c_str()), 0);
  EXPECT_EQ(failureOf(path("loop")), "files.in: Too many levels of symbolic links");
  // Opens, but every read fails.
  EXPECT_EQ(failureOf("/proc/self/mem"), "files.in: Input/output error");
}

}  // namespace
}  // namespace tagtree
