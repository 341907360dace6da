// The report's model: for each kind of file, the findings, in order, each with what it
// decides: severity, lines, tags, counts, whether a change is enough, and the command, or
// why none is offered. Every command must appear once, whichever findings it mends.
#include "explain/findings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "explain/shown_name.h"
#include "explain/survey.h"
#include "messy_file.h"
#include "tag_text.h"

namespace tagtree::explain {
namespace {

using namespace std::string_literals;
using messy::utf16;
using tag_text::numberedTags;
using tag_text::repeatedLines;

// Returns `finding` as one line: "kind severity lines=1-2,5 tags=0,3 count=N left=M
// within fix=NAME why=NAME", each part only where it says something.
std::string describe(const Report& report, const Finding& finding) {
  std::string text =
      std::string(kindName(finding.kind)) + " " + std::string(severityName(finding.severity));
  std::string runs;
  forEachRun(report, finding, [&](std::uint64_t first, std::uint64_t last) {
    runs += (runs.empty() ? "" : ",") + std::to_string(first) +
            (first == last ? "" : "-" + std::to_string(last));
  });
  if (!runs.empty()) text += " lines=" + runs;
  std::string tags;
  for (const std::uint32_t slot : finding.tags())
    tags += (tags.empty() ? "" : ",") + std::to_string(slot);
  if (!tags.empty()) text += " tags=" + tags;
  if (finding.count != 0) text += " count=" + std::to_string(finding.count);
  if (finding.left != 0) text += " left=" + std::to_string(finding.left);
  if (finding.withinLimit) text += " within";
  if (finding.fix != Fix::kNone) text += " fix=" + std::string(fixName(finding.fix));
  if (finding.absent != NoCommand::kNone)
    text += " why=" + std::string(noCommandName(finding.absent));
  if (finding.evidence != kNoTag) text += " evidence=" + std::to_string(finding.evidence);
  return text;
}

std::vector<std::string> describeAll(const std::string& bytes) {
  TextSource source(bytes);
  const Survey surveyed = survey(source);
  const Report report = reportOf(surveyed, "files.in");
  std::vector<std::string> described;
  for (const Finding& finding : report.findings) described.push_back(describe(report, finding));
  return described;
}

TEST(Findings, DecideEachThingOnce) {
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> findings;
  };
  const std::string sixty = repeatedLines("a", 56) + "\n \n; \na\n";  // lines 57 to 59 blank
  const std::string hundred = numberedTags(0, 50) + "\n" + numberedTags(50, 50) + "\n";
  const Case cases[] = {
      {"a file tagtree succeeds on", "news; sport\nnews\n", {"verdict note count=2"}},
      {"blank lines, LF",
       sixty,
       {"verdict error lines=51", "too-many-lines error lines=51 count=60",
        "blank-lines note lines=57-59 count=3 left=57 fix=delete-blank-lines",
        "tree-without-limits note count=1"}},
      {"blank lines, CR LF",
       "a\r\n\r\n" + repeatedLines("a", 49),
       {"verdict error lines=51", "too-many-lines error lines=51 count=51",
        "blank-lines note lines=2 count=1 left=50 within fix=delete-blank-lines",
        "tree-without-limits note count=1"}},
      {"blank lines, CR: deleted as tagtree reads the lines",
       "a\r\r" + repeatedLines("a", 49),
       {"verdict error lines=51", "too-many-lines error lines=51 count=51",
        "blank-lines note lines=2 count=1 left=50 within fix=delete-blank-lines",
        "tree-without-limits note count=1", "cr-line-ends warning lines=1-2 count=2 fix=cr-to-lf"}},
      {"a CR alone at the very end, and one before CR LF",
       "a\rb\r\r\nc\r",
       {"verdict note count=3", "cr-line-ends warning lines=1-2,4 count=3 fix=cr-to-lf"}},
      {"Latin-1: one command for every name, a guess",
       "caf\xE9; cr\xE8me\ncaf\xE9\np\xE2te; ok\n",
       {"verdict error lines=1 tags=0", "unprintable-name error lines=1 tags=0",
        "invalid-utf-8 warning lines=1,3 tags=0,1,2 count=3 fix=from-encoding"}},
      {"the curly quotes of Windows-1252",
       "caf\xE9\n\x80uro; \x93q\x94\n",
       {"verdict error lines=1 tags=0", "unprintable-name error lines=1 tags=0",
        "invalid-utf-8 warning lines=1-2 tags=0,1,2 count=3 fix=from-encoding"}},
      {"a byte Windows-1252 leaves unassigned, and its curly quotes",
       "Desserts; \x93pie\x94\nMains; bad\x81"
       "byte\n",
       {"verdict note", "invalid-utf-8 warning lines=1-2 tags=1,3 count=2 fix=from-encoding"}},
      {"Latin-1 names in a UTF-8 file: no command",
       "ok\nM\xC3\xBCnchen\ncaf\xE9\n",
       {"verdict error lines=3 tags=2 count=2", "unprintable-name error lines=3 tags=2",
        "invalid-utf-8 warning lines=3 tags=2 count=1 why=mixed-encodings evidence=1"}},
      {"a mark, then a line of a mark alone, which is no mark, and Latin-1",
       "\xEF\xBB\xBF\n\xEF\xBB\xBF\ncaf\xE9\n",
       {"verdict error lines=3 tags=1 count=1", "unprintable-name error lines=3 tags=1",
        "byte-order-mark warning lines=1 tags=0 count=1 fix=remove-byte-order-mark",
        "invalid-utf-8 warning lines=3 tags=1 count=1 why=mixed-encodings"}},
      {"Latin-1 and a NUL: no command",
       "caf\xE9\na\0b\n"s,
       {"verdict error lines=1 tags=0", "unprintable-name error lines=1 tags=0",
        "nul-bytes warning lines=2 why=not-utf-16",
        "invalid-utf-8 warning lines=1 tags=0 count=1 why=nul-bytes"}},
      {"UTF-8 with a stray NUL: not UTF-16",
       "news; sp\0ort\nnews\n"s,
       {"verdict note count=2", "nul-bytes warning lines=1 why=not-utf-16 evidence=0"}},
      {"UTF-16LE with a mark and CR LF line ends: no line's finding",
       utf16("music; rock\r\nmusic\r\n", false, true),
       {"verdict error lines=1 tags=0", "unprintable-name error lines=1 tags=0",
        "utf-16 warning fix=from-utf-16",
        "invalid-utf-8 warning lines=1 tags=0 count=1 why=other-command"}},
      {"UTF-16BE without a mark",
       utf16("music; rock\nmusic\n", true, false),
       {"verdict note count=2", "utf-16 warning fix=from-utf-16"}},
      {"UTF-16LE with a mark and no ASCII",
       "\xFF\xFE\xC5\x65\x4C\x88\x1B\xFF\x77\x6D\xE9\x6E"s,
       {"verdict error lines=1 tags=0", "unprintable-name error lines=1 tags=0",
        "utf-16 warning fix=from-utf-16",
        "invalid-utf-8 warning lines=1 tags=0 count=1 why=other-command"}},
      {"UTF-16LE whose code unit of č holds a CR byte",
       utf16("a; \xC4\x8D\nx\n", false, false),
       {"verdict note count=4", "utf-16 warning fix=from-utf-16"}},
      {"UTF-16LE without a mark, of no ASCII but its line end: a guess",
       utf16("\xE6\x97\x85\xE8\xA1\x8C\xEF\xBC\x9B\n", false, false),
       {"verdict error lines=1 tags=0", "unprintable-name error lines=1 tags=0",
        "nul-bytes warning lines=2 fix=from-encoding",
        "invalid-utf-8 warning lines=1 tags=0 count=1 why=other-command"}},
      {"two byte-order marks",
       "\xEF\xBB\xBF\xEF\xBB\xBFsea; sky\nsea\n",
       {"verdict note count=1",
        "byte-order-mark warning lines=1 tags=0 count=2 fix=remove-byte-order-mark"}},
      {"a byte-order mark that makes a 101st tag",
       "\xEF\xBB\xBFt0\n" + hundred,
       {"verdict error lines=3 tags=100", "too-many-tags error lines=3 tags=100 count=101",
        "fix-byte-order-mark note lines=1 count=101 left=100 within why=other-command",
        "once-only-tags note lines=1-3 "
        "tags=0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,"
        "31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59,60,"
        "61,62,63,64,65,66,67,68,69,70,71,72,73,74,75,76,77,78,79,80,81,82,83,84,85,86,87,88,89,90,"
        "91,92,93,94,95,96,97,98,99,100 count=101 within",
        "tree-without-limits note count=1",
        "byte-order-mark warning lines=1 tags=0 count=1 fix=remove-byte-order-mark"}},
      {"tags alike: a group a finding; once-only tags when the alike merge is enough",
       numberedTags(0, 50) + "\n" + numberedTags(50, 48) + "\nTravel; travel; TRAVEL\nY; y\n",
       {"verdict error lines=3 tags=100", "too-many-tags error lines=3 tags=100 count=103",
        "fix-alike-tags note count=103 left=100 within",
        "once-only-tags note lines=1-4 "
        "tags=0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,"
        "31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59,60,"
        "61,62,63,64,65,66,67,68,69,70,71,72,73,74,75,76,77,78,79,80,81,82,83,84,85,86,87,88,89,90,"
        "91,92,93,94,95,96,97,98,99,100,101,102 count=103 within",
        "tree-without-limits note", "alike-tags warning lines=3 tags=98,99,100 count=3",
        "alike-tags warning lines=4 tags=101,102 count=2"}},
      {"a line of too many tags, within without its repeats",
       numberedTags(0, 40) + "; " + numberedTags(0, 15) + "\n",
       {"verdict error lines=1", "overfull-line error lines=1 count=55 left=40 within",
        "tree-without-limits note"}},
      {"names that hold a slash",
       "Rock; AC/DC\nRock\nx/y\n",
       {"verdict note count=3", "slash-in-name warning lines=1,3 tags=1,2 count=2"}},
      {"separators",
       "a, b\nc;d\ne\tf\ng, h\n",
       {"verdict note count=4", "comma-separated warning lines=1,4 count=2",
        "semicolon-separated warning lines=2 count=1", "tab-separated warning lines=3 count=1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(describeAll(c.bytes), c.findings);
  }
}

TEST(Findings, SayWhatTheTreeWithoutTheLimitsGives) {
  struct Case {
    std::string bytes;
    std::string summary;
  };
  const std::string fiftyZ = repeatedLines("z", 50);
  const Case cases[] = {
      {fiftyZ + "z; y\n", "2 paths: 1 top-level tag and 1 child under it"},
      {fiftyZ + "x; y\nx; w\nx\n", "4 paths: 2 top-level tags and 2 children under them"},
      {fiftyZ + "a; b; c\n",
       "1 path: 1 top-level tag and no child; it leaves out 3 tags, all "
       "with two or more parents"},
      {fiftyZ + "a; b\n",
       "1 path: 1 top-level tag and no child; it leaves out 2 tags, all whose "
       "one parent is itself a child"},
      {fiftyZ + "a; b; c\nd; e\n",
       "1 path: 1 top-level tag and no child; it leaves out 5 tags, 3 "
       "with two or more parents and 2 whose one parent is itself a "
       "child"},
  };
  for (const Case& c : cases) {
    TextSource source(c.bytes);
    const Survey surveyed = survey(source);
    const Report report = reportOf(surveyed, "files.in");
    ASSERT_NE(report.find(Kind::kTreeWithoutLimits), nullptr);
    ASSERT_TRUE(report.tree);
    EXPECT_EQ(treeSummary(*report.tree), c.summary);
  }
}

TEST(Findings, NameTheFileAsAShellReadsItBack) {
  const std::pair<std::string, std::string> cases[] = {
      {"files.in", "files.in"},
      {"Tags0-9_a+b,c/d.IN", "Tags0-9_a+b,c/d.IN"},
      {"-x", "./-x"},
      {"it's here.in", "'it'\\''s here.in'"},
      {"caf\xC3\xA9 list.in", "'caf\xC3\xA9 list.in'"},
      {"caf\xE9 list%.in", "\"$(printf 'caf\\351 list\\045.in')\""},
      {"-a\nb'\\", "\"$(printf './-a\\012b\\047\\134')\""},
      {"\xC2\x9B"
       "31m.in",
       "\"$(printf '\\302\\23331m.in')\""},  // a C1 control
      {"a\xE2\x80\xAE"
       "b",
       "\"$(printf 'a\\342\\200\\256b')\""},  // a bidirectional override
      {"ends.in\n", "FILE"},
      {"-", "FILE"},
  };
  for (const auto& [name, word] : cases) EXPECT_EQ(shellWord(name), word) << shownName(name);
}

TEST(Findings, SayWhatEachFixDidOrWouldDo) {
  struct Case {
    Applied applied;
    std::string did, would;
  };
  const Case cases[] = {
      {{Fix::kRemoveByteOrderMark, 1, ""},
       "removed the byte-order mark",
       "remove the byte-order mark"},
      {{Fix::kRemoveByteOrderMark, 2, ""},
       "removed 2 byte-order marks",
       "remove 2 byte-order marks"},
      {{Fix::kFromUtf16, 0, "UTF-16BE"},
       "converted it from UTF-16BE to UTF-8",
       "convert the file from UTF-16BE to UTF-8"},
      {{Fix::kFromEncoding, 0, "Windows-1252"},
       "converted it from Windows-1252 to UTF-8",
       "convert the file from Windows-1252 to UTF-8"},
      {{Fix::kCrToLf, 1, ""},
       "ended with LF the 1 line that ended in a CR alone",
       "end 1 line with LF"},
      {{Fix::kDeleteBlankLines, 1200, ""}, "deleted 1,200 blank lines", "delete 1,200 blank lines"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(appliedText(c.applied), c.did);
    EXPECT_EQ(plannedText(c.applied), c.would);
  }
  Plan plan;
  plan.fixes = {cases[0].applied, cases[4].applied, cases[5].applied};
  plan.after.status = 0;
  plan.after.paths = 3;
  EXPECT_EQ(planText(plan),
            "--fix would remove the byte-order mark, end 1 line with LF and delete 1,200 blank "
            "lines; tagtree then succeeds and prints 3 paths");
  plan.fixes = {cases[3].applied};
  plan.guess = true;
  plan.from = kCodePages[0];
  plan.after = {Outcome::kTooManyLines, 1, "Error: ArrayBoundsError corvane(56)"};
  EXPECT_EQ(planText(plan),
            "if the file is Windows-1252, --fix --from=windows-1252 would convert the file from "
            "Windows-1252 to UTF-8; tagtree then still fails, printing \"Error: "
            "ArrayBoundsError corvane(56)\"");
}

TEST(Findings, OfferEachCommandOnceOnMessyFiles) {
  messy::MessyFileGenerator generator(20261211);
  for (int round = 0; round < 300; ++round) {
    const messy::MessyFile file = generator.make();
    SCOPED_TRACE(file.what + ": " + shownName(file.bytes));
    TextSource source(file.bytes);
    const Survey surveyed = survey(source);
    const Report report = reportOf(surveyed, "files.in");
    std::vector<std::string> commands;
    for (const Finding& finding : report.findings) {
      if (finding.fix == Fix::kNone) continue;
      const std::string command = finding.command;
      EXPECT_EQ(std::count(commands.begin(), commands.end(), command), 0) << command;
      commands.push_back(command);
    }
    // UTF-8 with Latin-1 names in it is never converted whole.
    if (file.encoding == messy::Encoding::kMixed) {
      for (const Finding& finding : report.findings) EXPECT_NE(finding.fix, Fix::kFromEncoding);
    }
  }
}

}  // namespace
}  // namespace tagtree::explain
