#include "frame/frame.h"

#include <gtest/gtest.h>

#include <string>

#include "base/failure.h"

namespace tagtree {
namespace {

TEST(Frame, RunOnTextAppendsTheErrorLine) {
  struct Case {
    std::string text;
    std::string output;
    int status;
  };
  const Case cases[] = {
      {"", "", 0},
      {"a; b\na\n", "/a\n/a/b\n", 0},
      {"ab\xFF"
       "c\n",
       "/abError: 4invalid UTF-8 sequence\n", 1},
      {std::string(51, '\n'), "Error: ArrayBoundsError corvane(56)\n", 1},
  };
  for (const Case& c : cases) {
    StringSink sink;
    EXPECT_EQ(runOnText(c.text, sink), c.status) << c.text;
    EXPECT_EQ(sink.text(), c.output) << c.text;
  }
}

// A sink that runs out of memory on its first write, as the listing might.
class ExhaustedSink : public OutputSink {
 public:
  void write(std::string_view bytes) override {
    if (!failed_) {
      failed_ = true;
      throw std::bad_alloc();
    }
    text_.append(bytes);
  }
  std::string text_;

 private:
  bool failed_ = false;
};

TEST(Frame, OutOfMemoryIsReportedAsAFailure) {
  ExhaustedSink sink;
  EXPECT_EQ(runOnText("a\n", sink), 1);
  EXPECT_EQ(sink.text_, "Error: Out of memory\n");
}

TEST(Failure, Messages) {
  EXPECT_STREQ(boundsFailure(41).what(), "ArrayBoundsError corvane(41)");
  EXPECT_STREQ(readFailure(ENOENT).what(), "files.in: No such file or directory");
  EXPECT_STREQ(textFailure().what(), "4invalid UTF-8 sequence");
}

}  // namespace
}  // namespace tagtree
