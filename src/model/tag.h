// A Tag is one distinct tag text met in the input, with the number of times it occurs.
#ifndef TAGTREE_MODEL_TAG_H_
#define TAGTREE_MODEL_TAG_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace tagtree {

// Tags are reference objects: code holds them by pointer and compares pointers for
// identity. A tag keeps its own copy of its name, since the input it came from is read
// through a buffer that is reused.
class Tag {
 public:
  // Makes a tag named `name` (copied) with count 1. Throws std::bad_alloc.
  explicit Tag(std::string_view name) : name_(name) {}
  Tag(const Tag&) = delete;
  Tag& operator=(const Tag&) = delete;

  std::string_view name() const { return name_; }

  // Occurrences of the name as a word in the whole input. 64 bits, so that no input
  // (a line may repeat one tag billions of times) can overflow it.
  std::uint64_t count() const { return count_; }
  // Adds `n` occurrences.
  void addOccurrences(std::uint64_t n) { count_ += n; }

  // Returns the name: the text the listing prints for this tag.
  std::string_view toString() const { return name_; }

 private:
  std::string name_;
  std::uint64_t count_ = 1;
};

// Returns whether two names are equal: same length, same bytes.
inline bool sameName(std::string_view a, std::string_view b) { return a == b; }

}  // namespace tagtree

#endif  // TAGTREE_MODEL_TAG_H_
