// Runs the three stages once.
#include "pipeline/pipeline.h"

#include "pipeline/grouping.h"
#include "pipeline/inference.h"
#include "pipeline/listing.h"

namespace tagtree {

void runPipeline(std::string_view text, OutputSink& out) {
  Grouping grouping;
  groupLines(text, grouping);
  inferParents(grouping);
  listHierarchy(grouping, out);
}

}  // namespace tagtree
