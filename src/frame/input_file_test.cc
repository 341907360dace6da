// Loading files.in: mapped and read bytes, files that must be read, and failures.
#include "frame/input_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <utility>

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

TEST_F(InputFileTest, MappingAndReadingGiveTheSameBytes) {
  for (const std::size_t size :
       {1ul, 4095ul, 4096ul, 4097ul, 65535ul, 65536ul, 65537ul, 300000ul}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    writeFile("files.in", bytes);
    const InputText mapped = loadInputFile(path("files.in").c_str());
    const InputText read = loadInputFile(path("files.in").c_str(), LoadMethod::kRead);
    EXPECT_TRUE(mapped.mapped()) << size;
    EXPECT_FALSE(read.mapped()) << size;
    EXPECT_EQ(mapped.bytes(), bytes) << size;
    EXPECT_EQ(read.bytes(), bytes) << size;
  }
}

TEST_F(InputFileTest, FilesReportingNoSizeAreRead) {
  writeFile("files.in", "");
  const InputText empty = loadInputFile(path("files.in").c_str());
  EXPECT_FALSE(empty.mapped());
  EXPECT_EQ(empty.bytes(), "");
  // Regular, reports size 0, yet has content: mapping would take it as empty.
  const InputText proc = loadInputFile("/proc/self/status");
  EXPECT_FALSE(proc.mapped());
  EXPECT_NE(proc.bytes().find("Name:"), std::string_view::npos);
}

TEST_F(InputFileTest, MovedTextKeepsItsBytes) {
  writeFile("files.in", "a; b\n");
  InputText text = loadInputFile(path("files.in").c_str());
  InputText moved(std::move(text));
  EXPECT_EQ(moved.bytes(), "a; b\n");
  EXPECT_TRUE(moved.mapped());
  EXPECT_EQ(text.bytes(), "");
  text = std::move(moved);
  EXPECT_EQ(text.bytes(), "a; b\n");
}

// Limits the address space to what is in use plus `spare` bytes.
void limitAddressSpace(std::size_t spare) {
  std::size_t pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%zu", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  const rlim_t limit = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + spare;
  const struct rlimit rl = {limit, limit};
  ::setrlimit(RLIMIT_AS, &rl);
}

TEST_F(InputFileTest, AFileLargerThanTheAddressSpaceIsOutOfMemory) {
#ifdef TAGTREE_SANITIZED
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
#endif
  // A sparse file of 1 GiB, loaded in a child with 64 MiB of address space to spare.
  const int fd = ::open(path("files.in").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 1L << 30), 0);
  ::close(fd);
  for (const LoadMethod method : {LoadMethod::kMapOrRead, LoadMethod::kRead}) {
    EXPECT_EXIT(
        {
          limitAddressSpace(64L << 20);
          try {
            loadInputFile(path("files.in").c_str(), method);
          } catch (const std::bad_alloc&) {
            std::_Exit(0);
          }
          std::_Exit(1);
        },
        ::testing::ExitedWithCode(0), "");
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
  EXPECT_FALSE(text.mapped());
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
