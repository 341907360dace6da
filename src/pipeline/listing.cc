// The listing. A parent's name is written once per child, so each name's UTF-8 check
// is done once and remembered.
#include "pipeline/listing.h"

#include <cstddef>
#include <string_view>
#include <unordered_map>

#include "base/failure.h"
#include "pipeline/utf8.h"

namespace tagtree {
namespace {

class NameWriter {
 public:
  explicit NameWriter(OutputSink& out) : out_(out) {}

  void writeSlash() { out_.write("/"); }
  void writeEndOfLine() { out_.write("\n"); }

  // Writes the tag's name, or the part before its first ill-formed sequence and then
  // throws the text failure.
  void writeName(const Tag* tag) {
    const std::string_view name = tag->toString();
    auto [it, added] = validPrefix_.try_emplace(tag, 0);
    if (added) it->second = validUtf8Prefix(name);
    const std::size_t valid = it->second;
    out_.write(name.substr(0, valid));
    if (valid != name.size()) throw textFailure();
  }

 private:
  OutputSink& out_;
  std::unordered_map<const Tag*, std::size_t> validPrefix_;
};

}  // namespace

void listHierarchy(const Grouping& grouping, OutputSink& out) {
  NameWriter writer(out);
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
