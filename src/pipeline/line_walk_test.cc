// The walk against a plain model of lines and words: what it tells a visitor, in order,
// and the tag words it counts for each name, for generated inputs read in pieces of many
// sizes, where lines hold more words than it scans ahead at once, words run past a read,
// and a word large enough to take the window's buffer stands between others.
#include "pipeline/line_walk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/byte_source.h"

namespace tagtree {
namespace {

// Writes each call of the walk as a line of text: "L" a line starts, "N name" a new
// name, "T slot flags" a tag word, "E" the line ends, "C1"/"C0" a CR with or without an
// LF after it.
struct Recorder {
  std::vector<std::string> calls;
  void startLine() { calls.push_back("L"); }
  void newName(std::uint32_t slot, std::string_view name) {
    calls.push_back("N " + std::to_string(slot) + " " + std::to_string(name.size()) + ":" +
                    std::string(name.substr(0, 12)));
  }
  void tagWord(const TagWord& word) {
    calls.push_back("T " + std::to_string(word.slot) + " " + (word.firstOccurrence ? "f" : "-") +
                    (word.repeatsInLine ? "r" : "-") + (word.startsLine ? "s" : "-") +
                    (word.endsLine ? "e" : "-"));
  }
  void endLine() { calls.push_back("E"); }
  void crLineEnd(bool followedByLf) { calls.push_back(followedByLf ? "C1" : "C0"); }
};

// The same calls from the rules alone: lines end at LF, CR or CR LF, and a final line end
// starts no line; words are cut at each "; ", and "" and " " are no tags.
struct Model {
  std::vector<std::string> calls;
  std::vector<std::uint64_t> counts;  // by slot
  explicit Model(const std::string& text) {
    Recorder recorder;
    std::map<std::string, std::uint32_t> slots;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
      const std::string line = text.substr(at, end - at);
      recorder.startLine();
      std::vector<std::string> words;
      for (std::size_t from = 0;;) {
        const std::size_t separator = line.find("; ", from);
        words.push_back(line.substr(from, separator - from));
        if (separator == std::string::npos) break;
        from = separator + 2;
      }
      std::map<std::uint32_t, bool> inLine;
      for (std::size_t k = 0; k < words.size(); ++k) {
        if (words[k].empty() || words[k] == " ") continue;
        const auto [known, added] = slots.try_emplace(words[k], slots.size());
        if (added) {
          recorder.newName(known->second, words[k]);
          counts.push_back(0);
        }
        ++counts[known->second];
        recorder.tagWord(
            {known->second, added, inLine[known->second], k == 0, k + 1 == words.size()});
        inLine[known->second] = true;
      }
      recorder.endLine();
      at = end + 1;
      if (end < text.size() && text[end] == '\r') {
        const bool lf = at < text.size() && text[at] == '\n';
        recorder.crLineEnd(lf);
        at += lf ? 1 : 0;
      }
    }
    calls = recorder.calls;
  }
};

// A text of `lines` lines from pieces drawn by `rng`: short names, names that hold ';',
// skipped words, every kind of line end, lines of up to 20 words, and now and then a
// name longer than a store block.
std::string generate(std::mt19937& rng, int lines) {
  static const char* const kNames[] = {
      "a",         "b",
      "tag01",     "tag02",
      "a;b",       ";",
      "x y",       "exactly8",
      "nine byte", "https://a.name.example/of/seventy/bytes/whose/blocks/the/scan/hashes"};
  static const char* const kEnds[] = {"\n", "\r\n", "\r", "\n", "\n\n"};
  // Where a name longer than a store block starts the text, a read larger than it holds
  // it whole, with the words after it: it takes the window's buffer, and they move along.
  std::string text = rng() % 3 == 0 ? std::string(300 * 1024, 'q') + "; b; tag01" : "";
  for (int line = 0; line < lines; ++line) {
    const int words = static_cast<int>(rng() % 21);
    for (int k = 0; k < words; ++k) {
      if (k > 0) text += "; ";
      const unsigned draw = rng() % 40;
      if (draw < 30) {
        text += kNames[draw % 10];
      } else if (draw < 38) {
        text += draw % 2 == 0 ? "" : " ";
      } else {
        text += std::string(300 * 1024, static_cast<char>('p' + draw % 2));
      }
    }
    text += kEnds[rng() % 5];
  }
  if (rng() % 2 == 0) text.pop_back();  // no line end at all, or a CR alone, at the end
  return text;
}

TEST(LineWalk, TellsWhatTheRulesGiveAndCountsEachName) {
  std::mt19937 rng(5);
  for (int round = 0; round < 16; ++round) {
    const std::string text = generate(rng, 1 + round * 3);
    const Model model(text);
    for (const std::size_t readSize :
         {std::size_t{1}, std::size_t{7}, std::size_t{64}, std::size_t{4096},
          InputWindow::kDefaultReadSize, std::size_t{1} << 20}) {
      TextSource source(text);
      InputWindow window(source, readSize);
      NameTable names;
      Recorder recorder;
      walkLines(window, names, recorder);
      ASSERT_EQ(recorder.calls, model.calls) << "round " << round << ", reads of " << readSize;
      ASSERT_EQ(names.counts(), model.counts) << "round " << round << ", reads of " << readSize;
    }
  }
}

}  // namespace
}  // namespace tagtree
