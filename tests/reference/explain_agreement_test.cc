// tagtree-explain against tagtree itself: on the generated inputs, read at several read
// sizes, the verdict the survey states (the error line, the paths printed whole or cut)
// is what tagtree prints, and every tag it says is printed stands in tagtree's listing at
// the path it gives.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "explain/shown_name.h"
#include "explain/survey.h"
#include "frame/failure.h"
#include "frame/frame.h"
#include "input_generator.h"

namespace tagtree::reference {
namespace {

// Returns the lines of `text`, each without its LF, and the part after the last LF.
std::pair<std::multiset<std::string>, std::string> linesOf(std::string_view text) {
  std::multiset<std::string> lines;
  for (std::size_t end; (end = text.find('\n')) != std::string_view::npos;) {
    lines.emplace(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  return {lines, std::string(text)};
}

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
        EXPECT_EQ(verdict.cutPath, !cut.empty());
        if (status != 0) continue;
        std::multiset<std::string> stated;
        for (std::uint32_t slot = 0; slot < survey.places.size(); ++slot) {
          const explain::TagPlace& place = survey.places[slot];
          if (!place.printed) continue;
          std::string path = "/";
          if (place.printedUnder) path += std::string(survey.names[*place.printedUnder].name) + "/";
          stated.insert(path + std::string(survey.names[slot].name));
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

}  // namespace
}  // namespace tagtree::reference
