// PendingBytes: the bytes of the token the scanner is reading, kept until the
// token ends and its text is made.
//
// Almost every token is short, so the bytes live in a buffer inside the
// object (on the scanner's stack) and a body of short tokens costs no block
// for them at all; a token longer than that moves to a block of the module
// allocator that grows by doubling.
#ifndef BRINDLEWORK_TAGS_PENDING_BYTES_H
#define BRINDLEWORK_TAGS_PENDING_BYTES_H

#include <cstdint>
#include <cstring>

#include "foundation/object.h"

namespace bw {

class PendingBytes {
 public:
  PendingBytes() = default;
  PendingBytes(const PendingBytes&) = delete;
  PendingBytes& operator=(const PendingBytes&) = delete;

  void push(char byte) {
    if (size_ == capacity_) grow();
    data_[size_++] = byte;
  }
  void append(const char* bytes, uint32_t count) {
    while (capacity_ - size_ < count) grow();
    std::memcpy(data_ + size_, bytes, count);
    size_ += count;
  }
  const char* data() const { return data_; }
  uint32_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void clear() { size_ = 0; }
  // Drops the first count bytes (count <= size).
  void dropFront(uint32_t count) {
    std::memmove(data_, data_ + count, size_ - count);
    size_ -= count;
  }

 private:
  static constexpr uint32_t kInline = 256;

  void grow() {
    const uint32_t wanted = capacity_ * 2;
    unsigned char* bigger = block_.resize(wanted, true);
    // The first move copies the inline bytes; later ones are kept by resize.
    if (data_ == inline_) std::memcpy(bigger, inline_, size_);
    data_ = reinterpret_cast<char*>(bigger);
    capacity_ = wanted;
  }

  char inline_[kInline];
  char* data_ = inline_;
  uint32_t size_ = 0;
  uint32_t capacity_ = kInline;
  ByteBuffer block_{0};
};

}  // namespace bw

#endif
