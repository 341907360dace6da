// tagtree-explain --tree against tagtree itself on generated files within the capacities,
// byte for byte; against the unbounded literal model on files of any size; and its DOT
// form against what Graphviz's dot makes of it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/failure.h"
#include "explain/shown_name.h"
#include "explain/survey.h"
#include "explain/tree_output.h"
#include "frame/frame.h"
#include "input_generator.h"
#include "literal_model.h"
#include "pipeline/utf8.h"

namespace tagtree::reference {
namespace {

struct TreeRun {
  std::string out;
  int status;
};

TreeRun treeOf(const std::string& input, std::size_t readSize = InputWindow::kDefaultReadSize) {
  TextSource source(input);
  StringSink out;
  const int status = explain::runTree(source, explain::TreeForm::kPaths, out, readSize);
  return {out.text(), status};
}

// The survey's tree of `input`, written as --tree writes it.
TreeRun surveyedTreeOf(const std::string& input) {
  TextSource source(input);
  const explain::Survey survey = explain::survey(source);
  StringSink out;
  try {
    explain::writeTreePaths(survey.unbounded, survey.names, out);
    return {out.text(), 0};
  } catch (const Failure& failure) {
    return {out.text() + kErrorLinePrefix + failure.what() + "\n", 1};
  }
}

TEST(TreeAgreement, TreeIsTagtreesOnGeneratedFilesWithinTheCapacities) {
  InputGenerator generator(20261210);
  int compared = 0, badNames = 0, pastCapacities = 0;
  for (int round = 0; round < 400; ++round) {
    for (int shape = 0; shape < InputGenerator::kShapes; ++shape) {
      const std::string input = generator.make(static_cast<InputGenerator::Shape>(shape));
      SCOPED_TRACE("input: " + explain::shownName(input));
      StringSink tagtree;
      const int status = runOnText(input, tagtree);
      const ModelResult unbounded = runUnboundedModel(input);
      if (tagtree.text().find("Error: ArrayBoundsError") != std::string::npos) {
        ++pastCapacities;  // compared with the unbounded model alone
        ASSERT_EQ(treeOf(input).out, unbounded.output);
        continue;
      }
      for (const std::size_t readSize : {1, 2, 3, 7, 64, 4096}) {
        const TreeRun tree = treeOf(input, readSize);
        ASSERT_EQ(tree.out, tagtree.text()) << "read size " << readSize;
        ASSERT_EQ(tree.status, status) << "read size " << readSize;
      }
      // The unbounded model, the survey's tree and tagtree agree within the capacities.
      EXPECT_EQ(unbounded.output, tagtree.text());
      EXPECT_EQ(unbounded.status, status);
      const TreeRun surveyed = surveyedTreeOf(input);
      EXPECT_EQ(surveyed.out, tagtree.text());
      EXPECT_EQ(surveyed.status, status);
      ++compared;
      badNames += status != 0;
    }
  }
  // Both the files within the capacities and past them were met often, and among the
  // first, files whose listing ends at a name that is not UTF-8.
  EXPECT_GE(compared, 1500);
  EXPECT_GE(badNames, 300);
  EXPECT_GE(pastCapacities, 700);
}

TEST(TreeAgreement, TreeIsTheUnboundedModelsOnLargeFiles) {
  InputGenerator generator(20261211);
  std::map<explain::TreePlace, std::uint64_t> places;
  int badNames = 0, longLines = 0;
  for (int file = 0; file < 16; ++file) {
    const std::string input = generator.largeFile();
    SCOPED_TRACE("file " + std::to_string(file));
    const ModelResult expected = runUnboundedModel(input);
    for (const std::size_t readSize : {std::size_t{7}, InputWindow::kDefaultReadSize}) {
      const TreeRun tree = treeOf(input, readSize);
      ASSERT_EQ(tree.out, expected.output) << "read size " << readSize;
      ASSERT_EQ(tree.status, expected.status) << "read size " << readSize;
    }
    TextSource source(input);
    const explain::Survey survey = explain::survey(source);
    const TreeRun surveyed = surveyedTreeOf(input);
    EXPECT_EQ(surveyed.out, expected.output);
    EXPECT_EQ(surveyed.status, expected.status);
    // Its counts are those of its places; whole, the paths are the listing's lines.
    std::uint64_t paths = 0, many = 0;
    for (const explain::TreeSpot& spot : survey.unbounded.spots) {
      ++places[spot.place];
      paths +=
          spot.place == explain::TreePlace::kTopLevel || spot.place == explain::TreePlace::kChild;
      many += spot.place == explain::TreePlace::kManyParents;
    }
    EXPECT_EQ(survey.unbounded.paths, paths);
    EXPECT_EQ(survey.unbounded.manyParents, many);
    if (expected.status == 0) {
      EXPECT_EQ(paths, static_cast<std::uint64_t>(
                           std::count(expected.output.begin(), expected.output.end(), '\n')));
    }
    EXPECT_EQ(survey.verdict.status, 1);  // past tagtree's capacities
    badNames += expected.status;
    longLines += survey.mostTags > 50;
  }
  // Every kind of place was met often, so the agreement covers each.
  EXPECT_GE(places[explain::TreePlace::kTopLevel], 100u);
  EXPECT_GE(places[explain::TreePlace::kChild], 400u);
  EXPECT_GE(places[explain::TreePlace::kManyParents], 2000u);
  EXPECT_GE(places[explain::TreePlace::kUnderChild], 200u);
  EXPECT_GE(badNames, 2);
  EXPECT_GE(longLines, 8);
}

// A directory of its own for a run of dot, removed with what it holds.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tagtree-dot-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
  }
  ~TempDir() {
    if (!path_.empty()) std::filesystem::remove_all(path_);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// What Graphviz shows for a name: the name itself where it is UTF-8 without control
// characters, else the name as the report shows it.
std::string shownByGraphviz(std::string_view name) {
  bool plain = validUtf8Prefix(name) == name.size();
  for (const unsigned char c : name) plain = plain && c >= 0x20 && c != 0x7F;
  return plain ? std::string(name) : explain::shownName(name);
}

TEST(TreeDrawing, DotDrawsTheTreeOfGeneratedFiles) {
  if (std::system("command -v dot > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "Graphviz's dot is not installed (Debian: apt-get install graphviz)";
  }
  InputGenerator generator(20261212);
  TempDir dir;
  ASSERT_NE(dir.path(), "");
  int edges = 0, shownOtherwise = 0, plainFiles = 0;
  for (int file = 0; file < 30; ++file) {
    const std::string input = generator.drawnFile();
    SCOPED_TRACE("input: " + explain::shownName(input));
    TextSource source(input);
    const explain::Survey survey = explain::survey(source);
    StringSink dot;
    explain::writeTreeDot(survey.unbounded, survey.names, dot);
    {
      std::ofstream out(dir.path() + "/tree.dot", std::ios::binary);
      out << dot.text();
    }
    const std::string command = "cd '" + dir.path() + "' && dot -Tjson tree.dot > tree.json 2> err";
    ASSERT_EQ(std::system(command.c_str()), 0) << readWhole(dir.path() + "/err");
    EXPECT_EQ(readWhole(dir.path() + "/err"), "");
    const nlohmann::json graph = nlohmann::json::parse(readWhole(dir.path() + "/tree.json"));

    // Each node, by its DOT name, shows its tag's name; each visible edge is a path.
    std::vector<std::string> nodeNames;
    std::map<std::string, std::string> shown;
    for (const nlohmann::json& node : graph.at("objects")) {
      const std::string name = node.at("name");
      nodeNames.push_back(name);
      if (name == "root") continue;
      std::string text;
      for (const nlohmann::json& op : node.at("_ldraw_")) {
        if (op.at("op") == "T") text += op.at("text").get<std::string>();
      }
      shown[name] = text;
    }
    std::set<std::pair<std::string, std::string>> drawn;
    for (const nlohmann::json& edge : graph.value("edges", nlohmann::json::array())) {
      if (edge.value("style", "") == "invis") continue;
      drawn.emplace(nodeNames.at(edge.at("tail")), nodeNames.at(edge.at("head")));
    }
    std::set<std::pair<std::string, std::string>> paths;
    std::size_t nodes = 0;
    bool plain = true;
    for (const std::uint32_t slot : explain::pathOrder(survey.unbounded)) {
      const std::string node = "n" + std::to_string(slot);
      const std::string_view name = survey.names.name(slot);
      EXPECT_EQ(shown[node], shownByGraphviz(name)) << node;
      plain = plain && shown[node] == name;
      const explain::TreeSpot& spot = survey.unbounded.spots[slot];
      if (spot.place == explain::TreePlace::kChild) {
        paths.emplace("n" + std::to_string(spot.parent), node);
      }
      ++nodes;
    }
    EXPECT_EQ(shown.size(), nodes);
    EXPECT_EQ(drawn, paths);
    edges += static_cast<int>(drawn.size());
    shownOtherwise += !plain;

    // Where every name is shown as it is, the drawing, read in order, is the listing.
    if (!plain) continue;
    std::string listing;
    std::map<std::string, std::string> parentOf;
    for (const auto& [parent, child] : drawn) parentOf[child] = parent;
    for (const std::string& node : nodeNames) {
      if (node == "root") continue;
      const auto parent = parentOf.find(node);
      listing +=
          "/" + (parent != parentOf.end() ? shown[parent->second] + "/" : "") + shown[node] + "\n";
    }
    EXPECT_EQ(listing, runUnboundedModel(input).output);
    ++plainFiles;
  }
  EXPECT_GE(edges, 30);
  EXPECT_GE(shownOtherwise, 5);
  EXPECT_GE(plainFiles, 5);
}

}  // namespace
}  // namespace tagtree::reference
