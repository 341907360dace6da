// The JSON form: the report as one document, written as it goes, element by element, so
// that its size in memory stays that of one element however many tags and lines the file
// has. Small parts are built and written with nlohmann's JSON library; lists of lines and
// of tags are written on one line each. Every text in it is valid UTF-8: a name that is
// not has no "name" string, which every UTF-8 name may take, but null, and its bytes in
// hexadecimal, with "shown" as the report shows it to people.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/failure.h"
#include "explain/findings.h"
#include "explain/report.h"
#include "explain/shown_name.h"
#include "model/tag_group.h"
#include "pipeline/grouping.h"
#include "pipeline/utf8.h"

namespace tagtree::explain {
namespace {

using Json = nlohmann::ordered_json;

bool isUtf8(std::string_view bytes) { return validUtf8Prefix(bytes) == bytes.size(); }

// Returns `bytes` in hexadecimal, two lower-case digits a byte.
std::string hexBytes(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    text += kHex[byte >> 4];
    text += kHex[byte & 0xF];
  }
  return text;
}

std::string_view outcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kSucceeds:
      return "succeeds";
    case Outcome::kTooManyTags:
      return "too-many-tags";
    case Outcome::kTooManyLines:
      return "too-many-lines";
    case Outcome::kOverfullLine:
      return "overfull-line";
    case Outcome::kTooManyChildren:
      return "too-many-children";
    case Outcome::kBadName:
      return "invalid-utf-8";
    case Outcome::kOtherFailure:
      break;
  }
  return "other-failure";
}

// Writes a JSON document as nlohmann's dump with an indent of 2 would lay it out, but a
// member or element at a time. Lists of numbers go on one line: begin them with
// beginArray(true).
class JsonStream {
 public:
  explicit JsonStream(OutputSink& out) : out_(out) {}

  void beginObject() { open('{', false); }
  void endObject() { close('}'); }
  void beginArray(bool oneLine = false) { open('[', oneLine); }
  void endArray() { close(']'); }
  // Starts the member `name` of the object at hand; its value follows.
  void key(std::string_view name) {
    next();
    writeString(name);
    out_.write(": ");
    afterKey_ = true;
  }
  // Writes `value` as the next element, or the value of the member just started.
  void value(const Json& value) {
    next();
    const std::string text = value.dump(2, ' ', false, Json::error_handler_t::replace);
    // A nested value starts at column 0: its lines go in by the depth at hand.
    const std::string indent = std::string("\n").append(2 * open_.size(), ' ');
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1) {
      out_.write(std::string_view(text).substr(from, at - from));
      out_.write(indent);
    }
    out_.write(std::string_view(text).substr(from));
  }
  // Writes a scalar as the next element, or the value of the member just started, with no
  // document of its own: a tag's record is most of a large report.
  void value(std::string_view text) {
    next();
    writeString(text);
  }
  void value(std::uint64_t n) {
    next();
    out_.write(std::to_string(n));
  }
  void value(bool yes) {
    next();
    out_.write(yes ? "true" : "false");
  }
  void null() {
    next();
    out_.write("null");
  }
  void member(std::string_view name, const Json& v) {
    key(name);
    value(v);
  }
  void member(std::string_view name, std::string_view text) {
    key(name);
    value(text);
  }
  void member(std::string_view name, std::uint64_t n) {
    key(name);
    value(n);
  }
  void member(std::string_view name, bool yes) {
    key(name);
    value(yes);
  }
  void memberNull(std::string_view name) {
    key(name);
    null();
  }
  // Writes the raw JSON `text` as the next element.
  void raw(std::string_view text) {
    next();
    out_.write(text);
  }

 private:
  struct Level {
    std::size_t elements = 0;
    bool oneLine = false;
  };
  void open(char bracket, bool oneLine) {
    next();
    out_.write(std::string_view(&bracket, 1));
    open_.push_back({0, oneLine || (!open_.empty() && open_.back().oneLine)});
  }
  void close(char bracket) {
    const Level level = open_.back();
    open_.pop_back();
    if (level.elements > 0 && !level.oneLine) newLine();
    out_.write(std::string_view(&bracket, 1));
  }
  // Goes to where the next element or member starts.
  void next() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (open_.empty()) return;
    Level& level = open_.back();
    if (level.elements++ > 0) out_.write(",");
    if (level.oneLine) {
      if (level.elements > 1) out_.write(" ");
    } else {
      newLine();
    }
  }
  void newLine() {
    out_.write("\n");
    for (std::size_t i = 0; i < open_.size(); ++i) out_.write("  ");
  }
  // Writes valid UTF-8 `text` as a JSON string, escaped as nlohmann's JSON library
  // escapes it.
  void writeString(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    out_.write("\"");
    std::size_t plain = 0;  // the start of the bytes not yet written
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c >= 0x20 && c != '"' && c != '\\') continue;
      out_.write(text.substr(plain, i - plain));
      plain = i + 1;
      switch (c) {
        case '"':
          out_.write("\\\"");
          break;
        case '\\':
          out_.write("\\\\");
          break;
        case '\b':
          out_.write("\\b");
          break;
        case '\f':
          out_.write("\\f");
          break;
        case '\n':
          out_.write("\\n");
          break;
        case '\r':
          out_.write("\\r");
          break;
        case '\t':
          out_.write("\\t");
          break;
        default: {
          const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
          out_.write(std::string_view(escape, sizeof escape));
        }
      }
    }
    out_.write(text.substr(plain));
    out_.write("\"");
  }

  OutputSink& out_;
  std::vector<Level> open_;
  bool afterKey_ = false;
};

class JsonWriter {
 public:
  JsonWriter(const Report& report, OutputSink& out)
      : report_(report), survey_(report.survey), json_(out) {}

  void write() {
    json_.beginObject();
    json_.member("version", std::uint64_t{kJsonReportVersion});
    const bool named = !report_.standardInput();
    const bool utf8Name = isUtf8(report_.fileName);
    json_.member("file", named && utf8Name ? Json(report_.fileName) : Json(nullptr));
    json_.member("file_bytes",
                 named && !utf8Name ? Json(hexBytes(report_.fileName)) : Json(nullptr));
    json_.member("encoding", encoding());
    json_.member("fixed", fixed());
    json_.member("verdict", verdict(report_.verdict));
    json_.member("sizes", sizes());
    json_.key("findings");
    json_.beginArray();
    for (const Finding& finding : report_.findings) writeFinding(finding);
    json_.endArray();
    json_.member("fixes", fixes());
    writePlan();
    json_.key("tags");
    json_.beginArray();
    for (std::uint32_t slot = 0; slot < survey_.names.size(); ++slot) writeTag(slot);
    json_.endArray();
    json_.endObject();
  }

 private:
  static Json verdict(const VerdictFacts& verdict) {
    Json json;
    json["status"] = verdict.status;
    json["outcome"] = outcomeName(verdict.outcome);
    json["error"] = verdict.status == 0 ? Json(nullptr) : Json(verdict.errorLine);
    json["line"] = verdict.line == 0 ? Json(nullptr) : Json(verdict.line);
    json["paths"] = verdict.paths;
    return json;
  }

  Json encoding() const {
    const EncodingDecision& decision = survey_.encoding;
    Json json;
    json["name"] = encodingName(decision.encoding);
    json["byte_order_marks"] = decision.utf8Marks;
    json["nul_bytes"] = decision.nulBytes;
    return json;
  }

  Json sizes() const {
    Json json;
    for (const Size& size : report_.sizes) {
      switch (size.what) {
        case Size::What::kLines:
          json["lines"] = size.value;
          json["blank_lines"] = survey_.blankLines.total();
          break;
        case Size::What::kDistinctTags:
          json["distinct_tags"] = size.value;
          break;
        case Size::What::kTagsInALine:
          json["most_tags_in_a_line"] = size.value;
          json["line_of_most_tags"] = size.line == 0 ? Json(nullptr) : Json(size.line);
          break;
      }
    }
    json["limits"] = {{"lines", kMaxLines},
                      {"distinct_tags", kMaxTags},
                      {"tags_in_a_line", TagGroup::kCapacity},
                      {"children", TagGroup::kCapacity}};
    return json;
  }

  static Json applied(const Applied& applied, const std::string& message) {
    Json json;
    json["fix"] = fixName(applied.fix);
    json["count"] = applied.count;
    json["encoding"] = applied.encoding.empty() ? Json(nullptr) : Json(applied.encoding);
    json["message"] = message;
    return json;
  }

  // What --fix did, or null without --fix.
  Json fixed() const {
    if (!report_.applied) return nullptr;
    Json array = Json::array();
    for (const Applied& fix : *report_.applied) array.push_back(applied(fix, appliedText(fix)));
    return array;
  }

  Json fixes() const {
    const Fixes& fixes = survey_.fixes;
    Json json;
    json["lines_without_blank_lines"] = fixes.linesWithoutBlank;
    json["distinct_tags_without_byte_order_mark"] =
        fixes.tagsWithoutByteOrderMark ? Json(*fixes.tagsWithoutByteOrderMark) : Json(nullptr);
    json["distinct_tags_merging_alike_tags"] = fixes.tagsMergingAlike;
    json["distinct_tags_occurring_once"] = fixes.tagsOnce;
    return json;
  }

  // A command as it runs, and why it does not, where it does not.
  void writeCommand(const std::string& command, NoCommand absent) {
    if (!command.empty()) {
      json_.member("command", std::string_view(command));
    } else {
      json_.memberNull("command");
    }
    if (absent == NoCommand::kNone) {
      json_.memberNull("command_absent");
    } else {
      json_.member("command_absent", noCommandName(absent));
    }
  }

  // Everything --fix would do, or null.
  void writePlan() {
    if (!report_.plan) {
      json_.memberNull("plan");
      return;
    }
    const Plan& plan = *report_.plan;
    json_.key("plan");
    json_.beginObject();
    json_.member("message", std::string_view(planText(plan)));
    Json fixes = Json::array();
    for (const Applied& fix : plan.fixes) fixes.push_back(applied(fix, plannedText(fix)));
    json_.member("fixes", fixes);
    json_.member("certain", !plan.guess);
    json_.member("from", plan.guess ? Json(std::string(plan.from.encoding)) : Json(nullptr));
    writeCommand(plan.command, plan.absent);
    json_.member("verdict_after", verdict(plan.after));
    json_.endObject();
  }

  void writeFinding(const Finding& finding) {
    json_.beginObject();
    json_.member("severity", severityName(finding.severity));
    json_.member("kind", kindName(finding.kind));
    json_.member("message", std::string_view(text(messageOf(report_, finding))));
    json_.key("lines");
    json_.beginArray(true);
    forEachRun(report_, finding, [&](std::uint64_t first, std::uint64_t last) {
      json_.raw(std::string("[")
                    .append(std::to_string(first))
                    .append(", ")
                    .append(std::to_string(last))
                    .append("]"));
    });
    json_.endArray();
    json_.key("tags");
    json_.beginArray(true);
    for (const std::uint32_t slot : finding.tags()) json_.raw(std::to_string(slot));
    json_.endArray();
    json_.member("count", finding.count);
    json_.member("left", finding.left);
    json_.member("within_limit", finding.withinLimit);
    if (finding.evidence == kNoTag) {
      json_.memberNull("evidence");
    } else {
      json_.member("evidence", std::uint64_t{finding.evidence});
    }
    if (finding.fix == Fix::kNone) {
      json_.memberNull("fix");
      json_.memberNull("certain");
    } else {
      json_.member("fix", fixName(finding.fix));
      json_.member("certain", isCertain(finding.fix));
    }
    writeCommand(finding.command, finding.absent);
    if (finding.kind == Kind::kInvalidUtf8) writeCodePages(finding);
    json_.endObject();
  }

  // The code pages that read the file, likeliest first, each with the first names that
  // are not UTF-8 as it reads them.
  void writeCodePages(const Finding& finding) {
    json_.key("code_pages");
    json_.beginArray();
    for (const CodePageNames& reading : report_.codePages) {
      json_.beginObject();
      json_.member("encoding", reading.page.encoding);
      json_.member("label", reading.page.label);
      json_.key("names");
      json_.beginArray();
      for (std::size_t i = 0; i < reading.names.size(); ++i) {
        json_.beginObject();
        json_.member("tag", std::uint64_t{finding.many[i]});
        json_.member("name", std::string_view(text(reading.names[i])));
        json_.endObject();
      }
      json_.endArray();
      json_.endObject();
    }
    json_.endArray();
  }

  // Writes the members that name the tag in `slot`: "name", its text where it is UTF-8,
  // else null and "bytes", its bytes in hexadecimal; and "shown", as people see it.
  void writeName(std::uint32_t slot) {
    const std::string_view name = survey_.names.name(slot);
    if (survey_.facts[slot].validUtf8) {
      json_.member("name", name);
      json_.memberNull("bytes");
    } else {
      json_.memberNull("name");
      json_.member("bytes", std::string_view(hexBytes(name)));
    }
  }

  // A tag, and where it ends up and why: its place, its path, and its parents, each with
  // its count, the most a child of it may occur and the first line they share; and its
  // place in the tree without the limits.
  void writeTag(std::uint32_t slot) {
    const NameFacts& facts = survey_.facts[slot];
    json_.beginObject();
    json_.member("tag", std::uint64_t{slot});
    writeName(slot);
    json_.member("shown", std::string_view(report_.shown.name(slot)));
    json_.member("utf8", facts.validUtf8);
    json_.member("count", facts.count);
    json_.member("first_line", facts.firstLine);
    writeWithoutLimits(survey_.unbounded.spots[slot], slot);
    if (report_.places.empty()) {  // tagtree fails: no tag has a place
      json_.memberNull("place");
      json_.memberNull("path");
      json_.memberNull("parents");
      json_.endObject();
      return;
    }
    const PlacedTag& place = report_.places[slot];
    json_.member("place", placementName(place.placement));
    switch (place.placement) {
      case Placement::kTopLevel:
        json_.member("path", std::string_view(path(slot)));
        break;
      case Placement::kChild:
        json_.member("path", std::string_view(path(place.parents.front().slot, slot)));
        break;
      default:
        json_.memberNull("path");
        break;
    }
    json_.key("parents");
    json_.beginArray();
    for (const Parent& parent : place.parents) {
      json_.beginObject();
      json_.member("tag", std::uint64_t{parent.slot});
      writeName(parent.slot);
      json_.member("count", parent.count);
      json_.member("takes_up_to", parent.takesUpTo);
      json_.member("shared_line", parent.sharedLine);
      json_.endObject();
    }
    json_.endArray();
    json_.endObject();
  }

  // Where the tag in `slot` stands in the tree without tagtree's limits, `spot`: its place,
  // its path, and its parents there, one or the first two.
  void writeWithoutLimits(const TreeSpot& spot, std::uint32_t slot) {
    json_.key("without_limits");
    json_.beginObject();
    switch (spot.place) {
      case TreePlace::kTopLevel:
        json_.member("place", std::string_view("top-level"));
        writePath(path(slot));
        break;
      case TreePlace::kChild:
        json_.member("place", std::string_view("child"));
        writePath(path(spot.parent, slot));
        break;
      case TreePlace::kManyParents:
        json_.member("place", std::string_view("several-parents"));
        json_.memberNull("path");
        break;
      case TreePlace::kUnderChild:
        json_.member("place", std::string_view("parent-is-a-child"));
        json_.memberNull("path");
        break;
    }
    json_.key("parents");
    json_.beginArray(true);
    for (const std::uint32_t parent : {spot.parent, spot.otherParent}) {
      if (parent != kNoTag) json_.value(std::uint64_t{parent});
    }
    json_.endArray();
    json_.endObject();
  }

  // A path as "path", or null where a name in it is not UTF-8: tagtree cannot print it.
  void writePath(const std::string& bytes) {
    if (isUtf8(bytes)) {
      json_.member("path", std::string_view(bytes));
    } else {
      json_.memberNull("path");
    }
  }

  static std::string_view placementName(Placement placement) {
    switch (placement) {
      case Placement::kTopLevel:
        return "top-level";
      case Placement::kChild:
        return "child";
      case Placement::kSeveralParents:
        return "several-parents";
      case Placement::kUnderChild:
      case Placement::kEachOther:
        break;
    }
    return "parent-is-a-child";
  }

  static std::string_view encodingName(TextEncoding encoding) {
    switch (encoding) {
      case TextEncoding::kUtf8:
        return "utf-8";
      case TextEncoding::kUtf16Le:
        return "utf-16le";
      case TextEncoding::kUtf16Be:
        return "utf-16be";
      case TextEncoding::kCodePage:
        return "code-page";
      case TextEncoding::kMixed:
        return "mixed";
      case TextEncoding::kUnknown:
        break;
    }
    return "unknown";
  }

  // `message` as valid UTF-8: as it is, or as a name that is not is shown.
  static std::string text(const std::string& message) {
    return isUtf8(message) ? message : shownName(message);
  }

  // Strings here are appended to, not made by "text" + string, which GCC 12 at -O2 takes
  // for an overlapping copy (-Wrestrict).
  std::string path(std::uint32_t slot) const {
    return std::string("/").append(survey_.names.name(slot));
  }
  std::string path(std::uint32_t parent, std::uint32_t child) const {
    return path(parent).append(path(child));
  }

  const Report& report_;
  const Survey& survey_;
  JsonStream json_;
};

}  // namespace

void writeJsonReport(const Report& report, OutputSink& out) {
  JsonWriter(report, out).write();
  out.write("\n");
}

}  // namespace tagtree::explain
