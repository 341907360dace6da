// The one place where failures are caught.
#include "frame/frame.h"

#include <unistd.h>

#include <cstring>
#include <new>

#include "frame/failure.h"
#include "frame/fd_sink.h"
#include "frame/input_file.h"
#include "pipeline/pipeline.h"

namespace tagtree {
namespace {

void writeErrorLine(OutputSink& out, std::string_view message) {
  out.write("Error: ");
  out.write(message);
  out.write("\n");
}

// Runs `job` and reports any failure it raises on `out`. Returns the exit status.
template <typename Job>
int runGuarded(OutputSink& out, Job job) {
  try {
    job();
    return kExitSuccess;
  } catch (const Failure& failure) {
    writeErrorLine(out, failure.what());
  } catch (const std::bad_alloc&) {
    writeErrorLine(out, kOutOfMemoryMessage);
  }
  return kExitFailure;
}

// Writes "Error: standard output: <text>" to standard error, with no buffer to fail.
void reportOutputFailure(int errnum) {
  const char* const parts[] = {"Error: standard output: ", std::strerror(errnum), "\n"};
  for (const char* part : parts) {
    std::size_t left = std::strlen(part);
    while (left > 0) {
      const ssize_t written = ::write(STDERR_FILENO, part, left);
      if (written <= 0) {
        if (written < 0 && errno == EINTR) continue;
        return;  // nowhere left to report to
      }
      part += written;
      left -= static_cast<std::size_t>(written);
    }
  }
}

}  // namespace

int runOnText(std::string_view text, OutputSink& out, std::size_t readSize) {
  return runGuarded(out, [&] {
    TextSource source(text);
    runPipeline(source, out, readSize);
  });
}

int runTool() {
  static FdSink out(STDOUT_FILENO);
  try {
    const int status = runGuarded(out, [&] {
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
