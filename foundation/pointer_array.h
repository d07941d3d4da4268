// PointerArray: an array of slots that each hold a pointer or a 32-bit number.
//
// Growth keeps spare room (doubling), so appending n slots costs time in
// proportion to n; count is always the number of slots in use.
#ifndef BRINDLEWORK_FOUNDATION_POINTER_ARRAY_H
#define BRINDLEWORK_FOUNDATION_POINTER_ARRAY_H

#include <cstdint>

#include "foundation/object.h"

namespace bw {

union PointerSlot {
  void* pointer;
  uint32_t number;
};

class PointerArray : public QELObject {
 public:
  using ReleaseElement = void (*)(PointerSlot* slot);

  explicit PointerArray(ReleaseElement releaseElement = nullptr);
  ~PointerArray() override;
  PointerArray(const PointerArray&) = delete;
  PointerArray& operator=(const PointerArray&) = delete;

  // New slots are not initialised; a smaller n only lowers count.
  virtual void setCount(uint32_t n);
  uint32_t count() const { return count_; }
  // The slot's address; an index at or past count first grows the array.
  PointerSlot* at(uint32_t index);
  const PointerSlot* at(uint32_t index) const { return items_ + index; }
  // index is cut to count, so kToEnd appends.
  void insert(PointerSlot value, uint32_t index);
  void append(PointerSlot value);
  void appendPointer(void* pointer);
  void appendNumber(uint32_t number);
  void* pointerAt(uint32_t index) const { return items_[index].pointer; }
  uint32_t numberAt(uint32_t index) const { return items_[index].number; }

 private:
  PointerSlot* items_ = nullptr;
  uint32_t count_ = 0;
  uint32_t allocated_ = 0;
  ReleaseElement releaseElement_;
};

}  // namespace bw

#endif
