// PointerArray.  Rather than holding exactly count slots, and so copying
// every slot on every append, the array keeps spare
// room (doubling), so that building an array of n slots costs time in
// proportion to n: splitting a megabyte of text must stay linear.
#include "foundation/pointer_array.h"

#include <cstring>

#include "foundation/allocator.h"

namespace bw {

PointerArray::PointerArray(ReleaseElement releaseElement) : releaseElement_(releaseElement) {}

PointerArray::~PointerArray() {
  if (releaseElement_ != nullptr)
    for (uint32_t i = 0; i < count_; ++i) releaseElement_(&items_[i]);
  releaseAligned(items_);
}

void PointerArray::setCount(uint32_t n) {
  if (n > allocated_) {
    uint64_t room = static_cast<uint64_t>(allocated_) * 2;
    if (room < n) room = n;
    if (room < 4) room = 4;
    if (room > UINT32_MAX / sizeof(PointerSlot)) room = n;
    if (room > UINT32_MAX / sizeof(PointerSlot)) throw QELObject::MemoryAllocationFailure();
    PointerSlot* items =
        static_cast<PointerSlot*>(allocateAligned(room * sizeof(PointerSlot), alignof(PointerSlot)));
    if (count_ != 0) std::memcpy(items, items_, count_ * sizeof(PointerSlot));
    releaseAligned(items_);
    items_ = items;
    allocated_ = static_cast<uint32_t>(room);
  }
  count_ = n;
}

PointerSlot* PointerArray::at(uint32_t index) {
  if (index >= count_) {
    if (index == UINT32_MAX) throw QELObject::MemoryAllocationFailure();
    setCount(index + 1);
  }
  return items_ + index;
}

void PointerArray::insert(PointerSlot value, uint32_t index) {
  if (index > count_) index = count_;
  uint32_t old = count_;
  if (old == UINT32_MAX) throw QELObject::MemoryAllocationFailure();
  setCount(old + 1);
  if (index < old) std::memmove(items_ + index + 1, items_ + index, (old - index) * sizeof(PointerSlot));
  items_[index] = value;
}

void PointerArray::append(PointerSlot value) { insert(value, UINT32_MAX); }

void PointerArray::appendPointer(void* pointer) {
  PointerSlot slot;
  slot.pointer = pointer;
  insert(slot, UINT32_MAX);
}

void PointerArray::appendNumber(uint32_t number) {
  PointerSlot slot;
  slot.pointer = nullptr;  // the whole slot is defined, not only its low half
  slot.number = number;
  insert(slot, UINT32_MAX);
}

}  // namespace bw
