// What alike names and shown names know of Unicode, against utf8proc's own tables.
#include "explain/unicode_text.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

namespace tagtree::explain {
namespace {

// White_Space is the space, line and paragraph separators, and five controls.
TEST(UnicodeText, WhiteSpaceIsUnicodesWhiteSpace) {
  int count = 0;
  for (char32_t code = 0; code <= 0x10FFFF; ++code) {
    const auto category = utf8proc_category(static_cast<utf8proc_int32_t>(code));
    const bool space = category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL ||
                       category == UTF8PROC_CATEGORY_ZP || (code >= 0x09 && code <= 0x0D) ||
                       code == 0x85;
    ASSERT_EQ(isWhiteSpace(code), space) << std::hex << static_cast<std::uint32_t>(code);
    count += space;
  }
  EXPECT_EQ(count, 25);
}

}  // namespace
}  // namespace tagtree::explain
