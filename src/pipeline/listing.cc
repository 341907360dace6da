// The listing. A parent's name is written once per child, so each name's UTF-8 check
// is done once and remembered.
#include "pipeline/listing.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "pipeline/utf8.h"

namespace tagtree {
namespace {

class NameWriter {
 public:
  NameWriter(OutputSink& out, int tags)
      : out_(out), validPrefix_(static_cast<std::size_t>(tags), kUnknown) {}

  void writeSlash() { out_.write("/"); }
  void writeEndOfLine() { out_.write("\n"); }

  // Writes the tag's name, or the part before its first ill-formed sequence and then
  // throws the text failure.
  void writeName(const Tag* tag) {
    const std::string_view name = tag->toString();
    std::size_t& valid = validPrefix_[tag->slot()];
    if (valid == kUnknown) valid = validUtf8Prefix(name);
    out_.write(name.substr(0, valid));
    if (valid != name.size()) throw textFailure();
  }

 private:
  static constexpr std::size_t kUnknown = SIZE_MAX;

  OutputSink& out_;
  std::vector<std::size_t> validPrefix_;  // by slot: the checked length, once known
};

}  // namespace

void listHierarchy(const Grouping& grouping, OutputSink& out) {
  NameWriter writer(out, grouping.allTagCount);
  forEachPath(grouping, [&](const Tag* parent, const Tag* child) {
    writer.writeSlash();
    writer.writeName(parent);
    if (child != nullptr) {
      writer.writeSlash();
      writer.writeName(child);
    }
    writer.writeEndOfLine();
  });
}

}  // namespace tagtree
