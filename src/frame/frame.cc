// The one place where failures are caught.
#include "frame/frame.h"

#include <unistd.h>

#include <cstring>
#include <new>

#include "base/failure.h"
#include "base/fd_sink.h"
#include "base/input_file.h"
#include "pipeline/pipeline.h"

namespace tagtree {
namespace {

// Writes the line "Error: <message>" to `out`.
void writeErrorLine(OutputSink& out, std::string_view message) {
  out.write(kErrorLinePrefix);
  out.write(message);
  out.write("\n");
}

// Runs `job` and reports any failure it raises on `out`. Returns the exit status.
template <typename Job>
int runReported(OutputSink& out, Job job) {
  const bool completed = runGuarded(
      job, [&](std::string_view message, const Failure*) { writeErrorLine(out, message); });
  return completed ? kExitSuccess : kExitFailure;
}

// Writes "Error: standard output: <text>" to standard error, with no buffer to fail.
void reportOutputFailure(int errnum) {
  const char* const parts[] = {"Error: standard output: ", std::strerror(errnum), "\n"};
  for (const char* part : parts) {
    if (writeFully(STDERR_FILENO, part, std::strlen(part)) != 0) return;  // nowhere to report
  }
}

}  // namespace

int runOnText(std::string_view text, OutputSink& out, std::size_t readSize) {
  return runReported(out, [&] {
    TextSource source(text);
    runPipeline(source, out, readSize);
  });
}

int runTool() {
  static FdSink out(STDOUT_FILENO);
  try {
    const int status = runReported(out, [&] {
      InputFile input("files.in");
      runPipeline(input, out);
    });
    out.flush();
    return status;
  } catch (const OutputFailure& failure) {
    reportOutputFailure(failure.errnum());
    return kExitFailure;
  }
}

}  // namespace tagtree
