#include "frame/input_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "frame/failure.h"

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
  void writeFile(const char* name, const std::string& bytes) const {
    const int fd = ::open(path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
  }
  std::string failureOf(const std::string& file) const {
    try {
      loadInputFile(file.c_str());
    } catch (const Failure& failure) {
      return failure.what();
    }
    return "";
  }
  std::string dir_;
};

TEST_F(InputFileTest, ReadsRegularFilesWhole) {
  for (const std::size_t size : {0ul, 1ul, 65535ul, 65536ul, 65537ul, 300000ul}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    writeFile("files.in", bytes);
    const InputText text = loadInputFile(path("files.in").c_str());
    EXPECT_EQ(text.bytes(), bytes) << size;
  }
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
  const InputText text = loadInputFile(path("fifo").c_str());
  writer.join();
  EXPECT_EQ(text.bytes(), bytes);
}

TEST_F(InputFileTest, FailuresCarryTheSystemText) {
  EXPECT_EQ(failureOf(path("missing")), "files.in: No such file or directory");
  EXPECT_EQ(failureOf(dir_), "files.in: Is a directory");
  ASSERT_EQ(::symlink("nowhere", path("dangling").c_str()), 0);
  EXPECT_EQ(failureOf(path("dangling")), "files.in: No such file or directory");
  ASSERT_EQ(::symlink("loop", path("loop").c_str()), 0);
  EXPECT_EQ(failureOf(path("loop")), "files.in: Too many levels of symbolic links");
}

}  // namespace
}  // namespace tagtree
