// The survey walks the input once with the walk tagtree uses, and hands every step of it
// to tagtree's own grouping as well, until that fails as tagtree would. Its verdict is then
// what tagtree's grouping, inference and listing do; the rest is counted beside them.
#include "explain/survey.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "base/failure.h"
#include "explain/alike_names.h"
#include "model/tag_group.h"
#include "pipeline/grouping.h"
#include "pipeline/inference.h"
#include "pipeline/line_walk.h"
#include "pipeline/listing.h"
#include "pipeline/pipeline.h"
#include "pipeline/utf8.h"
#include "pipeline/word_scanner.h"

namespace tagtree::explain {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Returns whether `name` holds a well-formed UTF-8 sequence of two or more bytes.
bool holdsUtf8BeyondAscii(std::string_view name) {
  for (std::size_t at = 0; at < name.size(); ++at) {
    if (static_cast<unsigned char>(name[at]) < 0x80) continue;
    if (validUtf8Prefix(name.substr(at, 4)) > 0) return true;
  }
  return false;
}

// Counts the whole lines of the listing written to it, without keeping it.
class ListingCounter : public OutputSink {
 public:
  void write(std::string_view bytes) override {
    lines_ += static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  }
  std::uint64_t lines() const { return lines_; }

 private:
  std::uint64_t lines_ = 0;
};

// The visitor of the walk: counts beside tagtree's grouping, which it feeds until that
// fails.
class SurveyWalk {
 public:
  SurveyWalk(Survey& survey, const NameTable& names)
      : survey_(survey), names_(names), builder_(grouping_) {}

  void startLine() {
    ++survey_.lines;
    tagsInLine_ = 0;
    repeatsInLine_ = 0;
    build([&] { builder_.startLine(); });
  }

  void newName(std::uint32_t slot, std::string_view name) {
    NameFacts& facts = survey_.facts.emplace_back();
    facts.firstLine = survey_.lines;
    facts.validUtf8 = validUtf8Prefix(name) == name.size();
    std::string_view text = name;
    while (slot == 0 && text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    facts.beyondAscii = holdsUtf8BeyondAscii(text);
    facts.hasNul = name.find('\0') != std::string_view::npos;
    facts.hasSlash = name.find('/') != std::string_view::npos;
    if (facts.hasSlash) survey_.slashNames.push_back(slot);
    facts.hasCommaSpace = name.find(", ") != std::string_view::npos;
    facts.hasSemicolon = name.find(';') != std::string_view::npos;
    facts.hasTab = name.find('\t') != std::string_view::npos;
    if (!facts.validUtf8) survey_.badNames.push_back(slot);
    noteworthy_.push_back(facts.hasNul || facts.hasCommaSpace || facts.hasSemicolon ||
                          facts.hasTab);
    build([&] { builder_.newName(slot, name); });
  }

  // Kept lean: a large file has millions of tag words, and each reads only noteworthy_, a
  // small array that stays in the cache where the names' facts would not. The walk counts
  // each name's words in the name's entry of the table, which the word has just touched.
  [[gnu::always_inline]] void tagWord(const TagWord& word) {
    if (word.repeatsInLine) {
      ++repeatsInLine_;
    } else {
      treeLines_.add(word.slot);  // a distinct tag of the line, for the tree
    }
    ++tagsInLine_;
    if (noteworthy_[word.slot]) noteWord(word);
    build([&] { builder_.tagWord(word); });
  }

  void crLineEnd(bool followedByLf) {
    if (!followedByLf) survey_.crLines.add(survey_.lines);
  }

  void endLine() {
    if (tagsInLine_ == 0) survey_.blankLines.add(survey_.lines);
    if (tagsInLine_ > survey_.mostTags) {
      survey_.mostTags = tagsInLine_;
      survey_.mostTagsLine = survey_.lines;
    }
    if (tagsInLine_ > TagGroup::kCapacity) {
      survey_.overfullLines.push_back({survey_.lines, tagsInLine_, repeatsInLine_});
    }
    build([&] { builder_.endLine(); });
    treeLines_.endLine();
  }

  // After the walk: runs the rest of tagtree on what its grouping built, and works out
  // what needs the hierarchy.
  void finish() {
    const std::vector<std::uint64_t> counts = names_.counts();
    for (std::uint32_t slot = 0; slot < counts.size(); ++slot) {
      survey_.facts[slot].count = counts[slot];
      if (counts[slot] == 1) survey_.onceOnly.push_back(slot);
    }
    survey_.unbounded = inferTree(treeLines_, counts);
    treeLines_ = {};  // its memory serves the work below
    Verdict& verdict = survey_.verdict;
    ListingCounter listing;
    const bool succeeded = runGuarded(
        [&] {
          if (groupingFailure_) throw *groupingFailure_;
          inferAndList(grouping_, listing);
        },
        [&](std::string_view message, const Failure* failure) {
          verdict.message = message;
          verdict.outcome = outcomeOf(failure);
        });
    verdict.status = succeeded ? 0 : 1;
    verdict.paths = listing.lines();
    if (groupingFailure_) verdict.line = failureLine_;
    if (!groupingFailure_) learnHierarchy();
    findAlikeNames();
    findFixes();
  }

 private:
  // Runs a step of tagtree's grouping until one fails; the failure is its verdict.
  template <typename Step>
  void build(Step step) {
    if (groupingFailure_) return;
    try {
      step();
    } catch (const Failure& failure) {
      groupingFailure_ = failure;
      failureLine_ = survey_.lines;
    }
  }

  // A word whose name holds a NUL, or what may be meant as a separator.
  void noteWord(const TagWord& word) {
    const NameFacts& facts = survey_.facts[word.slot];
    const std::uint64_t line = survey_.lines;
    if (facts.hasNul) survey_.nulLines.add(line);
    if (word.startsLine && word.endsLine) {  // the whole line: it holds no "; "
      if (facts.hasCommaSpace) survey_.commaLines.add(line);
      if (facts.hasSemicolon) survey_.semicolonLines.add(line);
      if (facts.hasTab) survey_.tabLines.add(line);
    }
  }

  // Returns what the failure `failure` (null for memory running out) means.
  Outcome outcomeOf(const Failure* failure) const {
    if (failure == nullptr) return Outcome::kOtherFailure;
    if (failure->kind() == FailureKind::kText) return Outcome::kBadName;
    if (failure->kind() != FailureKind::kBounds) return Outcome::kOtherFailure;
    switch (failure->position()) {
      case kTooManyTags:
        return Outcome::kTooManyTags;
      case kTooManyLines:
        return Outcome::kTooManyLines;
      case kTagGroupFull:  // a line's group during grouping, a child group after it
        return groupingFailure_ ? Outcome::kOverfullLine : Outcome::kTooManyChildren;
      default:
        return Outcome::kOtherFailure;
    }
  }

  // The hierarchy of a file within the limits of lines, tags and tags in a line.
  void learnHierarchy() {
    survey_.hierarchyKnown = true;
    const int tags = grouping_.allTagCount;
    for (int parent = 0; parent < tags; ++parent) {
      std::uint64_t children = 0;
      for (int child = 0; child < tags; ++child) children += becomesChild(grouping_, parent, child);
      if (children > TagGroup::kCapacity) {
        survey_.crowdedParents.push_back({static_cast<std::uint32_t>(parent), children});
      }
    }
    if (!survey_.crowdedParents.empty()) return;  // inference failed: the rest is unknown
    std::vector<TagPlace>& places = survey_.places;
    places.resize(static_cast<std::size_t>(tags));
    for (int slot = 0; slot < tags; ++slot) {
      for (const Tag* child : grouping_.tagGroups.of(grouping_.allTags[slot]).getTags()) {
        if (child == nullptr) break;
        const LineSet shared = grouping_.lineSets[slot] & grouping_.lineSets[child->slot()];
        places[child->slot()].parents.push_back(
            {static_cast<std::uint32_t>(slot),
             static_cast<std::uint64_t>(std::countr_zero(shared)) + 1});
      }
    }
    // The paths in the order tagtree prints them; the first name it cannot print ends them.
    forEachPath(grouping_, [&](const Tag* parent, const Tag* child) {
      for (const Tag* tag : {parent, child}) {
        if (tag == nullptr || survey_.badName) continue;
        if (!survey_.facts[tag->slot()].validUtf8) survey_.badName = tag->slot();
      }
      TagPlace& place = places[(child != nullptr ? child : parent)->slot()];
      place.printed = true;
      if (child != nullptr) place.printedUnder = parent->slot();
    });
    if (survey_.badName) places.clear();  // tagtree fails: no tag's place is its own
  }

  // Groups the names that are alike but for letter case, compatible forms or end spaces.
  void findAlikeNames() { survey_.alikeNames = explain::findAlikeNames(names_); }

  // What a single change would leave of the limits the file breaks.
  void findFixes() {
    Fixes& fixes = survey_.fixes;
    const std::uint64_t distinct = names_.size();
    fixes.linesWithoutBlank = survey_.lines - survey_.blankLines.total();
    fixes.tagsMergingAlike = distinct;
    for (const std::vector<std::uint32_t>& alike : survey_.alikeNames)
      fixes.tagsMergingAlike -= alike.size() - 1;
    fixes.tagsOnce = survey_.onceOnly.size();
    if (survey_.encoding.utf8Marks > 0 && !isUtf16(survey_.encoding.encoding)) {
      // Only the first word loses the marks: its name goes where it occurs nowhere else,
      // and the name without them comes in where it is a tag not met elsewhere. A file
      // whose marks end its first line has no first word that holds them: the marks are
      // the first word.
      const std::string_view marked = names_.name(0);
      std::string_view plain = marked;
      while (plain.starts_with(kByteOrderMark)) plain.remove_prefix(kByteOrderMark.size());
      std::uint64_t tags = distinct - (survey_.facts[0].count == 1 ? 1 : 0);
      if (!isSkippedWord(plain) && names_.find(plain) == NameTable::kNotFound) ++tags;
      fixes.tagsWithoutByteOrderMark = tags;
    }
  }

  Survey& survey_;
  const NameTable& names_;
  Grouping grouping_;
  GroupingBuilder builder_;
  std::optional<Failure> groupingFailure_;
  std::uint64_t failureLine_ = 0;
  std::uint64_t tagsInLine_ = 0;
  std::uint64_t repeatsInLine_ = 0;
  std::vector<std::uint8_t> noteworthy_;  // by slot: 1 where the name has something to warn of
  LineSlots treeLines_;                   // the distinct tags of each line, for the tree
};

}  // namespace

void LineList::add(std::uint64_t line) {
  if (!runs_.empty() && runs_.back().last == line) return;
  if (!runs_.empty() && runs_.back().last + 1 == line) {
    runs_.back().last = line;
  } else {
    runs_.push_back({line, line});
  }
  ++total_;
}

std::vector<std::uint64_t> LineList::first(std::size_t n) const {
  std::vector<std::uint64_t> lines;
  for (const Run& run : runs_) {
    for (std::uint64_t line = run.first; line <= run.last && lines.size() < n; ++line)
      lines.push_back(line);
    if (lines.size() == n) break;
  }
  return lines;
}

Survey survey(ByteSource& source, std::size_t readSize) {
  Survey result;
  SurveyWalk surveyWalk(result, result.names);
  EncodingReading encoding;
  EncodingReadingSource reading(source, encoding);
  InputWindow window(reading, readSize);
  walkLines(window, result.names, surveyWalk);
  result.encoding = encoding.decide();
  surveyWalk.finish();
  return result;
}

}  // namespace tagtree::explain
