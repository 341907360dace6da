// The tree's two forms. A path names its parent, a top-level tag written, and so
// checked, just before; so each name is checked for UTF-8 once, where it is first written.
#include "explain/tree_output.h"

#include <cstdint>
#include <vector>

#include "base/failure.h"
#include "explain/shown_name.h"
#include "pipeline/line_walk.h"
#include "pipeline/utf8.h"

namespace tagtree::explain {
namespace {

bool isUtf8(std::string_view name) { return validUtf8Prefix(name) == name.size(); }

// Writes "/" and `name`, or "/" and the part of it before its first ill-formed sequence,
// and then throws the text failure.
void writeChecked(std::string_view name, OutputSink& out) {
  const std::size_t valid = validUtf8Prefix(name);
  out.write("/");
  out.write(name.substr(0, valid));
  if (valid != name.size()) throw textFailure();
}

// Writes the DOT name of the tag in `slot`.
void writeNode(std::uint32_t slot, OutputSink& out) {
  out.write("n");
  out.write(std::to_string(slot));
}

}  // namespace

void writeTreePaths(const UnboundedTree& tree, const NameTable& names, OutputSink& out) {
  for (const std::uint32_t slot : pathOrder(tree)) {
    const TreeSpot& spot = tree.spots[slot];
    if (spot.place == TreePlace::kChild) {
      out.write("/");
      out.write(names.name(spot.parent));
    }
    writeChecked(names.name(slot), out);
    out.write("\n");
  }
}

std::string dotLabel(std::string_view name) {
  // Graphviz takes no quoted string longer than 16 KiB: a long name is shown cut, as the
  // report shows it, its node told apart from others by its own name in the graph.
  bool plain = isUtf8(name) && name.size() <= kLongestShownName;
  for (const char c : name) plain = plain && static_cast<unsigned char>(c) >= 0x20 && c != 0x7F;
  const std::string shown = plain ? std::string(name) : shownName(name);
  std::string label = "\"";
  for (const char c : shown) {
    if (c == '&') {
      label += "&amp;";  // Graphviz reads "&amp;", "&#38;" and the like as entities
      continue;
    }
    if (c == '"' || c == '\\') label += '\\';
    label += c;
  }
  label += '"';
  return label;
}

void writeTreeDot(const UnboundedTree& tree, const NameTable& names, OutputSink& out) {
  // Graphviz lays the trees of the top-level tags out in no order it promises; as the
  // children of one invisible root, with edges kept in order, they keep the paths' order.
  out.write(
      "digraph tree {\n"
      "  rankdir=LR;\n"
      "  ordering=out;\n"
      "  node [shape=box, style=rounded];\n"
      "  root [shape=point, width=0, style=invis];\n");
  for (const std::uint32_t slot : pathOrder(tree)) {
    out.write("  ");
    writeNode(slot, out);
    out.write(" [label=");
    out.write(dotLabel(names.name(slot)));
    out.write("];\n  ");
    const TreeSpot& spot = tree.spots[slot];
    if (spot.place == TreePlace::kChild) {
      writeNode(spot.parent, out);
    } else {
      out.write("root");
    }
    out.write(" -> ");
    writeNode(slot, out);
    out.write(spot.place == TreePlace::kChild ? ";\n" : " [style=invis];\n");
  }
  out.write("}\n");
}

int runTree(ByteSource& source, TreeForm form, OutputSink& out, std::size_t readSize) {
  NameTable names;
  TreeCollector collector;
  InputWindow window(source, readSize);
  walkLines(window, names, collector);
  const UnboundedTree tree = collector.infer(names);
  if (form == TreeForm::kPaths) {
    try {
      writeTreePaths(tree, names, out);
      return 0;
    } catch (const Failure& failure) {
      if (failure.kind() != FailureKind::kText) throw;
      out.write(kErrorLinePrefix);
      out.write(failure.what());
      out.write("\n");
      return 1;
    }
  }
  if (form == TreeForm::kDot) writeTreeDot(tree, names, out);
  for (std::uint32_t slot = 0; slot < tree.spots.size(); ++slot) {
    const TreePlace place = tree.spots[slot].place;
    const bool printed = place == TreePlace::kTopLevel || place == TreePlace::kChild;
    if (printed && !isUtf8(names.name(slot))) return 1;
  }
  return 0;
}

}  // namespace tagtree::explain
