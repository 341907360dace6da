// The whole job on a stream of bytes: grouping, inference and listing, in that order.
#ifndef TAGTREE_PIPELINE_PIPELINE_H_
#define TAGTREE_PIPELINE_PIPELINE_H_

#include <cstddef>

#include "pipeline/byte_source.h"
#include "pipeline/input_window.h"
#include "pipeline/output_sink.h"

namespace tagtree {

// Writes the hierarchy of the bytes of `source`, read `readSize` bytes at a time, to
// `out`. Throws Failure (reading, capacities, bad UTF-8), std::bad_alloc, or whatever
// `out` throws.
void runPipeline(ByteSource& source, OutputSink& out,
                 std::size_t readSize = InputWindow::kDefaultReadSize);

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_PIPELINE_H_
