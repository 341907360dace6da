// The whole job on a stream of bytes: grouping, inference and listing, in that order.
#ifndef TAGTREE_PIPELINE_PIPELINE_H_
#define TAGTREE_PIPELINE_PIPELINE_H_

#include <cstddef>

#include "base/byte_source.h"
#include "base/output_sink.h"
#include "pipeline/grouping.h"
#include "pipeline/input_window.h"

namespace tagtree {

// The stages after grouping: infers the parents in `grouping` and writes the listing to
// `out`. Throws the bounds failure 180 when a tag gets a 51st child, the text failure at
// a written name that is not UTF-8, and whatever `out` throws.
void inferAndList(Grouping& grouping, OutputSink& out);

// Writes the hierarchy of the bytes of `source`, read `readSize` bytes at a time, to
// `out`. Throws Failure (reading, capacities, bad UTF-8), std::bad_alloc, or whatever
// `out` throws.
void runPipeline(ByteSource& source, OutputSink& out,
                 std::size_t readSize = InputWindow::kDefaultReadSize);

}  // namespace tagtree

#endif  // TAGTREE_PIPELINE_PIPELINE_H_
