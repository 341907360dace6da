// A TagGroup is an ordered list of at most 50 tags. It serves as the tags of one
// input line, and as the child group of one tag, which also counts that tag's parents.
#ifndef TAGTREE_MODEL_TAG_GROUP_H_
#define TAGTREE_MODEL_TAG_GROUP_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/tag.h"

namespace tagtree {

class TagGroup {
 public:
  static constexpr int kCapacity = 50;
  using Slots = std::array<const Tag*, kCapacity>;

  // Makes an empty line group: parentCount -1, which line groups never read.
  TagGroup() = default;
  // Makes an empty child group with the given parent count (the program passes 0).
  explicit TagGroup(std::int32_t parentCount) : parentCount_(parentCount) {}
  TagGroup(const TagGroup&) = delete;
  TagGroup& operator=(const TagGroup&) = delete;

  // Returns all 50 slots in order; slots at tagCount() and after are null.
  const Slots& getTags() const { return tags_; }
  std::int32_t tagCount() const { return tagCount_; }
  bool full() const { return tagCount_ == kCapacity; }

  // Stores `tag` in the next free slot. Duplicates are kept. Throws the bounds
  // failure 180 when all 50 slots are in use. `tag` must not be null.
  void addTag(const Tag* tag);

  // Returns the first tag in the group whose name equals the name of `tag`, or null
  // if there is none or `tag` is null. Matches by name, not identity.
  const Tag* hasTag(const Tag* tag) const;
  // Returns the first tag in the group named `name`, or null.
  const Tag* hasTag(std::string_view name) const;

  // Number of tags that took this group's owner as a child; -1 for a line group.
  std::int32_t parentCount() const { return parentCount_; }
  void addParent() { ++parentCount_; }

  // Returns the names joined by ", ", leaving out later names equal to the first.
  std::string toString() const;

 private:
  Slots tags_{};
  std::int32_t tagCount_ = 0;
  std::int32_t parentCount_ = -1;
};

}  // namespace tagtree

#endif  // TAGTREE_MODEL_TAG_GROUP_H_
