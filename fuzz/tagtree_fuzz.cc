// libFuzzer target: runs the whole job in memory on the fuzzer's bytes and aborts when
// the tool and the literal model disagree on the output or the exit status, or when
// tagtree-explain's survey gives another verdict than the tool's, or when --fix leaves
// something for a second run to change; every form of the report is written too, for the
// sanitizers to watch. Each input
// runs twice: read in the tool's usual large pieces, and read 1 to 48 bytes at a time
// (the last byte of the input picks how many), so that the fuzzer also steers where the
// ends of the bytes at hand cut words, separators and line ends.
//
// The capacity limits (100 tags, 50 lines, 50 tags in a group) need inputs of hundreds
// of structured bytes, which random mutation rarely builds. So an input that starts
// with kExpandMarker is, besides being run as it is, expanded by a small repetition
// language and run again:
//
//   body     := record*
//   record   := count-byte template      (the template runs up to a 0x01 byte or the end)
//
// Each record writes its template count-byte times; inside the template, a 0x02 byte
// stands for the repetition's index in decimal. So "\x65" "t\x02; " gives 101 distinct
// tags, and "\x33" "a\n" gives 51 lines.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "explain/fix.h"
#include "explain/report.h"
#include "explain/survey.h"
#include "explain/unified_diff.h"
#include "frame/frame.h"
#include "literal_model.h"

namespace {

constexpr std::string_view kExpandMarker = "\xFE\xFE";
constexpr char kEndOfTemplate = '\x01';
constexpr char kIndex = '\x02';
// Expansion stops growing here, which keeps every run fast.
constexpr std::size_t kMaxExpandedSize = 64 * 1024;

std::string expand(std::string_view body) {
  std::string text;
  std::size_t pos = 0;
  while (pos < body.size() && text.size() < kMaxExpandedSize) {
    const auto count = static_cast<unsigned char>(body[pos++]);
    std::size_t end = body.find(kEndOfTemplate, pos);
    if (end == std::string_view::npos) end = body.size();
    const std::string_view pattern = body.substr(pos, end - pos);
    pos = end + 1;
    for (unsigned index = 0; index < count && text.size() < kMaxExpandedSize; ++index) {
      for (const char c : pattern) {
        if (c == kIndex) {
          text += std::to_string(index);
        } else {
          text += c;
        }
      }
    }
  }
  return text;
}

void printEscaped(const char* label, std::string_view bytes) {
  std::fprintf(stderr, "%s (%zu bytes): \"", label, bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\' && byte != '"') {
      std::fputc(byte, stderr);
    } else {
      std::fprintf(stderr, "\\x%02X", byte);
    }
  }
  std::fprintf(stderr, "\"\n");
}

[[noreturn]] void reportDisagreement(std::string_view input, std::size_t readSize,
                                     std::string_view output, int status,
                                     const tagtree::reference::ModelResult& expected) {
  std::fprintf(stderr, "tagtree and the literal model disagree, reading %zu bytes at a time\n",
               readSize);
  printEscaped("input", input);
  printEscaped("tagtree", output);
  std::fprintf(stderr, "tagtree status: %d\n", status);
  printEscaped("model", expected.output);
  std::fprintf(stderr, "model status: %d\n", expected.status);
  std::abort();
}

// Aborts unless tagtree-explain's survey of `input`, read `readSize` bytes at a time,
// gives tagtree's verdict: its status, its error line and the paths it prints whole.
void compareSurvey(std::string_view input, std::size_t readSize, std::string_view output,
                   int status) {
  tagtree::TextSource source(input);
  const tagtree::explain::Survey survey = tagtree::explain::survey(source, readSize);
  const tagtree::explain::Verdict& verdict = survey.verdict;
  const std::size_t error = status == 0 ? output.size() : output.rfind(tagtree::kErrorLinePrefix);
  const std::string_view listing = output.substr(0, error);
  const auto paths = static_cast<std::uint64_t>(std::count(listing.begin(), listing.end(), '\n'));
  const std::string errorLine =
      status == 0 ? "" : tagtree::kErrorLinePrefix + verdict.message + "\n";
  if (verdict.status == status && verdict.paths == paths &&
      output.substr(listing.size()) == errorLine)
    return;
  std::fprintf(stderr, "tagtree-explain's verdict is not tagtree's, reading %zu bytes at a time\n",
               readSize);
  printEscaped("input", input);
  printEscaped("tagtree", output);
  std::fprintf(stderr, "survey: status %d, %llu paths, message \"%s\"\n", verdict.status,
               static_cast<unsigned long long>(verdict.paths), verdict.message.c_str());
  std::abort();
}

// Writes every form of tagtree-explain's report on `input`, with what --fix would do, and
// the diff of it, for the sanitizers to watch; converts it from a code page as --from
// would; and aborts unless --fix leaves nothing for a second run to change.
void exerciseReport(std::string_view input, const tagtree::explain::Survey& survey) {
  tagtree::explain::Report report = tagtree::explain::reportOf(survey, "files.in");
  if (std::optional<tagtree::explain::Plan> plan = tagtree::explain::planFixes(input, report))
    tagtree::explain::setPlan(report, std::move(*plan));
  tagtree::StringSink text, gnu, json, diff;
  tagtree::explain::writeTextReport(report, text);
  tagtree::explain::writeGnuReport(report, gnu);
  tagtree::explain::writeJsonReport(report, json);
  std::string converted(input);
  tagtree::explain::FixRequest fromCodePage;
  fromCodePage.from = "windows-1252";
  tagtree::explain::fixAll(converted, fromCodePage);
  std::string fixed(input);
  tagtree::explain::fixAll(fixed);
  tagtree::explain::writeUnifiedDiff(input, fixed, "files.in", diff);
  std::string again = fixed;
  if (tagtree::explain::fixAll(again).applied.empty() && again == fixed) return;
  std::fprintf(stderr, "--fix left something for a second run to change\n");
  printEscaped("input", input);
  printEscaped("fixed once", fixed);
  printEscaped("fixed twice", again);
  std::abort();
}

void compareWithModel(std::string_view input) {
  const tagtree::reference::ModelResult expected = tagtree::reference::runLiteralModel(input);
  const std::size_t smallReads =
      input.empty() ? 1 : 1 + static_cast<unsigned char>(input.back()) % 48;
  for (const std::size_t readSize : {tagtree::InputWindow::kDefaultReadSize, smallReads}) {
    tagtree::StringSink sink;
    const int status = tagtree::runOnText(input, sink, readSize);
    if (sink.text() != expected.output || status != expected.status) {
      reportDisagreement(input, readSize, sink.text(), status, expected);
    }
    compareSurvey(input, readSize, sink.text(), status);
  }
  tagtree::TextSource source(input);
  exerciseReport(input, tagtree::explain::survey(source));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  compareWithModel(input);
  if (input.starts_with(kExpandMarker)) {
    compareWithModel(expand(input.substr(kExpandMarker.size())));
  }
  return 0;
}
