// Checks the literal model against worked examples, then the tool against the literal
// model on thousands of generated inputs: small vocabularies, every line ending, runs of
// separators, odd bytes in names, and inputs shaped to hit each capacity limit; and last,
// tagtree-explain's verdict against the tool's own output on the same kind of inputs,
// where tagtree-explain is built.
#include "literal_model.h"

#include <gtest/gtest.h>

#if TAGTREE_EXPLAIN_BUILT
#include <nlohmann/json.hpp>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/failure.h"
#if TAGTREE_EXPLAIN_BUILT
#include "explain/report.h"
#include "explain/shown_name.h"
#include "explain/survey.h"
#endif
#include "frame/frame.h"
#include "input_generator.h"
#include "tag_text.h"

namespace tagtree::reference {
namespace {

std::string escaped(const std::string& bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      text += c;
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 0xF];
    }
  }
  return text;
}

using tag_text::numberedTags;
using tag_text::repeatedLines;

TEST(LiteralModel, FollowsTheWorkedExamples) {
  struct Case {
    const char* what;
    std::string input;
    std::string output;
    int status;
  };
  const Case cases[] = {
      {"empty input", "", "", 0},
      {"worked example", "x; y\ny\nz; y\n", "/y\n/y/x\n/y/z\n", 0},
      {"mutual children vanish", "a; b\n", "", 0},
      {"counts 2 and 1", "a; b\na\n", "/a\n/a/b\n", 0},
      {"equal counts of 3", "x; y\nx; y\nx; y\n", "/x\n/y\n", 0},
      {"grandchild hidden", "a; b\nb; c\na\na\n", "/a\n/a/b\n", 0},
      {"two parents hide a child", "p; c\np\np\nq; c\nq\nq\n", "/p\n/q\n", 0},
      {"CR, CR LF and LF alike", "a; b\ra\r\nc", "/a\n/a/b\n/c\n", 0},
      {"empty and one-space words skipped", "a; ; b;  ; \na\n", "/a\n/a/b\n", 0},
      {"two spaces make a tag", "  ; a\n  \n", "/  \n/  /a\n", 0},
      {"semicolon without space stays", "a;b\n", "/a;b\n", 0},
      {"top-level blocks in first-occurrence order", "k; m\nb; c\nb\nk\n", "/k\n/k/m\n/b\n/b/c\n",
       0},
      {"multi-byte names", "\xC3\xA9; \xF0\x9F\x98\x80\n\xC3\xA9\n",
       "/\xC3\xA9\n/\xC3\xA9/\xF0\x9F\x98\x80\n", 0},
      {"bad byte cuts the line",
       "ab\xFF"
       "c\n",
       "/abError: 4invalid UTF-8 sequence\n", 1},
      {"overlong", "ok\nx\xC0\xAF\n", "/ok\n/xError: 4invalid UTF-8 sequence\n", 1},
      {"surrogate", "\xED\xA0\x80\n", "/Error: 4invalid UTF-8 sequence\n", 1},
      {"above U+10FFFF", "a\xF4\x90\x80\x80\n", "/aError: 4invalid UTF-8 sequence\n", 1},
      {"cut short", "ab\xE2\x82\n", "/abError: 4invalid UTF-8 sequence\n", 1},
      {"bad child after good parent", "p; c\xFF\np\n", "/p\n/p/cError: 4invalid UTF-8 sequence\n",
       1},
      {"bad name never printed", "a; b\xFF\n", "", 0},
      {"100 tags", numberedTags(0, 50) + "\n" + numberedTags(0, 50, "u") + "\n", "", 0},
      {"101 tags", numberedTags(0, 50) + "\n" + numberedTags(0, 51, "u") + "\n",
       "Error: ArrayBoundsError corvane(41)\n", 1},
      {"50 lines", repeatedLines("a", 50), "/a\n", 0},
      {"51 lines", repeatedLines("a", 50) + "\r", "Error: ArrayBoundsError corvane(56)\n", 1},
      {"51 words in a line", numberedTags(0, 51), "Error: ArrayBoundsError corvane(180)\n", 1},
      {"41 before 180", numberedTags(0, 50) + "\n" + numberedTags(0, 51, "u") + "; t0",
       "Error: ArrayBoundsError corvane(41)\n", 1},
      {"180 before 56", repeatedLines("a", 50) + numberedTags(0, 51),
       "Error: ArrayBoundsError corvane(180)\n", 1},
      {"51 children", "p; p; " + numberedTags(0, 48) + "\np; p; t48; t49; t50\n",
       "Error: ArrayBoundsError corvane(180)\n", 1},
  };
  for (const Case& c : cases) {
    const ModelResult result = runLiteralModel(c.input);
    EXPECT_EQ(result.output, c.output) << c.what;
    EXPECT_EQ(result.status, c.status) << c.what;
  }
}

TEST(LiteralModel, MatchesTheBundledExamples) {
  namespace fs = std::filesystem;
  int checked = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(TAGTREE_SOURCE_DIR "/examples")) {
    std::ifstream in(entry.path() / "files.in", std::ios::binary);
    std::ifstream expected(entry.path() / "expected.out", std::ios::binary);
    std::ostringstream input, output;
    input << in.rdbuf();
    output << expected.rdbuf();
    EXPECT_EQ(runLiteralModel(input.str()).output, output.str()) << entry.path();
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

TEST(LiteralModel, AgreesWithTheToolOnGeneratedInputs) {
  // Every input is also read 1 to 40 bytes at a time, so that every word, separator, line
  // end and run of skipped words is cut by the end of the bytes at hand.
  constexpr std::size_t kReadSizes = 40;
  InputGenerator generator(20261208);
  std::map<std::string, int> outcomes;  // error message, or "" for success
  int children180 = 0;
  std::map<std::string, int> overflowOutcomes;
  for (int round = 0; round < 600; ++round) {
    for (int shape = 0; shape < InputGenerator::kShapes; ++shape) {
      const std::string input = generator.make(static_cast<InputGenerator::Shape>(shape));
      const ModelResult expected = runLiteralModel(input);
      for (std::size_t readSize = 1; readSize <= kReadSizes + 1; ++readSize) {
        StringSink sink;
        const int status =
            readSize > kReadSizes ? runOnText(input, sink) : runOnText(input, sink, readSize);
        ASSERT_EQ(sink.text(), expected.output)
            << "read size " << readSize << ", input: " << escaped(input);
        ASSERT_EQ(status, expected.status)
            << "read size " << readSize << ", input: " << escaped(input);
      }

      const std::size_t error = expected.output.find("Error: ");
      const std::string outcome = error == std::string::npos ? "" : expected.output.substr(error);
      ++outcomes[outcome];
      if (shape == InputGenerator::kManyChildren &&
          outcome == "Error: ArrayBoundsError corvane(180)\n") {
        ++children180;
      }
      if (shape == InputGenerator::kOverflowingLine) ++overflowOutcomes[outcome];
    }
  }
  // Every way a run can end was reached, so the agreement above covers each of them.
  for (const char* outcome :
       {"", "Error: ArrayBoundsError corvane(41)\n", "Error: ArrayBoundsError corvane(56)\n",
        "Error: ArrayBoundsError corvane(180)\n", "Error: 4invalid UTF-8 sequence\n"}) {
    EXPECT_GE(outcomes[outcome], 20) << escaped(outcome);
  }
  EXPECT_GE(children180, 20);
  // A line that overflows ends in 180, or in 41 when a new name past the 100th follows.
  EXPECT_GE(overflowOutcomes["Error: ArrayBoundsError corvane(180)\n"], 20);
  EXPECT_GE(overflowOutcomes["Error: ArrayBoundsError corvane(41)\n"], 20);
}

TEST(LiteralModel, AgreesWithTheToolOnEverySmallInput) {
  // Every input of up to 6 bytes over the bytes that cut words and lines, each read 1 to
  // 7 bytes at a time: so every way a CR, an LF and a separator can fall across the end
  // of the bytes at hand is met.
  constexpr char kBytes[] = {'a', 'b', ';', ' ', '\r', '\n'};
  constexpr std::size_t kMaxLength = 6;
  int inputs = 0;
  std::string input;
  std::vector<std::size_t> digits;  // input[i] is kBytes[digits[i]]
  // An input of four line ends or more also comes after 46 empty lines, so that the count
  // of its lines shows in the outcome: a fifth line would be the 51st.
  const std::string fortySixLines(46, '\n');
  for (;;) {
    std::vector<std::string> texts = {input};
    if (std::count_if(input.begin(), input.end(), [](char c) { return c == '\r' || c == '\n'; }) >=
        4) {
      texts.push_back(fortySixLines + input);
    }
    for (const std::string& text : texts) {
      const ModelResult expected = runLiteralModel(text);
      for (std::size_t readSize = 1; readSize <= kMaxLength + 1; ++readSize) {
        StringSink sink;
        const int status = runOnText(text, sink, readSize);
        ASSERT_EQ(sink.text(), expected.output)
            << "read size " << readSize << ", input: " << escaped(text);
        ASSERT_EQ(status, expected.status)
            << "read size " << readSize << ", input: " << escaped(text);
      }
    }
    ++inputs;
    // The next input, counting in base 6 with one more digit after the largest.
    std::size_t i = 0;
    while (i < digits.size() && digits[i] == std::size(kBytes) - 1) digits[i++] = 0;
    if (i == digits.size()) {
      if (digits.size() == kMaxLength) break;
      digits.push_back(0);
    } else {
      ++digits[i];
    }
    input.resize(digits.size());
    for (std::size_t k = 0; k < digits.size(); ++k) input[k] = kBytes[digits[k]];
  }
  EXPECT_EQ(inputs, 55987);
}

#if TAGTREE_EXPLAIN_BUILT
// Returns the lines of `text`, each without its LF, and the part after the last LF.
std::pair<std::multiset<std::string>, std::string> linesOf(std::string_view text) {
  std::multiset<std::string> lines;
  for (std::size_t end; (end = text.find('\n')) != std::string_view::npos;) {
    lines.emplace(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  return {lines, std::string(text)};
}

// Checks the JSON and GNU forms of `survey`, of an input on which tagtree exits with
// `status`, printing `output` with the whole paths `paths`: the JSON document parses and
// gives tagtree's verdict and paths, and every GNU line has the shape editors read, the
// verdict first.
void expectFormsAgree(const explain::Survey& survey, int status, const std::string& output,
                      const std::multiset<std::string>& paths) {
  const explain::Report model = explain::reportOf(survey, "-");
  StringSink json;
  explain::writeJsonReport(model, json);
  const nlohmann::json report = nlohmann::json::parse(json.text(), nullptr, false);
  ASSERT_FALSE(report.is_discarded()) << json.text();
  EXPECT_EQ(report.at("version"), explain::kJsonReportVersion);
  const nlohmann::json& verdict = report.at("verdict");
  EXPECT_EQ(verdict.at("status"), status);
  if (status == 0) {
    EXPECT_TRUE(verdict.at("error").is_null());
  } else {
    EXPECT_EQ(verdict.at("error").get<std::string>() + "\n",
              output.substr(output.rfind(kErrorLinePrefix)));
  }
  EXPECT_EQ(verdict.at("paths"), paths.size());
  EXPECT_EQ(report.at("tags").size(), survey.names.size());
  std::multiset<std::string> stated;
  std::set<std::pair<std::string, bool>> names;  // each name distinct, UTF-8 or not
  for (const nlohmann::json& tag : report.at("tags")) {
    if (!tag.at("path").is_null()) stated.insert(tag.at("path").get<std::string>());
    // A UTF-8 name reads back as its own bytes, whatever it holds; any other is its bytes
    // in hexadecimal, and no name.
    const std::string_view bytes = survey.names.name(tag.at("tag").get<int>());
    if (tag.at("utf8")) {
      EXPECT_EQ(tag.at("name").get<std::string>(), bytes);
      EXPECT_TRUE(tag.at("bytes").is_null());
      names.emplace(tag.at("name").get<std::string>(), true);
    } else {
      EXPECT_TRUE(tag.at("name").is_null());
      std::string hex;
      for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 0xF];
      }
      EXPECT_EQ(tag.at("bytes").get<std::string>(), hex);
      names.emplace(hex, false);
    }
  }
  EXPECT_EQ(names.size(), survey.names.size());
  EXPECT_EQ(stated, status == 0 ? paths : std::multiset<std::string>{});

  StringSink gnu;
  explain::writeGnuReport(model, gnu);
  static const std::regex kShape("<stdin>:(?:([1-9][0-9]*):)? (error|warning|note): [^\n]+");
  std::size_t start = 0, lines = 0;
  for (std::size_t end; (end = gnu.text().find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string line = gnu.text().substr(start, end - start);
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(line, parts, kShape)) << line;
    if (parts[1].matched) {
      EXPECT_LE(std::stoull(parts[1]), std::max<std::uint64_t>(survey.lines, 51)) << line;
    }
    if (lines++ == 0) {
      EXPECT_EQ(parts[2], status == 0 ? "note" : "error") << line;
    }
  }
  EXPECT_EQ(start, gnu.text().size()) << "the last line ends with LF";
  EXPECT_GE(lines, 1u);
}

// tagtree-explain against tagtree itself: read at several read sizes, the verdict the
// survey states (the error line, the paths printed whole or cut) is what tagtree prints,
// and every tag it says is printed stands in tagtree's listing at the path it gives.
TEST(ExplainAgreement, VerdictAndPathsAreTagtreesOnGeneratedInputs) {
  InputGenerator generator(20261209);
  int failures = 0, successes = 0;
  for (int round = 0; round < 150; ++round) {
    for (int shape = 0; shape < InputGenerator::kShapes; ++shape) {
      const std::string input = generator.make(static_cast<InputGenerator::Shape>(shape));
      StringSink sink;
      const int status = runOnText(input, sink);
      std::string listing = sink.text();
      if (status != 0) {  // the error line ends tagtree's output
        const std::size_t error = listing.rfind(kErrorLinePrefix);
        ASSERT_NE(error, std::string::npos);
        listing.erase(error);
      }
      const auto [lines, cut] = linesOf(listing);
      for (const std::size_t readSize : {1, 2, 3, 7, 64, 4096}) {
        SCOPED_TRACE("read size " + std::to_string(readSize) +
                     ", input: " + explain::shownName(input));
        TextSource source(input);
        const explain::Survey survey = explain::survey(source, readSize);
        const explain::Verdict& verdict = survey.verdict;
        ASSERT_EQ(verdict.status, status);
        if (status != 0) {
          EXPECT_EQ(std::string(kErrorLinePrefix) + verdict.message + "\n",
                    sink.text().substr(listing.size()));
        }
        EXPECT_EQ(verdict.paths, lines.size());
        EXPECT_EQ(verdict.outcome == explain::Outcome::kBadName, !cut.empty());
        if (readSize == 4096) expectFormsAgree(survey, status, sink.text(), lines);
        if (status != 0) continue;
        std::multiset<std::string> stated;
        for (std::uint32_t slot = 0; slot < survey.places.size(); ++slot) {
          const explain::TagPlace& place = survey.places[slot];
          if (!place.printed) continue;
          std::string path = "/";
          if (place.printedUnder) path += std::string(survey.names.name(*place.printedUnder)) + "/";
          stated.insert(path + std::string(survey.names.name(slot)));
        }
        EXPECT_EQ(stated, lines);
      }
      ++(status == 0 ? successes : failures);
    }
  }
  // Both ways a run ends were met often, so the agreement covers each.
  EXPECT_GE(successes, 100);
  EXPECT_GE(failures, 100);
}
#endif  // TAGTREE_EXPLAIN_BUILT

}  // namespace
}  // namespace tagtree::reference
