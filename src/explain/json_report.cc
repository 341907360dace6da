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
    out_.write(Json(name).dump());
    out_.write(": ");
    afterKey_ = true;
  }
  // Writes `value` as the next element, or the value of the member just started.
  void value(const Json& value) {
    next();
    std::string text = value.dump(2, ' ', false, Json::error_handler_t::replace);
    if (text.find('\n') != std::string::npos) {  // a nested value starts at column 0
      const std::string indent = "\n" + std::string(2 * open_.size(), ' ');
      for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += indent.size())
        text.replace(at, 1, indent);
    }
    out_.write(text);
  }
  void member(std::string_view name, const Json& v) {
    key(name);
    value(v);
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
    json_.member("version", kJsonReportVersion);
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
    for (std::uint32_t slot = 0; slot < survey_.names.size(); ++slot) json_.value(tag(slot));
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
    json_.member("message", utf8Text(messageOf(report_, finding)));
    json_.key("lines");
    json_.beginArray(true);
    forEachRun(report_, finding, [&](std::uint64_t first, std::uint64_t last) {
      json_.raw("[" + std::to_string(first) + ", " + std::to_string(last) + "]");
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
    json_.member("command", finding.fix == Fix::kNone || !absent.empty()
                                ? Json(nullptr)
                                : Json(commandOf(finding.fix, report_.fileName)));
    json_.member("command_absent", absent.empty() ? Json(nullptr) : Json(absent));
    json_.endObject();
  }

  // A tag, and where it ends up and why: its place, its path, and its parents, each with
  // its count, the most a child of it may occur and the first line they share.
  Json tag(std::uint32_t slot) const {
    const NameFacts& facts = survey_.facts[slot];
    Json json;
    json["tag"] = slot;
    json["name"] = name(slot);
    json["utf8"] = facts.validUtf8;
    json["count"] = facts.count;
    json["first_line"] = facts.firstLine;
    json["without_limits"] = withoutLimits(slot);
    if (survey_.places.empty()) {  // tagtree fails: no tag has a place
      json["place"] = nullptr;
      json["path"] = nullptr;
      json["parents"] = nullptr;
      return json;
    }
    const TagPlace& place = survey_.places[slot];
    if (place.printed) {
      json["place"] = place.printedUnder ? "child" : "top-level";
      std::string path = "/";
      if (place.printedUnder) path.append(name(*place.printedUnder)).append("/");
      json["path"] = path.append(name(slot));
    } else {
      json["place"] = place.parents.size() == 1 ? "parent-is-a-child" : "several-parents";
      json["path"] = nullptr;
    }
    Json parents = Json::array();
    for (const ParentLink& parent : place.parents) {
      const std::uint64_t count = survey_.facts[parent.slot].count;
      parents.push_back({{"tag", parent.slot},
                         {"name", name(parent.slot)},
                         {"count", count},
                         {"takes_up_to", count / 2 + 1},
                         {"shared_line", parent.sharedLine}});
    }
    json["parents"] = std::move(parents);
    return json;
  }

  // Where the tag in `slot` stands in the tree without tagtree's limits: its place, its
  // path, and its parents there, one or the first two.
  Json withoutLimits(std::uint32_t slot) const {
    const TreeSpot& spot = survey_.unbounded.spots[slot];
    Json json;
    Json parents = Json::array();
    for (const std::uint32_t parent : {spot.parent, spot.otherParent})
      if (parent != kNoTag) parents.push_back(parent);
    switch (spot.place) {
      case TreePlace::kTopLevel:
        json["place"] = "top-level";
        json["path"] = "/" + name(slot);
        break;
      case TreePlace::kChild:
        json["place"] = "child";
        json["path"] = "/" + name(spot.parent) + "/" + name(slot);
        break;
      case TreePlace::kManyParents:
        json["place"] = "several-parents";
        json["path"] = nullptr;
        break;
      case TreePlace::kUnderChild:
        json["place"] = "parent-is-a-child";
        json["path"] = nullptr;
        break;
    }
    json["parents"] = std::move(parents);
    return json;
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
