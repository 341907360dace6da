// The fixes --fix applies: each on the bytes it is for, a conversion from a code page
// only as named and only where the file bears it, and all of them, round after round, on
// messy files: no tag that a file holds as UTF-8 text is lost or changed, a conversion
// gives back the tags the file was made of, a refused one leaves every byte, and a second
// run changes nothing.
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
    TextEncoding order = TextEncoding::kUtf16Le;
  };
  const Case cases[] = {
      {Fix::kRemoveByteOrderMark, "\xEF\xBB\xBFsea\n", "sea\n"},
      {Fix::kRemoveByteOrderMark, "\xEF\xBB\xBF\xEF\xBB\xBFsea", "sea"},  // all of them at once
      {Fix::kRemoveByteOrderMark, "sea\xEF\xBB\xBF", "sea\xEF\xBB\xBF"},
      {Fix::kFromUtf16, "a\0\n\0"s, "a\n"},
      {Fix::kFromUtf16, "\0a\0\n"s, "a\n", TextEncoding::kUtf16Be},
      {Fix::kFromUtf16, "\xFF\xFE\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},  // a pair, after a mark
      {Fix::kFromUtf16, "\xFE\xFF\x4E\x0A"s, "\xE4\xB8\x8A", TextEncoding::kUtf16Be},
      {Fix::kFromUtf16, "a\0\x0D\x01\n\0"s, "a\xC4\x8D\n"},   // č, whose low byte is a CR
      {Fix::kFromUtf16, "\x00\xD8z\x00"s, "\x00\xD8z\x00"s},  // a lone surrogate: as it was
      {Fix::kFromUtf16, "abc", "abc"},                        // an odd length: as it was
      {Fix::kCrToLf, "a\rb\r\nc\r\rd\r", "a\nb\r\nc\n\nd\n"},
      {Fix::kDeleteBlankLines, "a\n\n ; \r\nb\r ;  ; \n; x\n; ", "a\nb\r; x\n"},
      {Fix::kDeleteBlankLines, "a; \n  \n;\n", "a; \n  \n;\n"},  // a tag of two spaces, and ";"
      {Fix::kFromEncoding, "caf\xE9", "caf\xE9"},  // a guess: never without its code page
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(fixName(c.fix)) + " on " + shownName(c.bytes));
    EXPECT_EQ(applyFix(c.fix, c.bytes, c.order), c.fixed);
  }
}

TEST(Fix, ConvertsFromACodePageOnlyWhereTheFileBearsIt) {
  using Why = FixRefusal::Why;
  struct Case {
    std::string bytes, from;
    std::string fixed;  // or, where refused, why and where
    std::optional<Why> refused = std::nullopt;
    std::uint64_t line = 0, offset = 0;
  };
  const Case cases[] = {
      {"caf\xE9; cr\xE8me\n", "latin1", "caf\xC3\xA9; cr\xC3\xA8me\n"},
      {"Desserts; \x93pie\x94\n", "windows-1252", "Desserts; \xE2\x80\x9Cpie\xE2\x80\x9D\n"},
      // The marks go first, and the rest is converted.
      {"\xEF\xBB\xBF\xE9t\xE9\n", "latin1", "\xC3\xA9t\xC3\xA9\n"},
      {"plain\n", "koi8-r", "plain\n"},  // ASCII: nothing to convert
      {"Desserts; \x93pie\x94\r\nMains; bad\x81"
       "byte\n",
       "windows-1252", "", Why::kUndecodable, 2, 27},
      {"Desserts; \x93pie\x94\n", "latin1", "", Why::kC1Control, 1, 10},
      {"ok\rM\xC3\xBCnchen; caf\xE9\n", "latin1", "", Why::kHoldsUtf8, 2, 4},
      {"caf\xE9\n", "no-such-encoding", "", Why::kUnknownEncoding},
      {"caf\xC3\xA9\n", "utf-16le", "", Why::kNoNul, 1},
      {"abc", "cp037", "", Why::kAlreadyUtf8, 1},  // EBCDIC: no ASCII stays itself
      {"caf\xC3\xA9 na\xEFve", "gbk", "", Why::kHoldsUtf8, 1, 3},
      {"\xFF\xFEz\0"s, "utf-16be", "", Why::kUtf16Mark, 1},
      {"\xFF\xFEz\0"s, "utf16le", "z"},  // the mark says so; it stays a character, and goes
      {"\xFF\xFEz\0"s, "windows-1252", "", Why::kUtf16Mark, 1},
      {"a\0b\0"s, "latin1", "", Why::kNulCharacter, 1, 1},
  };
  std::string missing;  // encodings whose iconv module this machine lacks, as under qemu
  for (const Case& c : cases) {
    SCOPED_TRACE(shownName(c.bytes) + " from " + c.from);
    if (c.refused != Why::kUnknownEncoding &&
        convertToUtf8(c.from, "").refusal == Refusal::kUnknownEncoding) {
      missing += " " + c.from;
      continue;
    }
    std::string bytes = c.bytes;
    FixRequest request;
    request.from = c.from;
    const FixOutcome outcome = fixAll(bytes, request);
    if (!c.refused) {
      ASSERT_FALSE(outcome.refused) << refusalText(*outcome.refused);
      EXPECT_EQ(bytes, c.fixed);
      continue;
    }
    ASSERT_TRUE(outcome.refused);
    EXPECT_EQ(outcome.refused->why, *c.refused) << refusalText(*outcome.refused);
    EXPECT_EQ(outcome.refused->line, c.line);
    EXPECT_EQ(outcome.refused->offset, c.offset);
    EXPECT_EQ(bytes, c.bytes);
    EXPECT_TRUE(outcome.applied.empty());
  }
  if (!missing.empty()) GTEST_SKIP() << "iconv knows none of" << missing;
}

// Returns the names of the survey of `bytes` that are UTF-8 text: valid, without a NUL,
// the byte-order marks that start the input left off (which may leave no tag).
std::set<std::string> utf8Tags(const std::string& bytes) {
  TextSource source(bytes);
  const Survey surveyed = survey(source);
  std::set<std::string> tags;
  for (std::uint32_t slot = 0; slot < surveyed.names.size(); ++slot) {
    const NameFacts& facts = surveyed.facts[slot];
    std::string name(surveyed.names.name(slot));
    while (slot == 0 && name.starts_with("\xEF\xBB\xBF")) name.erase(0, 3);
    if (facts.validUtf8 && !facts.hasNul && name != "" && name != " ") tags.insert(name);
  }
  return tags;
}

TEST(Fix, LosesNoTagAndLeavesNothingForASecondRun) {
  messy::MessyFileGenerator generator(20261210);
  int converted = 0, changed = 0, guessed = 0, refused = 0;
  for (int round = 0; round < 400; ++round) {
    const messy::MessyFile file = generator.make();
    SCOPED_TRACE(file.what + ": " + shownName(file.bytes));
    // The tags of a UTF-16 file read as UTF-8 are none of its own: its conversion must
    // give back those it was made of.
    const bool utf16 =
        file.encoding == messy::Encoding::kUtf16Le || file.encoding == messy::Encoding::kUtf16Be;
    const std::set<std::string> before = utf16 ? std::set<std::string>() : utf8Tags(file.bytes);
    const auto expectKept = [&](const std::string& bytes, const std::vector<Applied>& applied) {
      const std::set<std::string> after = utf8Tags(bytes);
      for (const std::string& tag : before) EXPECT_TRUE(after.contains(tag)) << shownName(tag);
      // A conversion gives the tags as they were meant.
      const bool conversion = std::any_of(applied.begin(), applied.end(), [](const Applied& a) {
        return a.fix == Fix::kFromUtf16 || a.fix == Fix::kFromEncoding;
      });
      if (conversion) {
        for (const std::string& tag : file.tags) EXPECT_TRUE(after.contains(tag)) << shownName(tag);
      }
      std::string again = bytes;
      EXPECT_TRUE(fixAll(again).applied.empty());
      EXPECT_EQ(again, bytes);
      return conversion;
    };
    // The certain fixes: a conversion from UTF-16 only.
    std::string bytes = file.bytes;
    const FixOutcome outcome = fixAll(bytes);
    changed += !outcome.applied.empty();
    EXPECT_FALSE(outcome.refused);
    if (expectKept(bytes, outcome.applied)) {
      ++converted;
      EXPECT_TRUE(utf16);
    }
    // The code page the file is in, named: converted where it is one, else refused.
    bytes = file.bytes;
    FixRequest request;
    request.from = file.codePage;
    const FixOutcome named = fixAll(bytes, request);
    if (named.refused) {
      ++refused;
      EXPECT_FALSE(file.encoding == messy::Encoding::kCodePage && file.decodes)
          << refusalText(*named.refused);
      EXPECT_EQ(bytes, file.bytes);
    } else {
      guessed += expectKept(bytes, named.applied);
    }
  }
  // Every kind was met often.
  EXPECT_GE(converted, 40);
  EXPECT_GE(guessed, 40);
  EXPECT_GE(refused, 60);
  EXPECT_GE(changed, 200);
}

}  // namespace
}  // namespace tagtree::explain
