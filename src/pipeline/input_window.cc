// InputWindow: one malloc'd buffer, grown only for a word longer than the room left.
#include "pipeline/input_window.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace tagtree {

InputWindow::InputWindow(ByteSource& source, std::size_t readSize)
    : source_(source), readSize_(readSize) {}

InputWindow::~InputWindow() { std::free(data_); }

bool InputWindow::refill(const char* keep) {
  if (atEnd_) return false;
  const std::size_t kept = static_cast<std::size_t>(end() - keep);
  if (kept > 0 && keep != data_) std::memmove(data_, keep, kept);
  size_ = kept;
  if (readSize_ > capacity_ - kept) {
    // Room for twice what is needed, so a word that keeps growing is moved a number of
    // times that grows only with the logarithm of its length.
    if (kept > SIZE_MAX / 2 - readSize_) throw std::bad_alloc();
    const std::size_t capacity = 2 * (kept + readSize_);
    void* grown = std::realloc(data_, capacity);
    if (grown == nullptr) throw std::bad_alloc();
    data_ = static_cast<char*>(grown);
    capacity_ = capacity;
  }
  // Only a read's worth, even where there is more room: the pages past it stay untouched
  // and take no memory.
  const std::size_t got = source_.read(data_ + size_, readSize_);
  size_ += got;
  atEnd_ = got == 0;
  return !atEnd_;
}

MallocBytes InputWindow::takeFront(std::size_t size, const char*& p) {
  const std::size_t rest = size_ - size;
  char* const fresh = static_cast<char*>(std::malloc(rest + readSize_));
  if (fresh == nullptr) throw std::bad_alloc();
  if (rest > 0) std::memcpy(fresh, data_ + size, rest);
  p = fresh + (p - (data_ + size));
  // Shrunk to the bytes kept: a large block gives back its pages in place.
  void* const shrunk = size > 0 ? std::realloc(data_, size) : nullptr;
  MallocBytes taken(static_cast<char*>(shrunk != nullptr ? shrunk : data_));
  data_ = fresh;
  size_ = rest;
  capacity_ = rest + readSize_;
  return taken;
}

}  // namespace tagtree
