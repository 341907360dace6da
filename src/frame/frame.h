// The frame around a run: it runs the stages once, turns any failure into the line
// "Error: <message>" and exit status 1, and otherwise returns status 0.
#ifndef TAGTREE_FRAME_FRAME_H_
#define TAGTREE_FRAME_FRAME_H_

#include <cstddef>
#include <string_view>

#include "base/failure.h"
#include "base/output_sink.h"
#include "pipeline/input_window.h"

namespace tagtree {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;

// Runs the whole job on `text` in memory, read `readSize` bytes at a time, writing the
// listing, or the listing up to a failure followed by its error line, to `out`. Returns
// the exit status. Only what `out` itself throws gets out.
int runOnText(std::string_view text, OutputSink& out,
              std::size_t readSize = InputWindow::kDefaultReadSize);

// Runs the tool: reads "files.in" from the working directory and writes to standard
// output. A failure writing standard output is reported on standard error. Returns the
// exit status.
int runTool();

}  // namespace tagtree

#endif  // TAGTREE_FRAME_FRAME_H_
