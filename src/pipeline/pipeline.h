// The whole job on bytes in memory: grouping, inference and listing, in that order.
#ifndef TAGTREE_PIPELINE_PIPELINE_H_
#define TAGTREE_PIPELINE_PIPELINE_H_

#include <string_view>

#include "pipeline/output_sink.h"

namespace tagtree {

// Writes the hierarchy of the input `text` to `out`. Throws Failure (capacities, bad
// UTF-8), std::bad_alloc, or whatever `out` throws.
void runPipeline(std::string_view text, OutputSink& out);

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_PIPELINE_H_
