// The JSON form: the report as one document, written as it goes, element by element, so
// that its size in memory stays that of one element however many tags and lines the file
// has. Small parts are built and written with nlohmann's JSON library; lists of lines and
// of tags are written on one line each. Every text in it is valid UTF-8: a name that is
// not is written with each byte outside a well-formed sequence as \xHH and each backslash
// doubled, and marked "utf8": false, so that it stays distinct from every other name and
// readable.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/failure.h"
#include "explain/findings.h"
#include "explain/report.h"
#include "model/tag_group.h"
#include "pipeline/grouping.h"
#include "pipeline/utf8.h"

namespace tagtree::explain {
namespace {

using Json = nlohmann::ordered_json;

// Returns `bytes` as valid UTF-8: as they are where they are, else with every byte that
// is no part of a well-formed sequence as \xHH and every backslash as \\.
std::string utf8Text(std::string_view bytes) {
  if (validUtf8Prefix(bytes) == bytes.size()) return std::string(bytes);
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  while (!bytes.empty()) {
    const std::size_t valid = validUtf8Prefix(bytes);
    for (const char c : bytes.substr(0, valid))
      text += c == '\\' ? std::string("\\\\") : std::string(1, c);
    bytes.remove_prefix(valid);
    if (bytes.empty()) break;
    const auto byte = static_cast<unsigned char>(bytes.front());
    text += "\\x";
    text += kHex[byte >> 4];
    text += kHex[byte & 0xF];
    bytes.remove_prefix(1);
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
    json_.member("file",
                 report_.standardInput() ? Json(nullptr) : Json(utf8Text(report_.fileName)));
    json_.member("fixed", fixed());
    json_.member("verdict", verdict());
    json_.member("sizes", sizes());
    json_.key("findings");
    json_.beginArray();
    for (const Finding& finding : report_.findings) writeFinding(finding);
    json_.endArray();
    json_.member("fixes", fixes());
    json_.key("tags");
    json_.beginArray();
    for (std::uint32_t slot = 0; slot < survey_.names.size(); ++slot) writeTag(slot);
    json_.endArray();
    json_.endObject();
  }

 private:
  Json verdict() const {
    const Verdict& verdict = survey_.verdict;
    Json json;
    json["status"] = verdict.status;
    json["outcome"] = outcomeName(verdict.outcome);
    json["error"] = verdict.status == 0 ? Json(nullptr) : Json(kErrorLinePrefix + verdict.message);
    json["line"] = verdict.line == 0 ? Json(nullptr) : Json(verdict.line);
    json["paths"] = verdict.paths;
    return json;
  }

  Json sizes() const {
    Json json;
    json["lines"] = survey_.lines;
    json["blank_lines"] = survey_.blankLines.total();
    json["distinct_tags"] = survey_.names.size();
    json["most_tags_in_a_line"] = survey_.mostTags;
    json["line_of_most_tags"] = survey_.mostTags == 0 ? Json(nullptr) : Json(survey_.mostTagsLine);
    json["limits"] = {{"lines", kMaxLines},
                      {"distinct_tags", kMaxTags},
                      {"tags_in_a_line", TagGroup::kCapacity},
                      {"children", TagGroup::kCapacity}};
    return json;
  }

  // What --fix did, or null without --fix.
  Json fixed() const {
    if (!report_.applied) return nullptr;
    Json array = Json::array();
    for (const Applied& applied : *report_.applied) {
      array.push_back({{"fix", fixName(applied.fix)}, {"message", appliedText(applied)}});
    }
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

  void writeFinding(const Finding& finding) {
    json_.beginObject();
    json_.member("severity", severityName(finding.severity));
    json_.member("kind", kindName(finding.kind));
    json_.member("message", std::string_view(utf8Text(messageOf(report_, finding))));
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
    // A command stands as it runs, or not at all: standard input has no name to put in it,
    // and a name that is not UTF-8 cannot be written in JSON as it is.
    std::string_view absent = noFixName(finding.noFix);
    if (finding.fix != Fix::kNone && report_.standardInput()) absent = "standard-input";
    if (finding.fix != Fix::kNone && validUtf8Prefix(report_.fileName) != report_.fileName.size())
      absent = "file-name-not-utf-8";
    if (finding.fix == Fix::kNone || !absent.empty()) {
      json_.memberNull("command");
    } else {
      json_.member("command", std::string_view(commandOf(finding.fix, report_.fileName)));
    }
    if (absent.empty()) {
      json_.memberNull("command_absent");
    } else {
      json_.member("command_absent", absent);
    }
    json_.endObject();
  }

  // A tag, and where it ends up and why: its place, its path, and its parents, each with
  // its count, the most a child of it may occur and the first line they share; and its
  // place in the tree without the limits.
  void writeTag(std::uint32_t slot) {
    const NameFacts& facts = survey_.facts[slot];
    json_.beginObject();
    json_.member("tag", std::uint64_t{slot});
    json_.member("name", std::string_view(name(slot)));
    json_.member("utf8", facts.validUtf8);
    json_.member("count", facts.count);
    json_.member("first_line", facts.firstLine);
    writeWithoutLimits(survey_.unbounded.spots[slot], slot);
    if (survey_.places.empty()) {  // tagtree fails: no tag has a place
      json_.memberNull("place");
      json_.memberNull("path");
      json_.memberNull("parents");
      json_.endObject();
      return;
    }
    const TagPlace& place = survey_.places[slot];
    if (place.printed) {
      json_.member("place", std::string_view(place.printedUnder ? "child" : "top-level"));
      json_.member("path", std::string_view(place.printedUnder ? path(*place.printedUnder, slot)
                                                               : path(slot)));
    } else {
      json_.member("place", std::string_view(place.parents.size() == 1 ? "parent-is-a-child"
                                                                       : "several-parents"));
      json_.memberNull("path");
    }
    json_.key("parents");
    json_.beginArray();
    for (const ParentLink& parent : place.parents) {
      const std::uint64_t count = survey_.facts[parent.slot].count;
      json_.beginObject();
      json_.member("tag", std::uint64_t{parent.slot});
      json_.member("name", std::string_view(name(parent.slot)));
      json_.member("count", count);
      json_.member("takes_up_to", count / 2 + 1);
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
        json_.member("path", std::string_view(path(slot)));
        break;
      case TreePlace::kChild:
        json_.member("place", std::string_view("child"));
        json_.member("path", std::string_view(path(spot.parent, slot)));
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

  // Strings here are appended to, not made by "text" + string, which GCC 12 at -O2 takes
  // for an overlapping copy (-Wrestrict).
  std::string path(std::uint32_t slot) const { return std::string("/").append(name(slot)); }
  std::string path(std::uint32_t parent, std::uint32_t child) const {
    return path(parent).append(path(child));
  }
  std::string name(std::uint32_t slot) const { return utf8Text(survey_.names.name(slot)); }

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
