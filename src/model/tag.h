// A Tag is one distinct tag text met in the input, with the number of times it occurs.
#ifndef TAGTREE_MODEL_TAG_H_
#define TAGTREE_MODEL_TAG_H_

#include <cstdint>
#include <string_view>

namespace tagtree {

// Tags are reference objects: code holds them by pointer and compares pointers for
// identity. A tag's name is a view of bytes that outlive it (the walk's name table), and
// its slot is its name's slot there, which is also its place in the table of all tags.
class Tag {
 public:
  // Makes a tag named `name` (not copied) in slot `slot`, with count 1.
  explicit Tag(std::string_view name, std::uint32_t slot = 0) : name_(name), slot_(slot) {}
  Tag(const Tag&) = delete;
  Tag& operator=(const Tag&) = delete;

  std::string_view name() const { return name_; }
  std::uint32_t slot() const { return slot_; }

  // Occurrences of the name as a word in the whole input. 64 bits, so that no input
  // (a line may repeat one tag billions of times) can overflow it.
  std::uint64_t count() const { return count_; }
  // Adds `n` occurrences.
  void addOccurrences(std::uint64_t n) { count_ += n; }

  // Returns the name: the text the listing prints for this tag.
  std::string_view toString() const { return name_; }

 private:
  std::string_view name_;
  std::uint32_t slot_;
  std::uint64_t count_ = 1;
};

// Returns whether two names are equal: same length, same bytes.
inline bool sameName(std::string_view a, std::string_view b) { return a == b; }

}  // namespace tagtree

#endif  // TAGTREE_MODEL_TAG_H_
