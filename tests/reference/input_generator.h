// Random inputs for the tests that compare the tool with the literal models and with
// tagtree-explain: shapes aimed at each part of the rules and each capacity, and files
// far past the capacities.
#ifndef TAGTREE_TESTS_REFERENCE_INPUT_GENERATOR_H_
#define TAGTREE_TESTS_REFERENCE_INPUT_GENERATOR_H_

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tag_text.h"

namespace tagtree::reference {

// Builds random inputs of several shapes, each aimed at a different part of the rules.
class InputGenerator {
 public:
  enum Shape {
    kSmall,
    kManyTags,
    kManyLines,
    kLongLine,
    kManyChildren,
    kOverflowingLine,
    kSlidingWord,
    kByteSoup,
    kShapes
  };

  explicit InputGenerator(unsigned seed) : random_(seed) {}

  std::string make(Shape shape) {
    switch (shape) {
      case kSmall:
        return text(vocabulary(pick(1, 8)), pick(0, 8), 0, 6);
      case kManyTags:
        return text(numbered(pick(95, 110)), pick(2, 12), 20, 45);
      case kManyLines:
        return text(vocabulary(pick(1, 4)), pick(46, 54), 0, 3);
      case kLongLine:
        return text(vocabulary(pick(1, 10)), pick(1, 3), 44, 56);
      case kManyChildren:
        return manyChildren();
      case kOverflowingLine:
        return overflowingLine();
      case kSlidingWord:
        return slidingWord();
      default:
        return byteSoup();
    }
  }

  // A file far past the capacities, made so that the tree has every kind of place: a few
  // thousand lines and hundreds of tags, of which a few broad ones head most lines, each
  // with tags of its own; some lines of up to 100 tags; now and then a name with odd
  // bytes, and rarely one that is not UTF-8.
  std::string largeFile() {
    std::vector<std::string> names = numbered(pick(200, 700));
    for (std::string& name : names) {
      if (chance(3)) name = vocabulary(1)[0];
    }
    const int broad = pick(3, 15);
    if (chance(30)) names[static_cast<std::size_t>(pick(0, broad - 1))] += "\xFF";
    return hierarchy(names, pick(1000, 4000), broad, true);
  }

  // A file for a drawing: tens of lines and tags whose names hold what DOT and Graphviz
  // give a meaning to (quotes, backslashes and its escapes, braces, arrows, HTML), and
  // now and then a control character or bytes that are not UTF-8.
  std::string drawnFile() {
    static const std::vector<std::string> kPieces = {"a",
                                                     "b",
                                                     "news",
                                                     "say \"hi\"",
                                                     "\"",
                                                     "\\",
                                                     "\\N",
                                                     "\\n",
                                                     "\\l",
                                                     "back\\slash",
                                                     "<b>x</b>",
                                                     "&amp;",
                                                     "{",
                                                     "}",
                                                     "->",
                                                     "--",
                                                     "[label=x]",
                                                     "node",
                                                     "digraph",
                                                     "x y",
                                                     "  ",
                                                     "caf\xC3\xA9",
                                                     "\xF0\x9F\x98\x80",
                                                     "\xE2\x80\xAE",
                                                     "%s",
                                                     ";",
                                                     "/"};
    static const std::vector<std::string> kOdd = {"\t",   std::string(1, '\0'), "\x7F", "\xFF",
                                                  "\xC3", "\xED\xA0\x80"};
    std::vector<std::string> names;
    for (int i = pick(5, 60); i > 0; --i) {
      std::string name;
      for (int pieces = pick(1, 3); pieces > 0; --pieces) {
        name += chance(3) ? kOdd[pick(0, static_cast<int>(kOdd.size()) - 1)]
                          : kPieces[pick(0, static_cast<int>(kPieces.size()) - 1)];
      }
      names.push_back(name);
    }
    return hierarchy(names, pick(10, 200), pick(1, 5), false);
  }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool chance(int percent) { return pick(1, 100) <= percent; }

  // Names built from pieces that matter: separators' bytes, formats, NUL, and UTF-8
  // both good and bad. Bad pieces are rare, so most runs get to the listing.
  std::vector<std::string> vocabulary(int size) {
    static const std::vector<std::string> kGood = {"a",
                                                   "b",
                                                   "c",
                                                   "ab",
                                                   "x y",
                                                   "a;b",
                                                   ";",
                                                   "  ",
                                                   "%s",
                                                   "/",
                                                   "%n",
                                                   "\t",
                                                   "Z",
                                                   std::string(1, '\0'),
                                                   "\xC3\xA9",
                                                   "\xE2\x82\xAC",
                                                   "\xF0\x9F\x98\x80",
                                                   "\xEF\xBB\xBF",
                                                   "\xF4\x8F\xBF\xBF"};
    static const std::vector<std::string> kBad = {
        "\xFF", "\x80", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\xF8"};
    std::vector<std::string> names;
    for (int i = 0; i < size; ++i) {
      std::string name;
      for (int pieces = pick(1, 3); pieces > 0; --pieces) {
        name += chance(4) ? kBad[pick(0, static_cast<int>(kBad.size()) - 1)]
                          : kGood[pick(0, static_cast<int>(kGood.size()) - 1)];
      }
      names.push_back(name);
    }
    return names;
  }

  std::vector<std::string> numbered(int size) {
    std::vector<std::string> names;
    for (int i = 0; i < size; ++i) names.push_back("t" + std::to_string(i));
    return names;
  }

  std::string terminator() {
    static const char* const kEnds[] = {"\n", "\r", "\r\n"};
    return kEnds[pick(0, 2)];
  }

  // `lineCount` lines of `minWords` to `maxWords` words each, drawn from `names`, with
  // the occasional empty word, one-space word and empty line.
  std::string text(const std::vector<std::string>& names, int lineCount, int minWords,
                   int maxWords) {
    std::string result;
    for (int line = 0; line < lineCount; ++line) {
      if (line > 0) result += terminator();
      if (chance(10)) continue;  // an empty line
      const int words = pick(minWords, maxWords);
      for (int word = 0; word < words; ++word) {
        if (word > 0) result += "; ";
        if (chance(3)) {
          result += skippedRun();
        } else if (chance(5)) {
          result += chance(50) ? "" : " ";
        } else {
          result += names[pick(0, static_cast<int>(names.size()) - 1)];
        }
      }
      if (chance(5)) result += "; ";
    }
    if (lineCount > 0 && chance(70)) result += terminator();
    return result;
  }

  // A run of empty and one-space words, long enough to fill whole blocks; it ends where
  // the next word would start.
  std::string skippedRun() {
    std::string run;
    for (int i = pick(8, 40); i > 0; --i) run += chance(50) ? "; " : " ; ";
    return run.substr(0, run.size() - 2);
  }

  // Up to 100 distinct tags on the first lines, then a line that overflows its group with
  // known tags, often in a repeating pattern, and may bring new names after that: 180,
  // or 41 when they pass the 100th.
  std::string overflowingLine() {
    const int known = pick(85, 100);
    std::string result;
    for (int first = 0; first < known; first += 50) {
      result += tag_text::numberedTags(first, std::min(50, known - first)) + terminator();
    }
    const int period = pick(1, 6);
    for (int word = 0, words = pick(51, 300); word < words; ++word) {
      if (word > 0) result += "; ";
      if (chance(4)) {
        result += skippedRun();
      } else if (chance(10)) {
        result += "u" + std::to_string(pick(0, 15));  // a new name, or one seen already
      } else {
        result += "t" + std::to_string(chance(70) ? word % period : pick(0, known - 1));
      }
    }
    if (chance(30)) result += "; " + skippedRun();
    if (chance(50)) result += terminator();
    return result;
  }

  // A word that may pass for a skipped one, at one place in a run of empty words longer
  // than two 32-byte blocks: successive calls slide each such word through every offset
  // of the run, even and odd, so that it crosses every block edge the run has.
  std::string slidingWord() {
    static const char* const kWords[] = {"  ", ";", " ", "y"};
    constexpr unsigned kRunWords = 40;
    const unsigned step = slides_++;
    const char* const word = kWords[step % 4];
    const bool odd = step / 4 % 2 != 0;  // a one-space word first shifts the run by one byte
    const unsigned before = step / 8 % (kRunWords + 1);
    std::string run = odd ? " ; " : "";
    for (unsigned i = 0; i < before; ++i) run += "; ";
    run += word;
    for (unsigned i = before; i < kRunWords; ++i) run += "; ";
    return "x; " + run + terminator() + "x\n";
  }

  // One frequent parent and close to 50 rare children spread over a few lines.
  std::string manyChildren() {
    const int children = pick(46, 54);
    const int perLine = pick(20, 48);
    std::string result;
    for (int child = 0; child < children; child += perLine) {
      result += "p; p";
      for (int i = child; i < std::min(children, child + perLine); ++i) {
        result += "; c" + std::to_string(i);
      }
      result += terminator();
    }
    return result;
  }

  std::string byteSoup() {
    static const char kBytes[] = {'a',    'b',    ';',    ' ',    ' ',    ';',    '\r',
                                  '\n',   '\0',   '/',    '%',    's',    '\xFF', '\xC3',
                                  '\xA9', '\xE2', '\x82', '\xAC', '\xF0', '\x9F', '\xED',
                                  '\xA0', '\xC0', '\x80', '\xEF', '\xBB'};
    std::string result;
    for (int i = pick(0, 80); i > 0; --i) {
      result += kBytes[pick(0, static_cast<int>(sizeof kBytes) - 1)];
    }
    return result;
  }

  // `lineCount` lines over `names`: the first `broad` are frequent, and most lines hold
  // one of them and one or two tags whose home it is; the last tenth are leaves, each on
  // lines with one tag of a home, always the same; other lines hold a few tags of the
  // homes, the first of them most often; and with `longLines`, a few lines of 50 to 100.
  std::string hierarchy(const std::vector<std::string>& names, int lineCount, int broad,
                        bool longLines) {
    const int size = static_cast<int>(names.size());
    const int leaves = size / 10;
    const int owned = size - leaves;  // names below it are broad ones or their tags
    broad = std::clamp(broad, 1, std::max(1, owned / 3));
    // A tag of its own of the broad tag `home`, or any tag of a home, drawn with weights
    // falling steeply from the first to the last.
    const auto ownOf = [&](int home) { return home + broad * pick(1, (owned - 1 - home) / broad); };
    const auto anyOwn = [&] {
      const double u = std::uniform_real_distribution<double>(0, 1)(random_);
      return broad + std::min(owned - broad - 1, static_cast<int>((owned - broad) * u * u * u));
    };
    std::string result;
    for (int line = 0; line < lineCount; ++line) {
      std::vector<int> tags;
      const int kind = pick(1, 100);
      if (longLines && pick(1, lineCount) <= 4) {  // about four such lines a file
        for (int i = pick(50, 100); i > 0; --i) tags.push_back(anyOwn());
      } else if (kind <= 65) {
        const int home = pick(0, broad - 1);
        tags = {home, ownOf(home)};
        if (chance(20)) tags.push_back(ownOf(home));
      } else if (kind <= 75 && leaves > 0) {
        const int leaf = pick(owned, size - 1);
        tags = {broad + leaf * 7919 % (owned - broad), leaf};
      } else if (kind <= 88) {
        tags = {pick(0, broad - 1)};
      } else {
        for (int i = pick(1, 5); i > 0; --i) tags.push_back(anyOwn());
      }
      std::shuffle(tags.begin(), tags.end(), random_);
      for (std::size_t i = 0; i < tags.size(); ++i) {
        if (i > 0) result += "; ";
        if (chance(2)) result += chance(50) ? "; " : " ; ";  // a skipped word
        result += names[static_cast<std::size_t>(tags[i])];
      }
      result += terminator();
    }
    return result;
  }

  std::mt19937 random_;
  unsigned slides_ = 0;
};

}  // namespace tagtree::reference

#endif  // TAGTREE_TESTS_REFERENCE_INPUT_GENERATOR_H_
