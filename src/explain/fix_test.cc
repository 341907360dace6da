// The fixes --fix applies: each on the bytes it is for, and all of them, round after
// round, on messy files: no tag that a file holds as UTF-8 text is lost or changed, a
// whole-file conversion gives back the tags the file was made of, and a second run
// changes nothing.
#include "explain/fix.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "explain/shown_name.h"
#include "explain/survey.h"
#include "messy_file.h"

namespace tagtree::explain {
namespace {

using namespace std::string_literals;

TEST(Fix, ChangesOnlyWhatItIsFor) {
  struct Case {
    Fix fix;
    std::string bytes, fixed;
  };
  const Case cases[] = {
      {Fix::kRemoveByteOrderMark, "\xEF\xBB\xBFsea\n", "sea\n"},
      {Fix::kRemoveByteOrderMark, "\xEF\xBB\xBF\xEF\xBB\xBFsea", "sea"},  // all of them at once
      {Fix::kRemoveByteOrderMark, "sea\xEF\xBB\xBF", "sea\xEF\xBB\xBF"},
      {Fix::kFromLatin1, "caf\xE9; na\xEFve\n\xFF", "caf\xC3\xA9; na\xC3\xAFve\n\xC3\xBF"},
      {Fix::kFromLatin1, "\x80", "\xC2\x80"},
      {Fix::kFromWindows1252, "\x80uro; \x93q\x94 \x9F\xE9",
       "\xE2\x82\xACuro; \xE2\x80\x9Cq\xE2\x80\x9D \xC5\xB8\xC3\xA9"},
      {Fix::kFromUtf16Le, "a\0\n\0"s, "a\n"},
      {Fix::kFromUtf16Be, "\0a\0\n"s, "a\n"},
      {Fix::kFromUtf16, "\xFF\xFE\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},  // a pair, after a mark
      {Fix::kFromUtf16, "\xFE\xFF\x4E\x0A"s, "\xE4\xB8\x8A"},
      {Fix::kFromUtf16Le, "\x00\xD8z\x00"s, "\x00\xD8z\x00"s},  // a lone surrogate: as it was
      {Fix::kFromUtf16Le, "abc", "abc"},                        // an odd length: as it was
      {Fix::kCrToLf, "a\rb\r\nc\r\rd\r", "a\nb\r\nc\n\nd\n"},
      {Fix::kDeleteBlankLines, "a\n\n ; \r\nb\r ;  ; \n; x\n; ", "a\nb\r; x\n"},
      {Fix::kDeleteBlankLines, "a; \n  \n;\n", "a; \n  \n;\n"},  // a tag of two spaces, and ";"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(fixName(c.fix)) + " on " + shownName(c.bytes));
    EXPECT_EQ(applyFix(c.fix, c.bytes), c.fixed);
  }
}

// Returns the names of the survey of `bytes` that are UTF-8 text: valid, without a NUL,
// a byte-order mark that starts the input left off (which may leave no tag).
std::set<std::string> utf8Tags(const std::string& bytes) {
  TextSource source(bytes);
  const Survey surveyed = survey(source);
  std::set<std::string> tags;
  for (std::uint32_t slot = 0; slot < surveyed.names.size(); ++slot) {
    const NameFacts& facts = surveyed.facts[slot];
    std::string name(surveyed.names.name(slot));
    if (slot == 0 && name.starts_with("\xEF\xBB\xBF")) name.erase(0, 3);
    if (facts.validUtf8 && !facts.hasNul && name != "" && name != " ") tags.insert(name);
  }
  return tags;
}

TEST(Fix, LosesNoTagAndLeavesNothingForASecondRun) {
  messy::MessyFileGenerator generator(20261210);
  int converted = 0, changed = 0;
  for (int round = 0; round < 400; ++round) {
    const messy::MessyFile file = generator.make();
    SCOPED_TRACE(file.what + ": " + shownName(file.bytes));
    std::string bytes = file.bytes;
    const std::vector<Applied> applied = fixAll(bytes);
    changed += !applied.empty();
    const std::set<std::string> before = utf8Tags(file.bytes), after = utf8Tags(bytes);
    // A file that starts with a UTF-16 byte-order mark is no UTF-8 text.
    if (!file.utf16Mark) {
      for (const std::string& tag : before) EXPECT_TRUE(after.contains(tag)) << shownName(tag);
    }
    // A whole-file conversion gives the tags as they were meant.
    bool conversion = false;
    for (const Applied& fix : applied)
      conversion = conversion || fix.fix == Fix::kFromLatin1 || fixName(fix.fix) == "from-utf-16" ||
                   fix.fix == Fix::kFromWindows1252;
    if (conversion) {
      ++converted;
      EXPECT_TRUE(file.encoding != messy::Encoding::kUtf8 &&
                  file.encoding != messy::Encoding::kMixed);
      for (const std::string& tag : file.tags) EXPECT_TRUE(after.contains(tag)) << shownName(tag);
    }
    std::string again = bytes;
    EXPECT_TRUE(fixAll(again).empty());
    EXPECT_EQ(again, bytes);
  }
  // Both conversions and the other fixes were met often.
  EXPECT_GE(converted, 60);
  EXPECT_GE(changed, 200);
}

}  // namespace
}  // namespace tagtree::explain
