// Runs the three stages once.
#include "pipeline/pipeline.h"

#include "pipeline/grouping.h"
#include "pipeline/inference.h"
#include "pipeline/listing.h"

namespace tagtree {

void runPipeline(ByteSource& source, OutputSink& out, std::size_t readSize) {
  Grouping grouping;
  groupLines(source, grouping, readSize);
  inferParents(grouping);
  listHierarchy(grouping, out);
}

}  // namespace tagtree
