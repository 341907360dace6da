// The JSON form: the survey and its findings as one document, written with nlohmann's
// JSON library. Every text in it is valid UTF-8: a name that is not is written with each
// byte outside a well-formed sequence as \xHH and each backslash doubled, and marked
// "utf8": false, so that it stays distinct from every other name and readable.
#include <nlohmann/json.hpp>
#include <string>

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

Json lineArray(const LineList& lines) {
  Json array = Json::array();
  lines.forEach([&](std::uint64_t line) { array.push_back(line); });
  return array;
}

Json verdictOf(const Survey& survey) {
  const Verdict& verdict = survey.verdict;
  Json json;
  json["status"] = verdict.status;
  json["outcome"] = outcomeName(verdict.outcome);
  json["error"] = verdict.status == 0 ? Json(nullptr) : Json(kErrorLinePrefix + verdict.message);
  json["line"] = verdict.line == 0 ? Json(nullptr) : Json(verdict.line);
  json["paths"] = verdict.paths;
  return json;
}

Json sizesOf(const Survey& survey) {
  Json json;
  json["lines"] = survey.lines;
  json["blank_lines"] = survey.blankLines.total();
  json["distinct_tags"] = survey.names.size();
  json["most_tags_in_a_line"] = survey.mostTags;
  json["line_of_most_tags"] = survey.mostTags == 0 ? Json(nullptr) : Json(survey.mostTagsLine);
  json["limits"] = {{"lines", kMaxLines},
                    {"distinct_tags", kMaxTags},
                    {"tags_in_a_line", TagGroup::kCapacity},
                    {"children", TagGroup::kCapacity}};
  return json;
}

Json fixesOf(const Survey& survey) {
  const Fixes& fixes = survey.fixes;
  Json json;
  json["lines_without_blank_lines"] = fixes.linesWithoutBlank;
  json["distinct_tags_without_byte_order_mark"] =
      fixes.tagsWithoutByteOrderMark ? Json(*fixes.tagsWithoutByteOrderMark) : Json(nullptr);
  json["distinct_tags_merging_alike_tags"] = fixes.tagsMergingAlike;
  json["distinct_tags_occurring_once"] = fixes.tagsOnce;
  return json;
}

Json findingsJson(const Survey& survey, std::string_view fileName) {
  Json array = Json::array();
  for (const Finding& finding : findingsOf(survey, fileName)) {
    Json json;
    json["severity"] = severityName(finding.severity);
    json["kind"] = finding.kind;
    json["message"] = utf8Text(finding.message);
    json["lines"] = lineArray(finding.lines);
    json["tags"] = finding.tags;
    json["command"] = finding.command.empty() ? Json(nullptr) : Json(utf8Text(finding.command));
    array.push_back(std::move(json));
  }
  return array;
}

// Where the tag in `slot` ends up, and why: its place, its path, and its parents, each
// with its count, the most a child of it may occur and the first line they share.
void placeOf(const Survey& survey, std::uint32_t slot, Json& json) {
  if (survey.places.empty()) {  // tagtree fails: no tag has a place
    json["place"] = nullptr;
    json["path"] = nullptr;
    json["parents"] = nullptr;
    return;
  }
  const TagPlace& place = survey.places[slot];
  const auto name = [&](std::uint32_t s) { return utf8Text(survey.names.name(s)); };
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
    const std::uint64_t count = survey.facts[parent.slot].count;
    parents.push_back({{"tag", parent.slot},
                       {"name", name(parent.slot)},
                       {"count", count},
                       {"takes_up_to", count / 2 + 1},
                       {"shared_line", parent.sharedLine}});
  }
  json["parents"] = std::move(parents);
}

Json tagsOf(const Survey& survey) {
  Json array = Json::array();
  for (std::uint32_t slot = 0; slot < survey.names.size(); ++slot) {
    const std::string_view name = survey.names.name(slot);
    const NameFacts& facts = survey.facts[slot];
    Json json;
    json["tag"] = slot;
    json["name"] = utf8Text(name);
    json["utf8"] = facts.validUtf8;
    json["count"] = facts.count;
    json["first_line"] = facts.firstLine;
    placeOf(survey, slot, json);
    array.push_back(std::move(json));
  }
  return array;
}

}  // namespace

void writeJsonReport(const Survey& survey, std::string_view fileName, OutputSink& out) {
  Json document;
  document["version"] = kJsonReportVersion;
  document["file"] = fileName == "-" ? Json(nullptr) : Json(utf8Text(fileName));
  document["verdict"] = verdictOf(survey);
  document["sizes"] = sizesOf(survey);
  document["findings"] = findingsJson(survey, fileName);
  document["fixes"] = fixesOf(survey);
  document["tags"] = tagsOf(survey);
  out.write(document.dump(2, ' ', false, Json::error_handler_t::replace));
  out.write("\n");
}

}  // namespace tagtree::explain
