// Runs the three stages once.
#include "pipeline/pipeline.h"

#include "pipeline/inference.h"
#include "pipeline/listing.h"

namespace tagtree {

void inferAndList(Grouping& grouping, OutputSink& out) {
  inferParents(grouping);
  listHierarchy(grouping, out);
}

void runPipeline(ByteSource& source, OutputSink& out, std::size_t readSize) {
  LineWalk walk;  // holds the names, so it outlives the grouping
  Grouping grouping;
  groupLines(source, walk, grouping, readSize);
  inferAndList(grouping, out);
}

}  // namespace tagtree
