// The fixes, each a pass over the bytes; the conversions go through iconv. The line and
// word cutting of the blank-line fix is tagtree's: a line ends at CR, LF or CR LF, and a
// line is blank when all its words, cut at "; ", are skipped ones.
#include "explain/fix.h"

#include <algorithm>

#include "base/byte_source.h"
#include "explain/encoding.h"
#include "explain/survey.h"
#include "pipeline/word_scanner.h"

namespace tagtree::explain {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Returns `bytes` without the UTF-8 byte-order marks that start them.
std::string_view withoutMarks(std::string_view bytes) {
  while (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
  return bytes;
}

// Returns UTF-16 `bytes` of the byte order `order` as UTF-8, without the byte-order mark
// that starts them; `bytes` where they do not decode.
std::string fromUtf16(std::string_view bytes, TextEncoding order) {
  const bool big = order == TextEncoding::kUtf16Be;
  const std::string_view mark = big ? "\xFE\xFF" : "\xFF\xFE";
  const std::string_view text = bytes.starts_with(mark) ? bytes.substr(2) : bytes;
  Conversion converted = convertToUtf8(big ? "UTF-16BE" : "UTF-16LE", text);
  if (converted.refusal != Refusal::kNone) return std::string(bytes);
  return std::move(converted.text);
}

std::string crToLf(std::string_view bytes) {
  std::string out(bytes);
  for (std::size_t at = 0; at < out.size(); ++at) {
    if (out[at] == '\r' && (at + 1 == out.size() || out[at + 1] != '\n')) out[at] = '\n';
  }
  return out;
}

// Returns whether the line `line`, without its line end, holds no tag: every word of it
// is the empty word or " ".
bool isBlank(std::string_view line) {
  for (std::size_t start = 0;;) {
    const std::size_t separator = line.find("; ", start);
    if (!isSkippedWord(line.substr(start, separator - start))) return false;
    if (separator == std::string_view::npos) return true;
    start = separator + 2;
  }
}

std::string withoutBlankLines(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t start = 0; start < bytes.size();) {
    std::size_t end = bytes.find_first_of("\r\n", start);
    std::size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
    if (end != std::string_view::npos && bytes[end] == '\r' && next < bytes.size() &&
        bytes[next] == '\n') {
      ++next;
    }
    if (!isBlank(bytes.substr(start, (end == std::string_view::npos ? bytes.size() : end) - start)))
      out.append(bytes.substr(start, next - start));
    start = next;
  }
  return out;
}

// Returns the line of `bytes` the byte at `offset` is on, counted as tagtree counts them.
std::uint64_t lineAt(std::string_view bytes, std::uint64_t offset) {
  std::uint64_t line = 1;
  for (std::size_t at = 0; at < offset && at < bytes.size(); ++at) {
    if (bytes[at] == '\n' ||
        (bytes[at] == '\r' && (at + 1 == bytes.size() || bytes[at + 1] != '\n')))
      ++line;
  }
  return line;
}

// Returns `encoding` as iconv compares names: upper case, without '-' and '_'.
std::string comparable(std::string_view encoding) {
  std::string name;
  for (const char c : encoding) {
    if (c == '-' || c == '_') continue;
    name += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  return name;
}

// Converts `bytes` from the encoding `request.from` names, the UTF-8 byte-order marks that
// start them first removed. Returns the refusal, leaving `bytes` as they were, or notes
// what it did in `applied`.
std::optional<FixRefusal> convert(std::string& bytes, const std::string& from,
                                  std::vector<Applied>& applied) {
  const EncodingDecision decision = decideEncoding(bytes);
  FixRefusal refusal{FixRefusal::Why::kUnknownEncoding, from};
  const auto refuse = [&](FixRefusal::Why why, std::uint64_t offset) {
    refusal.why = why;
    refusal.offset = offset;
    refusal.line = lineAt(bytes, offset);
    refusal.byte = offset < bytes.size() ? static_cast<unsigned char>(bytes[offset]) : 0;
    return refusal;
  };
  // A UTF-16 mark names its byte order; UTF-16 text of any line end, separator or ASCII
  // character holds a NUL. A Unicode form may hold what reads as UTF-8 by chance; any
  // other encoding may not, as it garbles UTF-8 that the file holds.
  const std::string name = comparable(from);
  const bool unicode = name.starts_with("UTF16") || name.starts_with("UTF32") ||
                       name.starts_with("UCS2") || name.starts_with("UCS4");
  const bool utf16 = name.starts_with("UTF16") || name.starts_with("UCS2");
  const bool marked = decision.utf16Mark != Utf16Mark::kNone;
  const bool orderNamed = name == "UTF16LE" || name == "UTF16BE";
  if (marked && (!utf16 || (orderNamed && (name == "UTF16LE") !=
                                              (decision.utf16Mark == Utf16Mark::kLittleEndian))))
    return refuse(FixRefusal::Why::kUtf16Mark, 0);
  if (utf16 && !marked && decision.nulBytes == 0) return refuse(FixRefusal::Why::kNoNul, 0);
  if (!unicode && decision.beyondAscii())
    return refuse(FixRefusal::Why::kHoldsUtf8, decision.firstBeyondAscii);
  const std::string_view text = withoutMarks(bytes);
  const std::uint64_t marks = (bytes.size() - text.size()) / kByteOrderMark.size();
  Conversion converted = convertToUtf8(from, text);
  switch (converted.refusal) {
    case Refusal::kNone:
      break;
    case Refusal::kUnknownEncoding:
      return refusal;
    case Refusal::kUndecodable:
      return refuse(FixRefusal::Why::kUndecodable, marks * 3 + converted.offset);
    case Refusal::kHoldsUtf8:
      return refuse(FixRefusal::Why::kHoldsUtf8, marks * 3 + converted.offset);
    case Refusal::kC1Control:
      refusal.character = converted.character;
      return refuse(FixRefusal::Why::kC1Control, marks * 3 + converted.offset);
    case Refusal::kNulCharacter:
      return refuse(FixRefusal::Why::kNulCharacter, marks * 3 + converted.offset);
  }
  // A file of UTF-8 text is converted by no encoding: it would only be garbled.
  if (decision.validUtf8() && decision.nulBytes == 0 && converted.text != text)
    return refuse(FixRefusal::Why::kAlreadyUtf8, 0);
  if (marks > 0) applied.push_back({Fix::kRemoveByteOrderMark, marks, ""});
  if (converted.text != text) applied.push_back({Fix::kFromEncoding, 0, from});
  bytes = std::move(converted.text);
  return std::nullopt;
}

// Returns what tagtree does with `bytes`.
VerdictFacts verdictOn(std::string_view bytes) {
  TextSource source(bytes);
  const Survey surveyed = survey(source);
  return reportOf(surveyed, "-").verdict;
}

}  // namespace

std::string applyFix(Fix fix, std::string_view bytes, TextEncoding order) {
  switch (fix) {
    case Fix::kNone:
    case Fix::kFromEncoding:  // a guess: only convert() applies it, from a named code page
      break;
    case Fix::kRemoveByteOrderMark:
      return std::string(withoutMarks(bytes));
    case Fix::kFromUtf16:
      return fromUtf16(bytes, order);
    case Fix::kCrToLf:
      return crToLf(bytes);
    case Fix::kDeleteBlankLines:
      return withoutBlankLines(bytes);
  }
  return std::string(bytes);
}

FixOutcome fixAll(std::string& bytes, const FixRequest& request) {
  FixOutcome outcome;
  if (!request.from.empty()) {
    outcome.refused = convert(bytes, request.from, outcome.applied);
    if (outcome.refused) return outcome;
  }
  // Each round applies the first fix the report offers; a fix leaves nothing for itself
  // to do, and none undoes another, so the rounds end: a UTF-16 file may need four, for
  // its line ends and blank lines show only once it is UTF-8.
  // No file needs more rounds than there are fixes, twice over; the bound only makes sure.
  constexpr int kMostRounds = 2 * std::size(kFixOrder);
  for (int round = 0, again = 1; again != 0 && round < kMostRounds; ++round) {
    TextSource source(bytes);
    const Survey surveyed = survey(source);
    const Report report = reportOf(surveyed, "-");
    again = 0;
    for (const Fix fix : kFixOrder) {
      if (!isCertain(fix) || !request.allows(fix)) continue;
      const auto offered = std::find_if(report.findings.begin(), report.findings.end(),
                                        [&](const Finding& finding) { return finding.fix == fix; });
      if (offered == report.findings.end()) continue;
      std::string fixed = applyFix(fix, bytes, surveyed.encoding.encoding);
      if (fixed == bytes) continue;  // bytes the fix does not take: nothing to do again
      Applied applied{fix, offered->count, ""};
      if (fix == Fix::kFromUtf16) applied.encoding = encodingLabel(surveyed.encoding.encoding);
      if (fix == Fix::kDeleteBlankLines || fix == Fix::kCrToLf)
        applied.count = offered->lines->total();
      outcome.applied.push_back(std::move(applied));
      bytes = std::move(fixed);
      again = 1;
      break;
    }
  }
  return outcome;
}

std::optional<Plan> planFixes(std::string_view bytes, const Report& report) {
  Plan plan;
  FixRequest request;
  if (!report.guess.encoding.empty()) {
    plan.from = report.guess;
    plan.guess = true;
    request.from = std::string(plan.from.encoding);
  }
  std::string fixed(bytes);
  FixOutcome outcome = fixAll(fixed, request);
  if (outcome.refused) {  // the likeliest code page reads the file, but not as text
    fixed = std::string(bytes);
    plan.from = {};
    plan.guess = false;
    outcome = fixAll(fixed);
  }
  if (outcome.applied.empty()) return std::nullopt;
  for (Applied& applied : outcome.applied) {
    if (applied.fix == Fix::kFromEncoding) applied.encoding = plan.from.label;
  }
  plan.fixes = std::move(outcome.applied);
  plan.after = verdictOn(fixed);
  return plan;
}

std::string refusalText(const FixRefusal& refusal) {
  static const char kHex[] = "0123456789ABCDEF";
  const std::string byte =
      std::string("byte 0x") + kHex[refusal.byte >> 4] + kHex[refusal.byte & 0xF];
  const std::string where =
      " on line " + grouped(refusal.line) + " (offset " + grouped(refusal.offset) + ")";
  switch (refusal.why) {
    case FixRefusal::Why::kUnknownEncoding:
      return "no encoding of that name is known";
    case FixRefusal::Why::kUndecodable:
      return byte + where + " does not decode";
    case FixRefusal::Why::kHoldsUtf8:
      return "it also holds valid UTF-8 beyond ASCII," + where +
             ", which converting it whole would garble";
    case FixRefusal::Why::kC1Control: {
      std::string code = "U+00";
      code += kHex[(refusal.character >> 4) & 0xF];
      code += kHex[refusal.character & 0xF];
      return byte + where + " would become the control character " + code +
             ", which no tag name means";
    }
    case FixRefusal::Why::kNulCharacter:
      return "the bytes" + where + " would become a NUL character, which no tag name means";
    case FixRefusal::Why::kNoNul:
      return "it holds no NUL byte, as UTF-16 text of any ASCII character, line end or "
             "separator does";
    case FixRefusal::Why::kAlreadyUtf8:
      return "it is UTF-8 already, which converting it would garble";
    case FixRefusal::Why::kUtf16Mark:
      break;
  }
  return "it starts with a UTF-16 byte-order mark, which names another encoding: --fix "
         "converts it without --from";
}

}  // namespace tagtree::explain
