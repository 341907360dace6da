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
  NameTable names;  // outlives the grouping, whose tags name its names
  Grouping grouping;
  groupLines(source, names, grouping, readSize);
  inferAndList(grouping, out);
}

}  // namespace tagtree
