// tagtree-explain --tree's forms: the paths end as tagtree's listing ends, at a name that
// is not UTF-8, and the graph names every tag so that Graphviz shows it as it is.
#include "explain/tree_output.h"

#include <gtest/gtest.h>

#include <string>

#include "explain/shown_name.h"

namespace tagtree::explain {
namespace {

struct TreeRun {
  std::string out;
  int status;
};

TreeRun treeOf(const std::string& text, TreeForm form, std::size_t readSize = 5) {
  TextSource source(text);
  StringSink out;
  const int status = runTree(source, form, out, readSize);
  return {out.text(), status};
}

TEST(TreeOutput, EndsAtANameNotUtf8AsTagtreeDoesInEveryForm) {
  struct Case {
    std::string text;
    std::string paths;
    int status;
  };
  const Case cases[] = {
      {"x; y\ny\nz; y\n", "/y\n/y/x\n/y/z\n", 0},
      {"ok\nab\xFF"
       "c\n",
       "/ok\n/abError: 4invalid UTF-8 sequence\n", 1},
      {"p; c\xE2\x82\np\n", "/p\n/p/cError: 4invalid UTF-8 sequence\n", 1},
      {"a; b\xFF\n", "", 0},                                        // left out, so never written
      {"\xE9t\xE9\nok\n", "/Error: 4invalid UTF-8 sequence\n", 1},  // the first tag
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const TreeRun paths = treeOf(c.text, TreeForm::kPaths);
    EXPECT_EQ(paths.out, c.paths);
    EXPECT_EQ(paths.status, c.status);
    const TreeRun nothing = treeOf(c.text, TreeForm::kNothing);
    EXPECT_EQ(nothing.out, "");
    EXPECT_EQ(nothing.status, c.status);
    const TreeRun dot = treeOf(c.text, TreeForm::kDot);  // written whole all the same
    EXPECT_TRUE(dot.out.ends_with("}\n"));
    EXPECT_EQ(dot.status, c.status);
  }
}

TEST(TreeOutput, LabelsEveryNameForDot) {
  struct Case {
    std::string name;
    std::string label;
  };
  const Case cases[] = {
      {"news", "\"news\""},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xF0\x9F\x98\x80\""},  // UTF-8 as it is
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\nb\\N", "\"a\\\\nb\\\\N\""},  // a backslash is no escape of Graphviz's
      {" end ", "\" end \""},
      {"<b>x</b> -> {y}; z", "\"<b>x</b> -> {y}; z\""},
      {"R&D &amp; &#38;", "\"R&amp;D &amp;amp; &amp;#38;\""},  // no entity of Graphviz's
      // Not UTF-8, or holding control characters: as the report shows it, each byte
      // \xHH, and then each of its backslashes escaped.
      {"caf\xE9", R"("caf\\xE9")"},
      {"tab\there", R"("tab\\x09here")"},
      {std::string("nul\0", 4), R"("nul\\x00")"},
      {"del\x7F", R"("del\\x7F")"},
      {"\\\xFF", R"("\\\\\\xFF")"},
      // Longer than Graphviz takes whole: cut, with its size.
      {std::string(16 * 1024, 'n') + "&",
       "\"" + std::string(40, 'n') + "..." + std::string(19, 'n') + "&amp; (16,385 bytes)\""},
  };
  for (const Case& c : cases) EXPECT_EQ(dotLabel(c.name), c.label) << shownName(c.name);
}

TEST(TreeOutput, DrawsEachChildUnderItsOneParent) {
  EXPECT_EQ(treeOf("x; y\ny\nz; y\nq\n", TreeForm::kDot).out,
            "digraph tree {\n"
            "  rankdir=LR;\n"
            "  ordering=out;\n"
            "  node [shape=box, style=rounded];\n"
            "  root [shape=point, width=0, style=invis];\n"
            "  n1 [label=\"y\"];\n"
            "  root -> n1 [style=invis];\n"
            "  n0 [label=\"x\"];\n"
            "  n1 -> n0;\n"
            "  n2 [label=\"z\"];\n"
            "  n1 -> n2;\n"
            "  n3 [label=\"q\"];\n"
            "  root -> n3 [style=invis];\n"
            "}\n");
}

}  // namespace
}  // namespace tagtree::explain
