// Where the listing and the error line go. The frame writes to standard output; tests
// collect the bytes in memory.
#ifndef TAGTREE_BASE_OUTPUT_SINK_H_
#define TAGTREE_BASE_OUTPUT_SINK_H_

#include <string>
#include <string_view>

namespace tagtree {

class OutputSink {
 public:
  virtual ~OutputSink() = default;
  // Appends `bytes` to the output. May throw OutputFailure.
  virtual void write(std::string_view bytes) = 0;
};

// Collects everything written into a string.
class StringSink : public OutputSink {
 public:
  void write(std::string_view bytes) override { text_.append(bytes); }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace tagtree

#endif  // TAGTREE_BASE_OUTPUT_SINK_H_
