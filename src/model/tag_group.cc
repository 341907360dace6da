// TagGroup: a fixed-capacity ordered list of tags.
#include "model/tag_group.h"

#include "base/failure.h"

namespace tagtree {

void TagGroup::addTag(const Tag* tag) {
  if (tagCount_ >= kCapacity) throw boundsFailure(kTagGroupFull);
  tags_[tagCount_++] = tag;
}

const Tag* TagGroup::hasTag(const Tag* tag) const {
  if (tag == nullptr) return nullptr;
  return hasTag(tag->name());
}

const Tag* TagGroup::hasTag(std::string_view name) const {
  for (int i = 0; i < tagCount_; ++i) {
    if (sameName(tags_[i]->name(), name)) return tags_[i];
  }
  return nullptr;
}

std::string TagGroup::toString() const {
  std::string text;
  if (tagCount_ == 0) return text;
  const std::string_view first = tags_[0]->name();
  text.append(first);
  for (int i = 0; i < tagCount_; ++i) {
    const std::string_view name = tags_[i]->name();
    if (!sameName(name, first)) {
      text.append(", ");
      text.append(name);
    }
  }
  return text;
}

}  // namespace tagtree
