// The input window giving up its buffer to a word it holds.
#include "pipeline/input_window.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tagtree {
namespace {

TEST(InputWindow, TakeFrontKeepsTheWordAndGoesOnWithTheRest) {
  // The word at the front, a position after it, and the bytes that follow: at once, after
  // some, and at the end of what was read; then the next read lands after them.
  const std::string text = "first word; second\nthird; fourth";
  struct Case {
    std::size_t readSize, keep, at;
  };
  for (const Case c :
       {Case{12, 10, 10}, Case{12, 10, 12}, Case{32, 10, 15}, Case{32, 1, 32}, Case{10, 10, 10}}) {
    SCOPED_TRACE(std::to_string(c.readSize) + " " + std::to_string(c.keep) + " " +
                 std::to_string(c.at));
    TextSource source(text);
    InputWindow window(source, c.readSize);
    ASSERT_TRUE(window.refill(window.begin()));
    const std::size_t held = static_cast<std::size_t>(window.end() - window.begin());
    const char* p = window.begin() + c.at;
    const MallocBytes word = window.takeFront(c.keep, p);
    EXPECT_EQ(std::string_view(word.get(), c.keep), text.substr(0, c.keep));
    EXPECT_EQ(std::string_view(window.begin(), window.end()), text.substr(c.keep, held - c.keep));
    EXPECT_EQ(p - window.begin(), static_cast<std::ptrdiff_t>(c.at - c.keep));
    window.refill(p);  // keeps the bytes from p on, and reads more after them
    std::string rest(window.begin(), window.end());
    while (window.refill(window.end())) rest.append(window.begin(), window.end());
    EXPECT_EQ(rest, text.substr(c.at));
  }
}

}  // namespace
}  // namespace tagtree
