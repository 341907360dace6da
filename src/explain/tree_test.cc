// The tree without the capacities: the packed lines give back what went in, and each
// tag's place follows the rule, worked out by hand for the cases that decide it.
#include "explain/tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "base/byte_source.h"
#include "pipeline/line_walk.h"

namespace tagtree::explain {
namespace {

TEST(LineSlots, GivesBackEveryLineKeptAcrossBlocks) {
  // Slots on both sides of each size of their packed form, then 300,000 more of every
  // size, a few to a line: enough for several blocks, whose ends lines and slots cross.
  std::vector<std::vector<std::uint32_t>> lines = {
      {0, 126, 127, 128, 16383, 16384}, {}, {2097151, 2097152, 268435455, 268435456, kNoTag - 1}};
  // A line far longer than the room a line starts with, every slot of a different size.
  std::vector<std::uint32_t>& longLine = lines.emplace_back();
  for (std::uint32_t slot = 0; longLine.size() < 1000; ++slot)
    longLine.push_back(slot % 5 == 4 ? kNoTag - 1 - slot : slot << (slot % 5 * 7));
  for (std::uint32_t state = 1; lines.size() < 100000;) {
    std::vector<std::uint32_t>& line = lines.emplace_back();
    state = state * 1664525 + 1013904223;
    for (std::uint32_t n = state >> 29; n > 0; --n) {  // 0 to 7 slots
      state = state * 1664525 + 1013904223;
      line.push_back(std::min(state >> (state % 32), kNoTag - 1));
    }
  }
  LineSlots packed;
  std::vector<std::vector<std::uint32_t>> expected;
  for (const std::vector<std::uint32_t>& line : lines) {
    for (const std::uint32_t slot : line) packed.add(slot);
    packed.endLine();
    if (line.size() >= 2) expected.push_back(line);  // a line of one tag or none is not kept
  }
  std::vector<std::vector<std::uint32_t>> kept;
  packed.forEachLine(
      [&](std::span<const std::uint32_t> line) { kept.emplace_back(line.begin(), line.end()); });
  EXPECT_EQ(kept, expected);
  EXPECT_GT(packed.packedBytes(), 4u * 64 * 1024);
}

TEST(LineSlots, PacksSmallSlotsInAByteEachAndNoLineOfOneTag) {
  LineSlots packed;
  packed.endLine();  // a line without tags takes nothing
  packed.add(5);     // nor one of a single tag
  packed.endLine();
  EXPECT_EQ(packed.packedBytes(), 0u);
  for (std::uint32_t slot = 0; slot < 127; ++slot) packed.add(slot);
  packed.endLine();
  EXPECT_EQ(packed.packedBytes(), 128u);
  packed.add(127);  // slot + 1 = 128 needs a second byte
  packed.endLine();
  EXPECT_EQ(packed.packedBytes(), 128u);
  packed.add(127);
  packed.add(3);
  packed.endLine();
  EXPECT_EQ(packed.packedBytes(), 132u);
  std::vector<std::vector<std::uint32_t>> kept;
  packed.forEachLine(
      [&](std::span<const std::uint32_t> line) { kept.emplace_back(line.begin(), line.end()); });
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[1], (std::vector<std::uint32_t>{127, 3}));
}

TEST(LineSlots, EndsALineWhoseLastSlotWouldFillItsBlock) {
  // 511 lines of 127 one-byte slots and their ends take 65,408 bytes; then 123 one-byte
  // slots and a five-byte one would fill the 64 KiB block to its last byte, leaving no
  // room for the line's end.
  std::vector<std::vector<std::uint32_t>> lines(511);
  for (std::vector<std::uint32_t>& line : lines) {
    for (std::uint32_t slot = 0; slot < 127; ++slot) line.push_back(slot);
  }
  lines.emplace_back();
  for (std::uint32_t slot = 0; slot < 123; ++slot) lines.back().push_back(slot);
  lines.back().push_back(kNoTag - 1);
  lines.push_back({7, 8});
  LineSlots packed;
  for (const std::vector<std::uint32_t>& line : lines) {
    for (const std::uint32_t slot : line) packed.add(slot);
    packed.endLine();
  }
  std::vector<std::vector<std::uint32_t>> kept;
  packed.forEachLine(
      [&](std::span<const std::uint32_t> line) { kept.emplace_back(line.begin(), line.end()); });
  EXPECT_EQ(kept, lines);
  EXPECT_EQ(packed.packedBytes(), 64u * 1024 + 4);
}

// Returns the tree of `text`, walked as tagtree walks it, with each tag's place written
// as "name:top", "name:<parent>" (printed under it), "name:under(<parent>)" or
// "name:many(<parent>,<parent>)", in slot order, and then the number of paths.
std::string placesOf(const std::string& text) {
  NameTable names;
  TreeCollector collector;
  TextSource source(text);
  InputWindow window(source, 3);  // small reads: every line end falls between two
  walkLines(window, names, collector);
  const UnboundedTree tree = collector.infer(names);
  std::string places;
  std::uint64_t many = 0;
  for (std::uint32_t slot = 0; slot < tree.spots.size(); ++slot) {
    const TreeSpot& spot = tree.spots[slot];
    const auto name = [&](std::uint32_t other) { return std::string(names.name(other)); };
    places += name(slot) + ":";
    switch (spot.place) {
      case TreePlace::kTopLevel:
        places += "top";
        break;
      case TreePlace::kChild:
        places += name(spot.parent);
        break;
      case TreePlace::kUnderChild:
        places += "under(" + name(spot.parent) + ")";
        break;
      case TreePlace::kManyParents:
        places += "many(" + name(spot.parent) + "," + name(spot.otherParent) + ")";
        ++many;
        break;
    }
    places += " ";
  }
  EXPECT_EQ(tree.manyParents, many);
  return places + std::to_string(tree.paths) + " paths";
}

TEST(InferTree, PlacesEachTagByTheRule) {
  struct Case {
    const char* what;
    std::string text;
    std::string places;
  };
  const Case cases[] = {
      {"no tags", "\n\n", "0 paths"},
      {"one tag alone", "a\n", "a:top 1 paths"},
      {"two once-only tags take each other", "a; b\n", "a:under(b) b:under(a) 0 paths"},
      {"counts 2 and 1", "a; b\na\n", "a:top b:a 2 paths"},
      {"a child met before its parent", "x; y\ny\nz; y\n", "x:y y:top z:y 3 paths"},
      {"equal counts of 3 take nothing", "x; y\nx; y\nx; y\n", "x:top y:top 2 paths"},
      {"counts 4 and 3: half of 4, plus one", "a; b\na; b\na; b\na\n", "a:top b:a 2 paths"},
      {"counts 5 and 3 take, 3 and 3 do not", "p; c\np; c\np; c\np\np\nq; d\nq; d\nq; d\n",
       "p:top c:p q:top d:top 4 paths"},
      {"a grandchild", "a; b\nb; c\na\na\n", "a:top b:a c:under(b) 2 paths"},
      {"two parents on two lines", "p; c\np\np\nq; c\nq\nq\n", "p:top c:many(p,q) q:top 2 paths"},
      {"the same parent on two lines is one", "a; b\na; b\na\na\na\n", "a:top b:a 2 paths"},
      {"three once-only tags: the middle one has two parents too", "a; b; c\n",
       "a:many(b,c) b:many(a,c) c:many(a,b) 0 paths"},
      {"repeats count, but share a line once", "a; a; a; b; c\n",
       "a:top b:many(a,c) c:many(a,b) 1 paths"},
      {"x; a; a", "x; a; a\n", "x:a a:top 2 paths"},
      {"a frequent tag is no child of rarer ones beside it", "a; b; c\na\na\na\nb\nb\nc\nc\n",
       "a:top b:a c:a 3 paths"},
      {"skipped words are no tags", "a; ; b;  ; \na\n", "a:top b:a 2 paths"},
      {"a third parent changes nothing", "p; c\np\np\np\nq; c\nq\nq\nq\nr; c\nr\nr\nr\n",
       "p:top c:many(p,q) q:top r:top 3 paths"},
      {"a parent that a tag first met later takes", "m; c\nm\nm\nm\nh; c\nh\nh\nh\nh\nh\nh\nh; m\n",
       "m:h c:many(m,h) h:top 2 paths"},
  };
  for (const Case& c : cases) EXPECT_EQ(placesOf(c.text), c.places) << c.what;
}

TEST(InferTree, ComparesCountsPast32BitsWhole) {
  // A file of billions of tag words gives counts that 32 bits do not hold: cut to them,
  // 2^33 would be 0 and take no child, and the other two would take each other.
  LineSlots lines;
  for (const std::uint32_t slot : {0u, 1u, 2u}) lines.add(slot);
  lines.endLine();
  const std::uint64_t big = std::uint64_t{1} << 32;
  const std::vector<std::uint64_t> counts = {2 * big, big + 1, big + 2};
  const UnboundedTree tree = inferTree(lines, counts);
  ASSERT_EQ(tree.spots.size(), 3u);
  EXPECT_EQ(tree.spots[0].place, TreePlace::kTopLevel);
  EXPECT_EQ(tree.spots[1].place, TreePlace::kChild);  // big + 1 <= 2 * big / 2 + 1
  EXPECT_EQ(tree.spots[1].parent, 0u);
  EXPECT_EQ(tree.spots[2].place, TreePlace::kTopLevel);  // big + 2 is not
  EXPECT_EQ(tree.paths, 3u);
}

}  // namespace
}  // namespace tagtree::explain
