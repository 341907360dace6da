// What alike names and shown names know of Unicode, against utf8proc's own tables and NFC.
#include "explain/unicode_text.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

#include <cstdlib>
#include <memory>
#include <string>

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

// Returns `text` as `form` (utf8proc_NFC or utf8proc_NFD) normalises it.
std::string normalised(const std::string& text,
                       utf8proc_uint8_t* (*form)(const utf8proc_uint8_t*)) {
  const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> result(
      form(reinterpret_cast<const utf8proc_uint8_t*>(text.c_str())), &std::free);
  return reinterpret_cast<const char*>(result.get());
}

// Each character alone, decomposed, and after an "e", alone or after ASCII that fills a
// word of eight bytes and more: where NFC changes the text, a range is found; where it keeps
// it, none.
TEST(UnicodeText, FindsWhereNfcWouldChangeAText) {
  for (std::int32_t code = 0x80; code <= 0x10FFFF; ++code) {
    const auto category = utf8proc_category(code);
    if (category == UTF8PROC_CATEGORY_CN || category == UTF8PROC_CATEGORY_CO ||
        category == UTF8PROC_CATEGORY_CS)
      continue;
    utf8proc_uint8_t bytes[4];
    const std::string alone(reinterpret_cast<const char*>(bytes),
                            static_cast<std::size_t>(utf8proc_encode_char(code, bytes)));
    const std::string inText = "twelve bytes e" + alone + " and more";  // in a word's middle
    for (const std::string& text : {alone, normalised(alone, utf8proc_NFD), "e" + alone, inText}) {
      ASSERT_EQ(unnormalizedRanges(text).empty(), normalised(text, utf8proc_NFC) == text)
          << std::hex << code << " in " << text;
    }
  }
}

}  // namespace
}  // namespace tagtree::explain
