// Word scanning: lines, words, words cut by the end of a window, runs of skipped words,
// and block masks.
#include "pipeline/word_scanner.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace tagtree {
namespace {

using Lines = std::vector<std::vector<std::string>>;

// Cuts `text` into lines of words with the scanner alone, the way grouping walks it. The
// scanner sees the text grow `step` bytes at a time, as a window does, and must give
// the same words as when it sees the whole text at once.
Lines cutLines(std::string_view text, bool skipRuns, std::size_t step = SIZE_MAX) {
  Lines lines;
  WordScanner scanner;
  const char* p = text.data();
  const char* const end = p + text.size();
  const char* seen = step >= text.size() ? end : p + step;
  bool afterCr = false;
  while (p < end) {
    if (p == seen) seen = end - seen <= static_cast<std::ptrdiff_t>(step) ? end : seen + step;
    if (const char* start = startOfLine(p, afterCr); start != p) {
      p = start;
      afterCr = false;
      continue;
    }
    std::vector<std::string>& words = lines.emplace_back();
    for (;;) {
      if (skipRuns) p = skipSkippedWords(p, seen);
      ScannedWord scanned;
      while (!scanner.scan(p, seen, seen == end, scanned)) {
        seen = end - seen <= static_cast<std::ptrdiff_t>(step) ? end : seen + step;
      }
      if (!skipRuns || !isSkippedWord(scanned.word)) words.emplace_back(scanned.word);
      p = scanned.next;
      if (scanned.endsLine) {
        afterCr = scanned.endsAtCr;
        break;
      }
    }
  }
  return lines;
}

TEST(WordScanner, CutsLinesAndWords) {
  struct Case {
    std::string text;
    Lines expected;
  };
  const Case cases[] = {
      {"", {}},
      {"\n", {{""}}},
      {"\n\n", {{""}, {""}}},
      {"a; b\n", {{"a", "b"}}},
      {"a; b\r\n", {{"a", "b"}}},
      {"a; b\r", {{"a", "b"}}},
      {"a; b", {{"a", "b"}}},
      {"a\r\rb", {{"a"}, {""}, {"b"}}},
      {"a\n\rb", {{"a"}, {""}, {"b"}}},
      {"a; ; b", {{"a", "", "b"}}},
      {"a;  ; b", {{"a", " ", "b"}}},
      {"a; ", {{"a", ""}}},
      {"; a", {{"", "a"}}},
      {"a;b; c;", {{"a;b", "c;"}}},
      {"a;;  b", {{"a;", " b"}}},
      {"  ; x", {{"  ", "x"}}},
      {std::string("a\0b; c", 6), {{std::string("a\0b", 3), "c"}}},
      // Words and separators around the 8-byte chunk edges.
      {"abcdefg; hijklmnop; q", {{"abcdefg", "hijklmnop", "q"}}},
      {"abcdefgh; ijklmnop\r\nqrstuvw;", {{"abcdefgh", "ijklmnop"}, {"qrstuvw;"}}},
      {"abcdefg;x; abcdefghijklmno;", {{"abcdefg;x", "abcdefghijklmno;"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cutLines(c.text, false), c.expected) << "text: " << c.text;
  }
}

TEST(WordScanner, SkippingRunsDropsOnlySkippedWords) {
  const std::string texts[] = {
      "; ; ; ; ; ; ; ; ; a; ; ; b; ; ; \n; ; ",
      "a; ; ; ; ; ; ; ; ; ; ; ; ;  ; b",
      "; ; ; ; ; ; ; ; ; ; ; ; ; ; ; ; ; \r\n",
      "x; ; ; ; ;; ; y",
  };
  for (const std::string& text : texts) {
    Lines expected = cutLines(text, false);
    for (auto& words : expected) std::erase_if(words, isSkippedWord);
    EXPECT_EQ(cutLines(text, true), expected) << "text: " << text;
  }
  // Runs of empty and one-space words in any mix, long enough for whole blocks, broken
  // by the pieces that end a run: two spaces, a stray ';', a tag, a line end.
  const std::string pieces[] = {"; ", "; ", " ; ", " ; ", "  ; ", ";", " ", "a", "\n", "\r"};
  std::mt19937 random(4242);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int i = static_cast<int>(random() % 60); i > 0; --i) {
      text += pieces[random() % (random() % 8 == 0 ? std::size(pieces) : 4)];
    }
    Lines expected = cutLines(text, false);
    for (auto& words : expected) std::erase_if(words, isSkippedWord);
    EXPECT_EQ(cutLines(text, true, 1 + round % 40), expected) << "text: " << text;
  }
}

// Cuts `text` into lines of words one byte at a time, straight from the rules: a line
// ends at CR, LF or CR LF, words end at "; ".
Lines cutLinesByteByByte(std::string_view text) {
  Lines lines;
  std::size_t i = 0;
  while (i < text.size()) {
    std::vector<std::string>& words = lines.emplace_back();
    std::string word;
    for (;;) {
      if (i == text.size()) break;
      const char c = text[i];
      if (c == '\n' || c == '\r') {
        i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        break;
      }
      if (c == ';' && i + 1 < text.size() && text[i + 1] == ' ') {
        words.push_back(word);
        word.clear();
        i += 2;
        continue;
      }
      word += c;
      ++i;
    }
    words.push_back(word);
  }
  return lines;
}

TEST(WordScanner, LongWordsAreCutAsByteByByte) {
  // Words up to 100 bytes, so that word ends fall at every offset of the 32-byte blocks,
  // with stray ';', CR and LF inside the blocks, seen whole and growing by 1 to 40 bytes.
  std::mt19937 random(54321);
  const char rare[] = {';', ' ', '\r', '\n', '\xF0', '\0'};
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int words = 1 + static_cast<int>(random() % 6);
    for (int w = 0; w < words; ++w) {
      const int length = static_cast<int>(random() % 101);
      for (int i = 0; i < length; ++i) {
        text += random() % 16 == 0 ? rare[random() % std::size(rare)]
                                   : static_cast<char>('a' + random() % 26);
      }
      text += random() % 4 == 0 ? "\n" : "; ";
    }
    const Lines expected = cutLinesByteByByte(text);
    EXPECT_EQ(cutLines(text, false), expected) << "text: " << text;
    EXPECT_EQ(cutLines(text, false, 1 + round % 40), expected) << "text: " << text;
  }
}

TEST(WordScanner, BlockMasksFlagSeparatorsWordEndsAndSpaces) {
  // The classifier and its portable twin, against the rules and so against each other,
  // on random blocks rich in the bytes that matter and their near neighbours.
  std::mt19937 random(777);
  const char likely[] = {';', '\r', '\n', ' ', ':', '<', '\x0B', '\x0C', '\x8D', '\x8A', '\xBB'};
  for (int round = 0; round < 5000; ++round) {
    char block[kBlockSize + 1];
    for (char& byte : block) {
      byte = random() % 2 == 0 ? likely[random() % std::size(likely)]
                               : static_cast<char>(random() % 256);
    }
    BlockMasks expected{0, 0, 0};
    for (int i = 0; i < kBlockSize; ++i) {
      const std::uint32_t bit = 1u << i;
      const bool separator = block[i] == ';' && block[i + 1] == ' ';
      if (separator) expected.separators |= bit;
      if (separator || block[i] == '\r' || block[i] == '\n') expected.wordEnds |= bit;
      if (block[i] == ' ') expected.spaces |= bit;
    }
    EXPECT_EQ(classifyBlock(block), expected) << round;
    EXPECT_EQ(classifyBlockPortable(block), expected) << round;
    // The quick check the scan passes long words with never misses an end.
    if (expected.wordEnds != 0) {
      EXPECT_TRUE(word_scan_detail::mayEndWord(block)) << round;
    }
  }
#if defined(__SSE2__)
  // It passes over the blocks of a word of ';' and letters, with no space nor line end.
  const std::string dense = "t1" + std::string(kBlockSize, ';') + "a;a;Zz\x7F\xFF;";
  for (std::size_t at = 0; at + kBlockSize < dense.size(); ++at) {
    EXPECT_FALSE(word_scan_detail::mayEndWord(dense.data() + at)) << at;
  }
#endif
}

TEST(WordScanner, IsSkippedWordOnlyForEmptyAndOneSpace) {
  EXPECT_TRUE(isSkippedWord(""));
  EXPECT_TRUE(isSkippedWord(" "));
  EXPECT_FALSE(isSkippedWord("  "));
  EXPECT_FALSE(isSkippedWord("a"));
  EXPECT_FALSE(isSkippedWord(std::string_view("\0", 1)));
}

}  // namespace
}  // namespace tagtree
