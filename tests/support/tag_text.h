// Builders for the files.in texts that tests feed the tool, above all the ones that
// reach the capacity limits: many distinct tags, one tag repeated, many lines.
#ifndef TAGTREE_TESTS_SUPPORT_TAG_TEXT_H_
#define TAGTREE_TESTS_SUPPORT_TAG_TEXT_H_

#include <string>
#include <string_view>

namespace tagtree::tag_text {

// Returns one line, without terminator, of `count` distinct tags separated by "; ":
// `prefix` followed by the numbers first, first + 1, and so on.
inline std::string numberedTags(int first, int count, std::string_view prefix = "t") {
  std::string line;
  for (int i = first; i < first + count; ++i) {
    if (i > first) line += "; ";
    line += prefix;
    line += std::to_string(i);
  }
  return line;
}

// Returns one line, without terminator, holding `word` `times` times.
inline std::string repeatedTag(const std::string& word, int times) {
  std::string line = word;
  for (int i = 1; i < times; ++i) line += "; " + word;
  return line;
}

// Returns `times` copies of `piece`, one after another.
inline std::string repeated(std::string_view piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

// Returns `times` copies of `line`, each ended by LF.
inline std::string repeatedLines(const std::string& line, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += line + "\n";
  return text;
}

}  // namespace tagtree::tag_text

#endif  // TAGTREE_TESTS_SUPPORT_TAG_TEXT_H_
